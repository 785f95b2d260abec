// The bytes of the list document and the paths in it, without the system: the one thing only
// the system knows, its ANSI code page, comes in as an AnsiCodePage (SystemAnsiCodePage() on
// Windows, a model of it where the codec is tried natively).
//
// Encoding: a list whose paths all fit the ANSI code page is written in it, without a mark and
// with CR LF, byte for byte what every earlier version wrote and reads. Any other path turns
// the whole document into UTF-8 behind the mark EF BB BF. A document read starting with the
// mark is UTF-8, any other is the ANSI code page. Lines end at CR LF, LF or CR; a zero byte is
// part of its line. A path or a byte sequence that is no valid UTF-8 has U+FFFD in its place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The mark that opens a UTF-8 list.
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

struct AnsiCodePage {
    // A system whose ANSI code page is UTF-8 has no other encoding to switch to: its lists are
    // UTF-8 without the mark, as its other programs write them.
    bool isUtf8 = false;
    // Appends the program's text in the code page to out. False when a character has no exact
    // form there (no best fit: an "Ω" written as "O" would name another file at the next
    // start); what was appended then is of no use.
    bool (*encode)(std::string_view text, std::string& out) = nullptr;
    // Appends bytes in the code page to out as the program's text. Whatever encode wrote comes
    // back as the text it was given.
    void (*decode)(std::string_view bytes, std::string& out) = nullptr;
};

// The running system's ANSI code page (Windows only).
const AnsiCodePage& SystemAnsiCodePage();

// Appends text to out with every sequence that is no valid UTF-8 replaced by U+FFFD.
void AppendValidUtf8(std::string_view text, std::string& out);

// Text with its line ends as it stands, as the document's bytes, and back (the mark dropped).
std::string EncodeListText(std::string_view text, const AnsiCodePage& codePage);
std::string DecodeListText(std::string_view bytes, const AnsiCodePage& codePage);

// How much text goes through the conversions at a time: large fresh buffers cost more in first
// touches of their pages than the conversion itself. Tests pass small slices to reach the seams.
constexpr std::size_t FileListSliceBytes = 32768;

// Builds the document's bytes from the program's texts, one path per line, a slice at a time.
class FileListEncoder {
  public:
    // The bytes go to out, which is emptied first; its capacity is kept, so a buffer that is
    // used again for the next save needs no new memory.
    FileListEncoder(std::string& out, const AnsiCodePage& codePage, std::size_t sliceBytes = FileListSliceBytes);
    void Add(std::string_view path);
    // Text with its line ends as it stands.
    void AddText(std::string_view text);
    // out holds the whole document after this.
    void Finish();

  private:
    void Encode();
    void SwitchToUtf8(std::size_t encodedSize);

    std::string& out_;
    const AnsiCodePage& codePage_;
    std::size_t sliceBytes_;
    std::string pending_;
    bool utf8_ = false;
    bool marked_ = false;
};

// A line of the list: the full path, then, for a file others may read, a TAB and "lesen". No
// file name holds a TAB, so the path still opens every line, and an older version keeps such a
// line as a row it cannot find instead of losing it. A line that ends in anything else after a
// TAB is a path as it stands: it comes back as it was read.
constexpr std::string_view ReadableSuffix = "\tlesen";
struct ListedFile {
    std::string path;
    bool readable = false;
};
ListedFile ParseListLine(std::string line);
std::string ListLine(const ListedFile& file);

// The program's texts, one per line, as the document's bytes.
std::string FileListBytes(const std::vector<std::string>& paths, const AnsiCodePage& codePage,
                          std::size_t sliceBytes = FileListSliceBytes);
// The document's lines in the program's texts. A last line without a line end counts; an empty
// document has none.
std::vector<std::string> FileListLines(std::string_view bytes, const AnsiCodePage& codePage,
                                       std::size_t sliceBytes = FileListSliceBytes);
