// The protected files: entry i is row i of the list; each entry owns its path, its lock and
// the reason it is not held. Saving, counting, locking and removing read this model, never the
// rows' text. It draws nothing; its folder watchers are only told where to post.
#pragma once

#include "app/protection/handle_guard.h"
#include "app/protection/lock_state.h"
#include "app/protection/path_key.h"
#include "app/protection/protected_tree.h"
#include "core/handles_win32.h"

#include <memory>
#include <string>
#include <vector>

struct ProtectedFile {
    std::string path; // as the user gave it: the row's text and the line in the list document
    std::wstring key; // FileKey of the path: what "the same file" compares
    UniqueFile lock;  // open with the share mode of the row's level
    LockState state = LockState::NotFound;
    unsigned long error = 0; // the system's error of the last attempt that failed
    // A folder row (its path ends in a backslash) holds a whole tree; a file row holds none.
    std::unique_ptr<ProtectedTree> tree;
    std::string holder;    // the row that holds the file instead (state Duplicate)
    bool readable = false; // "lesen erlaubt": others may read and copy, nothing may change it
    FileIdentity identity; // of the file lock holds, taken when it was opened
    std::string program;   // the program that has the file open (state InUse), once found
    // Released for editing (state Released) until this monotonic millisecond; never stored.
    unsigned long long releaseDue = 0;
};

// A handle that was closed from outside, taken back: the file's name, and why it could not be
// held again (state Held when it is held again).
struct TakenBack {
    std::string name;
    Unheld why;
    int row;
    bool Failed() const { return why.state != LockState::Held; }
};

// How often unheld files are tried again, and how long one try may take: a list of thousands
// of missing files must leave the machine idle.
constexpr unsigned RetryInterval = 2000;
constexpr unsigned RetryBudgetMilliseconds = 4;

// A line of the list names a folder when it ends in a backslash.
bool IsFolderPath(const std::string& path);
// Held, and for a folder row everything in it held as well.
bool IsWhole(const ProtectedFile& file);

class ProtectionModel final : public HolderIndex {
  public:
    ProtectionModel() = default;
    ProtectionModel(const ProtectionModel&) = delete;
    ProtectionModel& operator=(const ProtectionModel&) = delete;

    const std::vector<ProtectedFile>& Files() const { return files_; }
    std::size_t Size() const { return files_.size(); }

    // Where the folder watchers announce changes (wParam: the tree's Id). None: nothing is
    // announced, and folders are only worked through when asked.
    void SetWatchTarget(HWND window, unsigned message);
    // Appends an entry and tries to hold it. widePath is path as the system takes it and key
    // its FileKey, both made once by the caller.
    void Append(std::string path, const std::wstring& widePath, std::wstring key, bool readable);
    // Releases and forgets the entries at rows (ascending); the others are tried again where a
    // removed one may have kept them out.
    void Remove(const std::vector<int>& rows);
    // Sets an entry's level and holds it again at once where it is held. False when it had it.
    bool SetReadable(std::size_t index, bool readable);
    // Tries again the entries not held, starting after the last one tried, for at most budget
    // milliseconds (0: every entry once). Appends to changed the rows whose state changed; true
    // when one of them is held now.
    bool RetryUnheld(unsigned budgetMilliseconds, std::vector<int>* changed = nullptr);
    // Lets go of everything.
    void Clear();

    // Releases for editing: nothing held until the monotonic millisecond due, at the row's path
    // (a folder row: its whole tree), whatever file stands there meanwhile.
    bool Release(std::size_t index, unsigned long long due);
    // Only a file or folder inside a folder row: name below its folder. False for a file row.
    bool ReleaseInside(std::size_t index, const std::wstring& name, unsigned long long due);
    // Holds the row again at its level at once, its released parts too, or only the part name
    // of a folder row; false when nothing was released.
    bool TakeBack(std::size_t index, const std::wstring& name = {});
    // Takes back what is due at now; appends the rows that changed.
    void TakeBackDue(unsigned long long now, std::vector<int>& changed);
    // The earliest due time of any release, 0 when none.
    unsigned long long NextReleaseDue() const;
    // Rows released as a whole or in part.
    int ReleasedRows() const;

    // Folder rows. Busy: a scan or the first tries of what it found are not finished.
    bool AnyFolderBusy() const;
    // One slice of work on the first busy folder.
    void WorkFolders(unsigned budgetMilliseconds);
    void RetryDueInFolders(unsigned budgetMilliseconds);
    void TakeFolderChanges(std::uintptr_t treeId);
    void MakeAllDue();
    // Milliseconds until an entry in a folder is due, or -1 when none waits.
    long long NextFolderDue() const;

    // Files held, by file rows and inside folder rows.
    int HeldCount() const;
    // Rows not whole, and of those the rows worth telling a user who is not looking: a folder
    // row still being scanned, or whose only files not held are still being written, is on its
    // way to whole; a second row of a file is red, yet the first row holds the file.
    int UnprotectedRows() const;
    int AlarmingRows(unsigned long long nowTick) const;
    // Of the folder rows being scanned: the files tried and found so far.
    void ScanProgress(int& tried, int& found) const;

    std::string RowHolding(const std::wstring& key, const ProtectedTree* asking) const override;

    // Every handle held right now, file rows and folder trees alike; a row that holds nothing
    // (missing, busy, released) has none.
    void CollectHeld(std::vector<HeldLock>& held) const;
    // Forgets the lost handles (owners from CollectHeld) without closing them, since their
    // values may belong to something else now, and holds each file again at once at its row's
    // level. One entry per file, in the order given.
    std::vector<TakenBack> TakeBackLost(const std::vector<const void*>& lost);
    // Takes the identities still pending of the handles cleared (positions in held, from
    // CollectHeld, that HandleGuard::FindLost just cleared), for at most budget milliseconds;
    // how many it took.
    std::size_t TakeLateIdentities(const std::vector<HeldLock>& held, const std::vector<std::size_t>& cleared,
                                   unsigned budgetMilliseconds);
    // The files other programs keep open, and the program found for one (its key): the rows
    // whose text changed (-1 for none).
    void CollectBusy(std::vector<BusyFile>& busy) const;
    int SetProgram(const std::wstring& key, const std::string& program);

  private:
    void TryLock(ProtectedFile& file, const std::wstring& widePath);

    std::vector<ProtectedFile> files_;
    // Where the next retry pass starts, so that a long list is worked through a slice at a time.
    std::size_t retryCursor_ = 0;
    HWND watchWindow_ = nullptr;
    unsigned watchMessage_ = 0;
};

// The program's one list.
ProtectionModel& Protection();
