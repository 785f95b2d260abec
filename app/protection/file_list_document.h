// The list document on disk: its encoding (settings/file_list_codec.h, with the system's ANSI
// code page), and a replacement that never leaves half a list.
//
// Writing: the new document goes to a temporary file beside the list, is flushed and then
// replaces the list in one rename, so the list always holds the whole old or the whole new one.
#pragma once

#include "settings/file_list_codec.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Lines in the system's UTF-16, each ended by CR LF, as the document's bytes.
std::string EncodeFileListText(std::wstring_view text);
// The document's bytes as UTF-16 text (the mark dropped, line ends as they were).
std::wstring DecodeFileListText(std::string_view bytes);

// The codec's functions with the system's ANSI code page.
std::string FileListBytes(const std::vector<std::string>& paths);
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
