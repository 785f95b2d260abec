// File and directory services, and numbered buffered files for reading and writing text line by
// line. Paths and texts are UTF-8; text results come back as std::string. The lines of the
// buffered files stay bytes: what is written is what was given.
#pragma once

#include "core/types.h"
#include "settings/file_names.h"

#include <cstdint>
#include <string>

struct FileAccess;

// The variable's value; the empty text when it is not set.
std::string ReadEnvironmentVariable(const char* name);

// QueryFileSize answers a file's size in bytes (0 or more), or one of these.
constexpr std::int64_t FileSizeNothing = -1; // nothing there, empty or unusable path, or failure
constexpr std::int64_t FileSizeFolder = -2;  // a folder, a drive root or a network share

std::int64_t QueryFileSize(const char* path);
// Creates one folder (its parent must exist); trailing blanks, slashes and backslashes are
// ignored. Nonzero on success, 0 when it fails or the folder exists already.
int MakeDirectory(const char* path);

// Numbered files. Numbers are 0 and up, or AnyNumber for a dynamic file whose handle the
// creating call returns and which is addressed by it afterwards. Opening a number in use closes
// the file that held it first.
void InitDataFiles();
// Creates the file for writing (and reading), emptying an existing one, hidden ones included.
// The system's file handle (or the dynamic handle for AnyNumber), 0 on failure.
Number CreateDataFile(Number number, const char* path);
// Opens an existing file for reading. Results as CreateDataFile.
Number OpenDataFile(Number number, const char* path);
// Nonzero when nothing is left to read, also for a number without an open file.
int IsEndOfFile(Number number);
// The next line without its line end (CR LF, LF, CR or a zero byte); empty at the end or for a
// number without an open file. Lines have no length limit. The encoding is always 0: bytes as
// they are.
std::string ReadTextLine(Number number, int encoding = 0);
// The text's bytes (without the zero); the count written, 0 for a null or empty text or a number
// without an open file. Written bytes stay in the buffer until it fills, the file is read or closed.
int WriteText(Number number, const char* text, int encoding = 0);
// WriteText of the text, then CR LF.
int WriteTextLine(Number number, const char* text, int encoding = 0);
// Writes what is pending, closes the file and frees the number. No open file: nothing.
void CloseDataFile(Number number);
void CloseAllDataFiles();

// The system calls behind numbered files, for tests that put their own handles behind a buffer.
const FileAccess* SystemFileAccess();
