// What holding a file can come to, and the share modes it is held with: the words the list's
// model and the folder trees both speak.
#pragma once

#include <string>

enum class LockState : int {
    Held,
    NotFound,     // no such file, folder or drive (yet)
    InUse,        // another program has it open
    AccessDenied, // no rights, or not a file
    Duplicate,    // another row holds the same file
    Failed,       // anything else; the entry keeps the system's error
    TooMany,      // beyond the ceiling of what folder rows may hold
    // Held with reading shared while the row asks for the full lock: a reader keeps that out.
    // Nothing can change the file, but it is not yet what the row says.
    ReadersWait,
    // Let go on purpose: the user released it for editing until its due time. Nothing is held,
    // and nothing is wrong; a guard over held handles has nothing to check here.
    Released,
};

// The share mode of the full lock: nobody else may read, write, delete or rename the file
// while we hold it. We only ever ask for read access and never read.
constexpr unsigned long LockShareMode = 0;
// The share mode of a file others may read (FILE_SHARE_READ): any open for writing, appending
// or deleting is still refused, and so is every rename.
constexpr unsigned long ReadShareMode = 0x1;
constexpr unsigned long ShareModeFor(bool readable) { return readable ? ReadShareMode : LockShareMode; }
// A folder is held so that it can be neither renamed, moved nor deleted, and can still be
// listed: reading and writing shared, deleting not (FILE_SHARE_READ | FILE_SHARE_WRITE).
constexpr unsigned long FolderShareMode = 0x1 | 0x2;

// The state a failed open's error stands for.
LockState LockStateForError(unsigned long error);

// Why a file or folder is not held, as the view needs it to say so.
struct Unheld {
    LockState state = LockState::Held;
    unsigned long error = 0; // the system's error where the state has one
    bool folder = false;
    // The row that holds the file instead (Duplicate), or the program that has it open
    // (InUse), where known.
    std::string holder;
};
