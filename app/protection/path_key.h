// "The same file": the one key every list, hand-over, release and holder search compares
// paths by, whatever spelling the path came in.
#pragma once

#include <string>

// The key of a path as the system takes it (ToWidePath): its full form, folded to upper case.
// - A path in the system's literal form ("\\?\C:\...", "\\?\UNC\server\share\...") is full
//   already and taken literally: only the prefix goes, so that it meets the short spelling of
//   the same file ("C:\...", "\\server\share\...").
// - Any other path is made full by the system's own arithmetic: relative parts, "." and "..",
//   "/" as separator and trailing dots and spaces of a name, as an open would resolve them.
// - A name in 8.3 form (it has a "~") is written out long where the file exists; where it does
//   not (yet), or the path passes the classic limit, the key keeps the short form: only the
//   disk knows the long one.
// - A final backslash stays: it is what marks a folder row.
std::wstring FileKey(std::wstring widePath);
