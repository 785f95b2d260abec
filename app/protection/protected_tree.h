// What a folder row holds: the folder itself, every folder and file below it, and whatever
// appears there later. Lives on the main thread; its watcher only reports names.
#pragma once

#include "app/protection/folder_watch.h"
#include "app/protection/handle_guard.h"
#include "app/protection/holder_lookup.h"
#include "app/protection/lock_state.h"
#include "core/handles_win32.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class ProtectedTree;

// Who else holds a file: a tree asks before it calls a file that refuses it a second row's.
class HolderIndex {
  public:
    // The row (its text) that holds the file or folder with this key, other than asking;
    // empty when none does.
    virtual std::string RowHolding(const std::wstring& key, const ProtectedTree* asking) const = 0;

  protected:
    ~HolderIndex() = default;
};

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
    bool unlisted = false;       // a folder whose contents could not be listed: listed again once due
    unsigned long long due = 0;  // tick of the next try while not held
    unsigned delay = 0;          // the pause before that try; grows while the file stays busy
    std::string holder;          // the row that holds the file instead (state Duplicate)
    unsigned long long written = 0; // tick of the last change the watcher reported while not held
    FileIdentity identity;          // of what lock holds, taken when it was opened
    std::string program;            // the program that has the file open (state InUse), once found
};

// A file that the watcher saw change within this many milliseconds and that is still open
// elsewhere is taken to be still being written: its writer is expected to let go soon.
constexpr unsigned long long WritingPause = 10000;

// What a folder row has to tell in numbers; the entries not held and the released parts are
// read from the tree itself (ForEachUnheld, Releases). The view words it all.
struct TreeFacts {
    int heldFiles = 0;
    int unheldFiles = 0;             // a file that waits for its readers is held all the same
    bool tooMany = false;            // some were left out under the ceiling
    bool busy = false;               // the scan or the first tries are not finished
    unsigned long rootListError = 0; // why the folder itself could not be listed; 0: it could
};

class ProtectedTree {
  public:
    // root: the folder's full path ending in a backslash, as the row shows it; key: the same
    // folded to upper case, as rows compare; holders: asked about files that refuse us.
    ProtectedTree(const std::string& root, std::wstring key, const HolderIndex& holders);
    ~ProtectedTree();
    ProtectedTree(const ProtectedTree&) = delete;
    ProtectedTree& operator=(const ProtectedTree&) = delete;

    // Holds the folder itself. Once it is held, starts the watcher (which announces changes to
    // window with message and id) and queues the scan of the tree.
    LockState HoldRoot(unsigned long& error, HWND window, unsigned message, std::uintptr_t id);
    bool RootHeld() const { return root_.valid(); }
    // Names this tree in the watcher's messages. Never 0 and never given twice, so that a
    // message still queued for a tree that is gone finds no other one in its place.
    std::uintptr_t Id() const { return id_; }
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
    // Makes every entry that waits for its pause due at once (the user is looking).
    void MakeAllDue();
    // Milliseconds until the next entry is due, or -1 when none waits.
    long long NextDue() const;
    // Tries at once every entry that waited for another row or for room under the ceiling.
    void RetryWaiting();

    // The key (as rows compare) is a file or folder this tree holds.
    bool Holds(const std::wstring& key) const;
    int HeldFiles() const { return heldFiles_; }
    int FoundFiles() const { return foundFiles_; }
    int TriedFiles() const { return triedFiles_; }
    // Entries not held or not listed, the folder itself included.
    int UnheldCount() const {
        return static_cast<int>(unheld_.size()) + (root_.valid() && rootListError_ == 0 ? 0 : 1);
    }
    // Of the entries not held, the files still being written (see WritingPause) at tick now.
    int BeingWritten(unsigned long long now) const;
    // The counts and states a folder row tells of.
    TreeFacts Facts() const;
    // The folder as the row shows it.
    const std::string& RootText() const { return rootText_; }
    // Calls visit(name below the folder, why) for each entry not held, in the order of their
    // names, until it answers false.
    template <typename Visit> void ForEachUnheld(Visit visit) const {
        for (const std::wstring& key : unheld_) {
            auto entry = entries_.find(key);
            if (entry == entries_.end()) continue;
            const TreeEntry& found = entry->second;
            if (!visit(found.name, Unheld{found.state, found.error, found.folder,
                                          found.state == LockState::InUse ? found.program : found.holder}))
                return;
        }
    }
    // Released parts: their folded key below the folder, the name as given, and when due.
    struct ReleasedPart {
        std::wstring key;
        std::wstring name;
        unsigned long long due;
    };
    const std::vector<ReleasedPart>& Releases() const { return released_; }

    // Every handle the tree holds, the folder's own among them.
    void CollectHeld(std::vector<HeldLock>& held) const;
    // When owner (from CollectHeld) is one of this tree's: forgets it without closing it and
    // holds the file or folder again at once. name: its path; why: what kept it out (state
    // Held when it is held again). rootError: for the folder itself, the error that kept it out.
    bool TakeBackLost(const void* owner, std::string& name, Unheld& why, unsigned long& rootError);
    // The files inside that other programs keep open, and the program found for one.
    void CollectBusy(std::vector<BusyFile>& busy) const;
    bool SetProgram(const std::wstring& key, const std::string& program);
    // Lets go of name (below the folder; a folder with everything in it) and of whatever
    // appears there, until the monotonic millisecond due. The rest of the tree stays held.
    void Release(const std::wstring& name, unsigned long long due);
    // Holds again what was released: the parts due at now, or all of them, or only the part
    // name when one is given. What appeared there meanwhile is held as well; what is still open
    // elsewhere waits as a busy file does. True when a part was taken back.
    bool TakeBackReleases(unsigned long long now, bool all, const std::wstring& name = {});
    bool HasReleases() const { return !released_.empty(); }
    // The earliest and the latest due time of the released parts; 0 when none.
    unsigned long long NextReleaseDue() const;
    unsigned long long LastReleaseDue() const;

  private:
    using Entries = std::unordered_map<std::wstring, TreeEntry>;
    void ListSome(unsigned long long deadline);
    // The folder being listed could not be: it waits, counted as not protected, to be listed again.
    void ListingFailed(unsigned long error);
    void ListAgain(Entries::iterator folder);
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
    // The key (below the folder, folded) lies in a released part.
    bool InRelease(const std::wstring& key) const;
    // Lets go of a file or folder of a released part.
    void LetGo(Entries::iterator entry);

    std::uintptr_t id_;
    const HolderIndex& holders_;
    std::string rootText_;
    std::wstring rootPath_; // the form the system takes, of any length
    std::wstring key_;
    UniqueFile root_;
    FileIdentity rootIdentity_;
    // The folder itself could not be listed: the error, and when to try again.
    unsigned long rootListError_ = 0;
    unsigned long long rootListDue_ = 0;
    unsigned rootListDelay_ = 0;
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
    // A few at a time; a list is all they need.
    std::vector<ReleasedPart> released_;
};

// Lets go of lock and at once holds path again (flags as for CreateFileW) with the share mode
// of the level. When the full lock is asked for and another program reads the file, the file
// is held with reading shared again, and ReadersWait says so. Any other outcome leaves lock
// empty, with the reason in error. Nothing can be held twice by us: our own handle would keep
// the new one out, so the old one has to go first.
LockState Relock(UniqueFile& lock, const std::wstring& path, unsigned long flags, bool readable,
                 unsigned long& error);

