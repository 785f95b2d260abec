// The protected files: the model behind the file list. Entry i is row i; each entry owns its
// path, its lock and the reason it is not held. The list control only displays the model, and
// saving, counting, locking and removing read the model, never the rows' text.
#pragma once

#include "app/protected_tree.h"
#include "core/handles_win32.h"
#include "core/types.h"

#include <memory>
#include <string>
#include <vector>

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
};

struct ProtectedFile {
    std::string path; // as the user gave it: the row's text and the line in the list document
    std::wstring key; // the full path folded to upper case: what "the same file" compares
    UniqueFile lock;  // open with the share mode of the row's level
    LockState state = LockState::NotFound;
    unsigned long error = 0; // the system's error of the last attempt that failed
    // A folder row (its path ends in a backslash) holds a whole tree; a file row holds none.
    std::unique_ptr<ProtectedTree> tree;
    std::string holder;      // the row that holds the file instead (state Duplicate)
    bool shownWhole = true;  // the row is drawn as protected
    bool readable = false;   // "lesen erlaubt": others may read and copy, nothing may change it
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
// Text colour of a row whose file is not held: it must not look protected.
constexpr int FailedLockColor = 0x0000C0;
// How often the main thread tries again to hold the files it could not, and how long one try
// may take: a list of thousands of missing files must leave the machine idle.
constexpr unsigned RetryInterval = 2000;
constexpr unsigned RetryBudgetMilliseconds = 4;

const std::vector<ProtectedFile>& ProtectedFileList();

// Start-up: one row and one entry per line of the list document, in order, each file held at
// its line's level. Duplicates stay, as
// red rows that say so.
void AddListedFiles(std::vector<std::string> paths);
// Adds paths chosen by the user; a path already listed (same full path, case ignored) is not
// added again, its row is selected instead. Saves the list when it changed.
void AddChosenFiles(const std::vector<std::string>& paths);
// Lets the user pick files in the open dialog and adds them.
void AddFiles();
// Lets the user pick a folder and adds it.
void AddFolder();
// A line of the list names a folder when it ends in a backslash.
bool IsFolderPath(const std::string& path);
// The text of a row's "Zugriff" column.
const char* LevelText(bool readable);
// Switches every selected row to one level: to reading allowed unless all allow it already, to
// the full lock otherwise. Saves the list when it changed.
void AllowReadingForSelection();
// Every selected row allows reading (false without a selection): the row menu's check mark.
bool SelectionAllowsReading();
// Releases and removes every selected row. Saves the list when it changed.
void RemoveSelectedFiles();
// "Entfernen" is enabled exactly while a row is selected.
void OnFileListEvent();
// Writes the number of files actually held into the status bar.
void UpdateStatusText();
// Runs after every update of the status bar; null for none.
void SetStatusTextHook(void (*hook)());
// Rows drawn as not protected: not held, or a folder row that does not hold everything yet.
int UnprotectedRowCount();
// Of those, the rows worth telling a user who is not looking: a folder row still being
// scanned, or whose only files not held are still being written, is on its way to whole.
int AlarmingRowCount();

// Tries again to hold files that are not held, starting after the last one tried, for at most
// budget milliseconds (0: every entry once). True when any entry's state changed.
bool RetryUnheldFiles(unsigned budgetMilliseconds);
// After start-up: the tooltip that tells why a row is not held, the retries by timer and
// whenever the main window is shown again, files dropped on the window, and Entf on the list.
void StartProtectionService();
// Lets go of every file and forgets every entry (the rows stay); for tests and shut-down.
void ReleaseAllProtectedFiles();

// Number of files held, by file rows and inside folder rows.
int HeldLockCount();
// What the tooltip of a row not held says; empty for a row that holds all it should.
std::string UnprotectedReason(const ProtectedFile& file);
// The state a failed open's error stands for.
LockState LockStateForError(unsigned long error);
// Why something is not held, as a clause: "Zugriff verweigert".
std::string LockReason(LockState state, unsigned long error, bool folder, const std::string& holder);
