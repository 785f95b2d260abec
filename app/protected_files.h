// What the user does with the list of protected files, and what keeps it protected over time:
// adding, removing and switching levels drive the model and its view together; timers, the
// folder watchers' messages, drops and the keys of the list keep both going.
#pragma once

#include "app/protection/protection_model.h"

#include <windows.h>
#include <shellapi.h> // HDROP

#include <string>
#include <vector>

// Start-up: one row and one entry per line of the list document, in order, each file held at
// its line's level. Duplicates stay, as red rows that say so.
void AddListedFiles(std::vector<std::string> lines);
// Adds paths chosen by the user; a path already listed (same full path, case ignored) is not
// added again, its row is selected instead. Saves the list when it changed.
void AddChosenFiles(const std::vector<std::string>& paths);
// Lets the user pick files in the open dialog, or a folder, and adds them.
void AddFiles();
void AddFolder();
// Switches every selected row to one level: to reading allowed unless all allow it already, to
// the full lock otherwise. Saves the list when it changed.
void AllowReadingForSelection();
// Releases and removes every selected row. Saves the list when it changed.
void RemoveSelectedFiles();
// Folder work and retries are asked for as the model now needs them (after any change of it).
void ScheduleFolderWork();
// The model's retry, shown: true when any entry's state changed.
bool RetryUnheldFiles(unsigned budgetMilliseconds);

// After start-up: the retries by the main window's timer, files dropped on the window, the
// lock defence, and the list's keys, pointer and menu. The main window hands on what arrives.
void StartProtectionService();
void StopProtectionService(HWND main);
// The main window was shown again: the retries catch up at once.
void CatchUpOnShow();
// A folder's watcher saw changes in the tree with this Id; the next slice of folder work; a
// file inside a folder is due for another try.
void OnFolderChanged(WPARAM tree);
void DoFolderWork();
void RetryInFolders();
// Adds what was dropped on the main window as if chosen in the dialogs, and frees the drop.
void AddDroppedFiles(HDROP drop);
// Lets go of every file and forgets every entry (the rows stay); for tests and shut-down.
void ReleaseAllProtectedFiles();
