// The protected files: every row of the file list is paired with one lock, a handle that keeps
// the file open so that other programs can neither read, delete nor rename it. Rows and locks
// change together, so entry i always belongs to row i.
#pragma once

#include "core/types.h"

#include <cstdint>

struct LinkedList;

// One lock: the handle _lopen gave, or HFILE_ERROR when the file could not be held.
struct ProtectedFile {
    std::int32_t handle;
};

extern LinkedList* ProtectedFiles;

// Share mode of every lock: read access for us, no reading, deleting or renaming for others.
constexpr int LockMode = 0x30; // OF_READ | OF_SHARE_DENY_READ
// Text colour of a row whose file is not held: it must not look protected.
constexpr int FailedLockColor = 0x0000C0;

void CreateProtectedFileList();
// Lets the user pick files and adds a row and a lock for each.
void AddFiles();
// Releases and removes every selected row, top one first.
void RemoveSelectedFiles();
// Start-up: locks the file of every row of the list, in row order.
void LockListedFiles(Number list);
// "Entfernen" is enabled exactly while a row is selected.
void OnFileListEvent();
// Writes the number of files actually held into the status bar.
void UpdateStatusText();

// Number of entries whose lock is held.
int HeldLockCount();
// The handle of entry i, or HFILE_ERROR when there is no such entry.
std::int32_t ProtectedFileHandle(int index);
