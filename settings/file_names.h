// Checks and clean-ups of file names and paths that need no file system.
#pragma once

#include <string>

// The longest path the file services take, in bytes of the program's UTF-8: the system's own
// limit is 32,767 UTF-16 units (with the "\\?\" form), and no unit takes more than three
// bytes. The system refuses what is still too long; nothing is ever cut, since a cut path names
// another file.
constexpr int MaximumPathLength = 3 * 32767;

// 1 for a non-empty name without control characters and without any of " * / : < > ? \ |.
int IsValidFileName(const char* name);

// How a size query looks at a path.
enum class SizeQueryKind {
    Nothing, // empty, too long or with wildcards: names no file
    Drive,   // a drive letter with its colon: ask the drive type of the root
    Search,  // look the path up in its folder
};

// Sorts the path and gives what to ask the system with: the drive root ("C:\") or the path
// without trailing backslashes.
SizeQueryKind PrepareSizeQuery(const char* path, std::string& query);

// The folder to create for a path: trailing blanks, slashes and backslashes removed. False when
// nothing is left or the path is too long.
bool PrepareFolderPath(const char* path, std::string& folder);
