// Which file a handle names, in a form that survives renames: the volume's serial number and
// the file's index on it. Taken when a file is held, and compared when a handle is suspected of
// having been closed from outside and its value given to something else. No window code here.
#pragma once

#include <windows.h>

#include <string>

struct FileIdentity {
    unsigned long volume = 0;
    unsigned long long index = 0;
    bool known = false; // false: nothing to compare with, so the handle cannot be vouched for
    // Not taken yet: asked for after the start, a slice at a time, and only while the handle is
    // known to be still ours (HandleGuard::FindLost, ProtectionModel::TakeLateIdentities).
    bool pending = false;
    // When the handle was opened among all held handles: a value cannot be given out twice
    // while open, so of two locks that hold the same value the one opened earlier lost it.
    unsigned long long opened = 0;
};

// The identity of the file held by handle, which was opened by path. The index costs one cheap
// query; the volume's serial is asked once per drive (asking it per handle costs about a
// quarter of a millisecond under Wine, which 10,000 files at start-up would feel).
FileIdentity TakeFileIdentity(HANDLE handle, const std::wstring& path);
// For a handle just opened whose identity is taken later: only the order of its opening. Each
// query is a round trip to the Wine server, which ten thousand files at start-up would feel.
FileIdentity PendingIdentity();
// The handle still names a file, and that file is the one identity was taken of. Asks the
// system in full (volume and index by the handle): meant for the few handles under suspicion.
bool StillNames(HANDLE handle, const FileIdentity& identity);
