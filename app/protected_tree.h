// What a folder row holds: the folder itself, every folder and file below it, and whatever
// appears there later. Lives on the main thread; its watcher only reports names.
#pragma once

#include "app/folder_watch.h"
#include "core/handles_win32.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

enum class LockState : int;

// How many files and folders all folder rows together may hold. Under Wine the server keeps
// about 20,000 open files per prefix, and the file rows and every other program of the prefix
// need their share of that.
constexpr int MaxFolderHolds = 15000;

struct TreeEntry {
    std::wstring name; // below the tree's folder
    UniqueFile lock;
    LockState state;
    unsigned long error = 0;
    bool folder = false;
    bool link = false;           // a junction or symbolic link: held itself, never followed
    unsigned long long due = 0;  // tick of the next try while not held
    unsigned delay = 0;          // the pause before that try; grows while the file stays busy
    std::string holder;          // the row that holds the file instead (state Duplicate)
};

class ProtectedTree {
  public:
    // root: the folder's full path ending in a backslash, as the row shows it; key: the same
    // folded to upper case, as rows compare.
    ProtectedTree(const std::string& root, std::wstring key);
    ~ProtectedTree();
    ProtectedTree(const ProtectedTree&) = delete;
    ProtectedTree& operator=(const ProtectedTree&) = delete;

    // Holds the folder itself. Once it is held, starts the watcher (which announces changes to
    // window with message and id) and queues the scan of the tree.
    LockState HoldRoot(unsigned long& error, HWND window, unsigned message, std::uintptr_t id);
    bool RootHeld() const { return root_.valid(); }
    // The level of every file in the tree, of those found later too; the files held already
    // are held again at the new level at once. Folders are held the same at both levels.
    void SetReadable(bool readable);
    // The scan or the first tries of what it found are not finished.
    bool Busy() const { return !toList_.empty() || find_.valid() || openCursor_ < toOpen_.size(); }
    // Scans and holds for at most budget milliseconds (at least one step).
    void Work(unsigned budgetMilliseconds);
    // Takes what the watcher reported: new names wait for their creator, a loss means a scan.
    void TakeChanges();
    // Tries the entries whose pause is over, for at most budget milliseconds.
    void RetryDue(unsigned budgetMilliseconds);
    // Milliseconds until the next entry is due, or -1 when none waits.
    long long NextDue() const;
    // Tries at once every entry that waited for another row or for room under the ceiling.
    void RetryWaiting();

    // The key (as rows compare) is a file or folder this tree holds.
    bool Holds(const std::wstring& key) const;
    int HeldFiles() const { return heldFiles_; }
    int FoundFiles() const { return foundFiles_; }
    int TriedFiles() const { return triedFiles_; }
    // Entries not held, the folder itself included.
    int UnheldCount() const { return static_cast<int>(unheld_.size()) + (root_.valid() ? 0 : 1); }
    // Counts, then the first few entries not held with their reasons, one per line.
    std::string Summary() const;

  private:
    using Entries = std::unordered_map<std::wstring, TreeEntry>;
    void ListSome(unsigned long long deadline);
    enum class Try { InTurn, Now, AfterPause };
    void Found(const std::wstring& name, unsigned long attributes, Try when);
    // False when the entry is gone from the disk and was forgotten.
    bool Hold(Entries::iterator entry);
    void Forget(Entries::iterator entry);
    void Noticed(const FolderChange& change);
    // The entry (not held, its error and state set) waits for its next try or is forgotten;
    // false when forgotten.
    bool Refused(Entries::iterator entry);
    // Holds a held file again at the tree's level.
    void Rehold(Entries::iterator entry);

    std::string rootText_;
    std::wstring rootPath_; // the form the system takes, of any length
    std::wstring key_;
    UniqueFile root_;
    FolderWatch watch_;
    Entries entries_; // by the name below the folder, folded to upper case
    std::set<std::wstring> unheld_;
    std::vector<std::wstring> toList_; // folders still to scan, names below the root
    std::wstring listing_;             // the folder being scanned
    UniqueFindFile find_;              // its scan
    std::vector<std::wstring> toOpen_; // keys found by the scan, tried in order
    std::size_t openCursor_ = 0;
    int heldFiles_ = 0;
    int foundFiles_ = 0;
    int triedFiles_ = 0;
    bool readable_ = false;
};

// Lets go of lock and at once holds path again (flags as for CreateFileW) with the share mode
// of the level. When the full lock is asked for and another program reads the file, the file
// is held with reading shared again, and ReadersWait says so. Any other outcome leaves lock
// empty, with the reason in error. Nothing can be held twice by us: our own handle would keep
// the new one out, so the old one has to go first.
LockState Relock(UniqueFile& lock, const std::wstring& path, unsigned long flags, bool readable,
                 unsigned long& error);

// The row (its text) that holds the file or folder with this key, other than tree; empty when
// none does. Provided by the protected-file list.
std::string RowHolding(const std::wstring& key, const ProtectedTree* tree);
