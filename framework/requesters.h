// Message and open-file requesters: the system's modal dialogs. While one is up, the calling
// thread's other visible, enabled top-level windows are disabled.
#pragma once

#include <cstddef>

// Common controls and COM, once, on the main thread.
void InitRequesters();

// The button that closed the box as MessageBoxW reports it (1 OK, 2 Cancel, 6 Yes, 7 No, ...).
int ShowMessageBox(const char* title, const char* text, unsigned flags);

// Bit of ShowOpenFileDialog's flags: let the user choose several files.
constexpr unsigned OpenFileMultiple = 0x1;

// pattern: pairs of display text and pattern separated by "|" ("Alle Dateien|*.*"); index
// 0-based. The first chosen path (UTF-8, of any length the file system allows), or the empty
// text on cancel or failure. Never null; the text stays valid until the next call of either
// function.
const char* ShowOpenFileDialog(const char* title, const char* defaultFile, const char* pattern,
                               int patternIndex, unsigned flags);
// The system's folder picker; the chosen folder's full path (UTF-8), or the empty text on cancel
// or failure. Valid as long as ShowOpenFileDialog's result is.
const char* ShowFolderDialog(const char* title);
// The next path of the last multiple selection, the empty text when none is left. Paths come
// whole, however long: the caller decides what it can use.
const char* NextChosenFileName();

// Takes over a dialog result as GetOpenFileNameW leaves it with multiple selection (one path, or
// a folder and names, each terminated, then an empty text), converted to the program's UTF-8, in
// a block of size bytes from AllocateMemory, and gives the first path as ShowOpenFileDialog would.
const char* TakeMultipleSelection(char* buffer, std::size_t size);
