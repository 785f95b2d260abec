// The list document on disk: its encoding, and a replacement that never leaves half a list.
//
// Encoding: a list whose paths all fit the ANSI code page is written in it, without a mark and
// with CR LF, byte for byte what every earlier version wrote and reads. Any other path turns
// the whole document into UTF-8 behind the mark EF BB BF. A document read starting with the
// mark is UTF-8, any other is the ANSI code page. Lines end at CR LF, LF or CR; a zero byte is
// part of its line.
//
// Writing: the new document goes to a temporary file beside the list, is flushed and then
// replaces the list in one rename, so the list always holds the whole old or the whole new one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The mark that opens a UTF-8 list.
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// Lines in the system's UTF-16, each ended by CR LF, as the document's bytes.
std::string EncodeFileListText(std::wstring_view text);
// The document's bytes as UTF-16 text (the mark dropped, line ends as they were).
std::wstring DecodeFileListText(std::string_view bytes);

// Builds the document's bytes from the program's texts, one path per line. Converted a slice at
// a time through small buffers: large fresh buffers cost more in first touches of their pages
// than the conversion itself.
class FileListEncoder {
  public:
    // The bytes go to out, which is emptied first; its capacity is kept, so a buffer that is
    // used again for the next save needs no new memory.
    explicit FileListEncoder(std::string& out);
    void Add(std::string_view path);
    // out holds the whole document after this.
    void Finish();

  private:
    void Encode();

    std::string& out_;
    std::string pending_;
    bool utf8_ = false;
};

// The program's texts, one per line, as the document's bytes.
std::string FileListBytes(const std::vector<std::string>& paths);
// The document's lines in the program's texts. A last line without a line end counts; an empty
// document has none.
std::vector<std::string> FileListLines(std::string_view bytes);

// The temporary file beside the list that a save writes first.
std::wstring TemporaryListPath(const std::wstring& listPath);

// Where a save stops as if the program died there; for tests only.
struct SaveStop {
    std::size_t afterBytes = static_cast<std::size_t>(-1); // of the temporary file
    bool beforeFlush = false;
    bool beforeReplace = false;
};

// Writes bytes as the list at listPath, replacing it whole. On failure the system's error is
// in *error; a folder or anything else in the list's place is never deleted or overwritten.
bool ReplaceFileListDocument(const std::wstring& listPath, std::string_view bytes, unsigned long* error,
                             const SaveStop* stop = nullptr);
// The whole document in one read. False (with the system's error) when it cannot be read.
bool ReadFileListDocument(const std::wstring& listPath, std::string* bytes, unsigned long* error);
