#include "app/protection/protected_tree.h"

#include "core/clock_win32.h"
#include "settings/wide_text.h"

#include <algorithm>

namespace {

// The first look at a new file comes this long after its last reported change; while it stays
// busy the pauses double up to the cap, so that a file is held within about two seconds of its
// creator letting go, and a creator that pauses between writes is not caught in between.
constexpr unsigned FirstDelay = 300;
constexpr unsigned BusyDelayCap = 2000;
// Files that refuse us for other reasons change rarely; asking often would only cost.
constexpr unsigned RefusedDelayCap = 60000;
// A folder that could not be listed is looked into again this often.
constexpr unsigned UnlistedDelay = BusyDelayCap;

// Every file and folder held by any tree, against the ceiling.
int heldByTrees = 0;
// The last tree's identity. Even the 32-bit build would need four billion folder rows added
// in one run before it came round again.
std::uintptr_t lastTreeId = 0;

bool IsDots(const wchar_t* name) { return name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])); }

DWORD FileFlags(const TreeEntry& entry) {
    DWORD flags = entry.folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
    if (entry.link) flags |= FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
    return flags;
}

bool WaitsForOthers(LockState state) { return state == LockState::Duplicate || state == LockState::TooMany; }

} // namespace

LockState Relock(UniqueFile& lock, const std::wstring& path, unsigned long flags, bool readable,
                 unsigned long& error) {
    // The path is ready before the old handle goes: between the two calls nothing else is done.
    lock.reset();
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, ShareModeFor(readable), nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE && !readable) {
        error = GetLastError();
        // A reader keeps the full lock out, not the shared hold it had a moment ago.
        if (error == ERROR_SHARING_VIOLATION)
            handle = CreateFileW(path.c_str(), GENERIC_READ, ReadShareMode, nullptr, OPEN_EXISTING, flags, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            lock.reset(handle);
            return LockState::ReadersWait;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return LockStateForError(error);
    }
    lock.reset(handle);
    error = 0;
    return LockState::Held;
}

ProtectedTree::ProtectedTree(const std::string& root, std::wstring key, const HolderIndex& holders)
    : id_(++lastTreeId == 0 ? ++lastTreeId : lastTreeId), holders_(holders), rootText_(root), rootPath_(ToWidePath(root, 0)), key_(std::move(key)) {
    if (rootPath_.empty() || rootPath_.back() != L'\\') rootPath_ += L'\\';
    if (key_.empty() || key_.back() != L'\\') key_ += L'\\';
}

ProtectedTree::~ProtectedTree() {
    // The watcher goes first: it must not report into a tree that is being torn down.
    watch_.Stop();
    for (auto& [key, entry] : entries_)
        if (entry.lock) --heldByTrees;
    if (root_) --heldByTrees;
}

LockState ProtectedTree::HoldRoot(unsigned long& error, HWND window, unsigned message, std::uintptr_t id) {
    if (root_) return LockState::Held;
    HANDLE handle = CreateFileW(rootPath_.c_str(), FILE_LIST_DIRECTORY, FolderShareMode, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return LockStateForError(error);
    }
    UniqueFile held(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(held.get(), &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A file that has taken the folder's name is not the folder.
        error = ERROR_DIRECTORY;
        return LockState::NotFound;
    }
    root_ = std::move(held);
    rootIdentity_ = TakeFileIdentity(root_.get(), rootPath_);
    ++heldByTrees;
    error = 0;
    // Watching starts before the scan, so that nothing created meanwhile slips through.
    watch_.Start(rootPath_, window, message, id);
    toList_.push_back(std::wstring());
    return LockState::Held;
}

void ProtectedTree::Work(unsigned budgetMilliseconds) {
    unsigned long long deadline = MonotonicMicroseconds() + budgetMilliseconds * 1000ULL;
    ListSome(deadline);
    while (toList_.empty() && !find_ && openCursor_ < toOpen_.size()) {
        auto entry = entries_.find(toOpen_[openCursor_++]);
        if (entry != entries_.end() && !entry->second.lock) {
            if (!entry->second.folder) ++triedFiles_;
            Hold(entry);
        }
        if (MonotonicMicroseconds() >= deadline) break;
    }
    if (!Busy()) {
        toOpen_.clear();
        toOpen_.shrink_to_fit();
        openCursor_ = 0;
    }
}

void ProtectedTree::ListSome(unsigned long long deadline) {
    for (;;) {
        WIN32_FIND_DATAW found;
        bool more;
        if (!find_) {
            if (toList_.empty()) return;
            listing_ = std::move(toList_.back());
            toList_.pop_back();
            std::wstring pattern = rootPath_ + listing_ + L'*';
            find_.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
            more = find_.valid();
            // A drive's empty root lists nothing at all; any other failure hides a part of the tree.
            if (!more) {
                DWORD error = GetLastError();
                if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) ListingFailed(error);
            }
        } else {
            more = FindNextFileW(find_.get(), &found) != 0;
        }
        if (!more)
            find_.reset();
        else if (!IsDots(found.cFileName))
            Found(listing_ + found.cFileName, found.dwFileAttributes, Try::InTurn);
        if (MonotonicMicroseconds() >= deadline) return;
    }
}

void ProtectedTree::ListingFailed(unsigned long error) {
    // Gone meanwhile: the watcher reports it, and nothing is left to protect there.
    if (LockStateForError(error) == LockState::NotFound) return;
    if (listing_.empty()) {
        rootListError_ = error;
        rootListDue_ = GetTickCount64() + UnlistedDelay;
        return;
    }
    auto position = entries_.find(FoldedCase(listing_.substr(0, listing_.size() - 1)));
    if (position == entries_.end()) return;
    TreeEntry& folder = position->second;
    // The folder itself may well be held; what is in it is not, and the row must say so.
    folder.unlisted = true;
    folder.state = LockStateForError(error);
    folder.error = error;
    folder.delay = UnlistedDelay;
    folder.due = GetTickCount64() + UnlistedDelay;
    unheld_.insert(position->first);
}

void ProtectedTree::ListAgain(Entries::iterator position) {
    TreeEntry& folder = position->second;
    folder.unlisted = false;
    folder.state = LockState::Held;
    folder.error = 0;
    folder.delay = 0;
    unheld_.erase(position->first);
    toList_.push_back(folder.name + L'\\');
}

void ProtectedTree::Found(const std::wstring& name, unsigned long attributes, Try when) {
    std::wstring key = FoldedCase(name);
    auto [entry, added] = entries_.try_emplace(key);
    if (!added) return;
    TreeEntry& found = entry->second;
    found.name = name;
    found.state = LockState::NotFound;
    found.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    found.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!found.folder) ++foundFiles_;
    // A folder below is scanned in turn, unless it is a link to somewhere else.
    if (found.folder && !found.link) toList_.push_back(name + L'\\');
    if (when == Try::InTurn) {
        toOpen_.push_back(std::move(key));
        return;
    }
    if (!found.folder) ++triedFiles_;
    // A file written anew at a released path (an editor's save) stays released with it.
    if (InRelease(entry->first)) {
        found.state = LockState::Released;
        return;
    }
    if (when == Try::Now) {
        Hold(entry);
        return;
    }
    // Until the first look, its creator is taken to have it open still.
    found.state = LockState::InUse;
    found.delay = FirstDelay;
    found.written = GetTickCount64();
    found.due = found.written + FirstDelay;
    unheld_.insert(std::move(key));
}

void ProtectedTree::SetReadable(bool readable) {
    if (readable_ == readable) return;
    readable_ = readable;
    std::vector<std::wstring> held;
    for (auto& [key, entry] : entries_)
        if (entry.lock && !entry.folder) held.push_back(key);
    for (const std::wstring& key : held) {
        auto entry = entries_.find(key);
        if (readable && entry->second.state == LockState::ReadersWait) {
            // Already held with reading shared: that is the new level.
            entry->second.state = LockState::Held;
            entry->second.delay = 0;
            unheld_.erase(key);
        } else {
            Rehold(entry);
        }
    }
}

void ProtectedTree::Rehold(Entries::iterator position) {
    TreeEntry& entry = position->second;
    entry.state = Relock(entry.lock, rootPath_ + entry.name, FileFlags(entry), readable_, entry.error);
    if (entry.lock) entry.identity = TakeFileIdentity(entry.lock.get(), rootPath_ + entry.name);
    if (entry.state == LockState::Held) {
        entry.delay = 0;
        unheld_.erase(position->first);
        return;
    }
    if (entry.state == LockState::ReadersWait) {
        // Each try lets go for a moment: not more often than a busy file is tried.
        entry.delay = BusyDelayCap;
        entry.due = GetTickCount64() + entry.delay;
        unheld_.insert(position->first);
        return;
    }
    --heldByTrees;
    --heldFiles_;
    Refused(position);
}

bool ProtectedTree::Hold(Entries::iterator position) {
    TreeEntry& entry = position->second;
    if (InRelease(position->first)) {
        LetGo(position);
        return true;
    }
    if (entry.lock) {
        if (entry.unlisted)
            ListAgain(position);
        else if (entry.state == LockState::ReadersWait)
            Rehold(position);
        return true;
    }
    if (heldByTrees >= MaxFolderHolds) {
        entry.state = LockState::TooMany;
        unheld_.insert(position->first);
        return true;
    }
    std::wstring path = rootPath_ + entry.name;
    HANDLE handle = CreateFileW(path.c_str(), entry.folder ? FILE_LIST_DIRECTORY : GENERIC_READ,
                                entry.folder ? FolderShareMode : ShareModeFor(readable_), nullptr, OPEN_EXISTING,
                                FileFlags(entry), nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        entry.lock.reset(handle);
        entry.identity = TakeFileIdentity(handle, path);
        entry.state = LockState::Held;
        entry.error = 0;
        entry.holder.clear();
        entry.program.clear();
        ++heldByTrees;
        if (!entry.folder) ++heldFiles_;
        unheld_.erase(position->first);
        if (entry.unlisted) ListAgain(position);
        return true;
    }
    entry.error = GetLastError();
    entry.state = LockStateForError(entry.error);
    return Refused(position);
}

bool ProtectedTree::Refused(Entries::iterator position) {
    TreeEntry& entry = position->second;
    if (entry.state == LockState::NotFound) {
        // Gone again before we could hold it (a temporary file): nothing is left to protect.
        Forget(position);
        return false;
    }
    entry.holder.clear();
    if (entry.state == LockState::InUse) {
        entry.holder = holders_.RowHolding(key_ + position->first, this);
        if (!entry.holder.empty()) entry.state = LockState::Duplicate;
    }
    if (entry.state != LockState::InUse) entry.program.clear();
    // A folder that hides its contents is looked into as often as a busy file.
    unsigned cap = entry.state == LockState::InUse || entry.unlisted ? BusyDelayCap : RefusedDelayCap;
    entry.delay = entry.delay == 0 ? FirstDelay : std::min(entry.delay * 2, cap);
    entry.due = GetTickCount64() + entry.delay;
    unheld_.insert(position->first);
    return true;
}

void ProtectedTree::Forget(Entries::iterator position) {
    if (position->second.lock) return;
    if (!position->second.folder) {
        --foundFiles_;
        if (triedFiles_ > foundFiles_) triedFiles_ = foundFiles_;
    }
    unheld_.erase(position->first);
    entries_.erase(position);
}

void ProtectedTree::TakeChanges() {
    bool lost = false;
    std::vector<FolderChange> changes = watch_.Take(lost);
    if (!root_) return;
    if (lost) {
        // What is known stays; the scan from the top adds what is not.
        find_.reset();
        toList_.assign(1, std::wstring());
        return;
    }
    for (const FolderChange& change : changes) Noticed(change);
}

void ProtectedTree::Noticed(const FolderChange& change) {
    std::wstring name = change.name;
    if (name.find(L'~') != std::wstring::npos) {
        // A short name: the long one is what the scan and the user know.
        std::wstring shortPath = rootPath_ + name;
        DWORD length = GetLongPathNameW(shortPath.c_str(), nullptr, 0);
        if (length > 0) {
            std::wstring longPath(length, L'\0');
            DWORD written = GetLongPathNameW(shortPath.c_str(), longPath.data(), length);
            if (written > rootPath_.size() && written < length) name = longPath.substr(rootPath_.size(), written - rootPath_.size());
        }
    }
    std::wstring key = FoldedCase(name);
    auto known = entries_.find(key);
    if (change.action == FILE_ACTION_REMOVED || change.action == FILE_ACTION_RENAMED_OLD_NAME) {
        if (known == entries_.end() || known->second.lock) return;
        bool folder = known->second.folder;
        Forget(known);
        if (folder) {
            // What waited below it went with it.
            std::wstring below = key + L'\\';
            for (auto waiting = unheld_.lower_bound(below); waiting != unheld_.end() && waiting->compare(0, below.size(), below) == 0;) {
                auto gone = entries_.find(*waiting++);
                if (gone != entries_.end()) Forget(gone);
            }
        }
        return;
    }
    if (known != entries_.end()) {
        TreeEntry& entry = known->second;
        if (!entry.lock) entry.written = GetTickCount64();
        // Still being written: the first look waits again for the writer to pause.
        if (!entry.lock && !WaitsForOthers(entry.state)) {
            entry.delay = FirstDelay;
            entry.due = GetTickCount64() + FirstDelay;
        }
        return;
    }
    DWORD attributes = GetFileAttributesW((rootPath_ + name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    // A folder is not written into like a file: holding it at once keeps it where it is, and
    // its contents are scanned. A file waits for its creator.
    Found(name, attributes, (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Try::Now : Try::AfterPause);
}

void ProtectedTree::RetryDue(unsigned budgetMilliseconds) {
    unsigned long long deadline = MonotonicMicroseconds() + budgetMilliseconds * 1000ULL;
    unsigned long long now = GetTickCount64();
    if (rootListError_ != 0 && rootListDue_ <= now && root_) {
        rootListError_ = 0;
        toList_.push_back(std::wstring());
    }
    std::vector<std::wstring> due;
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry != entries_.end() && !WaitsForOthers(entry->second.state) && entry->second.due <= now)
            due.push_back(key);
    }
    for (const std::wstring& key : due) {
        auto entry = entries_.find(key);
        if (entry != entries_.end()) Hold(entry);
        if (MonotonicMicroseconds() >= deadline) break;
    }
}

void ProtectedTree::MakeAllDue() {
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry != entries_.end()) entry->second.due = 0;
    }
    rootListDue_ = 0;
}

long long ProtectedTree::NextDue() const {
    long long next = -1;
    unsigned long long now = GetTickCount64();
    if (rootListError_ != 0) next = rootListDue_ > now ? static_cast<long long>(rootListDue_ - now) : 0;
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry == entries_.end() || WaitsForOthers(entry->second.state)) continue;
        long long wait = entry->second.due > now ? static_cast<long long>(entry->second.due - now) : 0;
        if (next < 0 || wait < next) next = wait;
    }
    return next;
}

void ProtectedTree::RetryWaiting() {
    std::vector<std::wstring> waiting;
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry != entries_.end() && WaitsForOthers(entry->second.state)) waiting.push_back(key);
    }
    for (const std::wstring& key : waiting) {
        auto entry = entries_.find(key);
        if (entry == entries_.end()) continue;
        entry->second.delay = 0;
        Hold(entry);
    }
}

int ProtectedTree::BeingWritten(unsigned long long now) const {
    int writing = 0;
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry != entries_.end() && !entry->second.folder && entry->second.state == LockState::InUse &&
            entry->second.written > 0 && now - entry->second.written < WritingPause)
            ++writing;
    }
    return writing;
}

bool ProtectedTree::Holds(const std::wstring& key) const {
    if (key.size() < key_.size() || key.compare(0, key_.size(), key_) != 0) return false;
    if (key.size() == key_.size()) return root_.valid();
    auto entry = entries_.find(key.substr(key_.size()));
    return entry != entries_.end() && entry->second.lock.valid();
}

TreeFacts ProtectedTree::Facts() const {
    TreeFacts facts;
    facts.heldFiles = heldFiles_;
    facts.busy = Busy();
    facts.rootListError = rootListError_;
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry == entries_.end()) continue;
        if (!entry->second.folder && !entry->second.lock) ++facts.unheldFiles;
        facts.tooMany |= entry->second.state == LockState::TooMany;
    }
    return facts;
}

void ProtectedTree::CollectHeld(std::vector<HeldLock>& held) const {
    if (root_) held.push_back(HeldLock{root_.get(), rootIdentity_, &root_, FILE_LIST_DIRECTORY});
    for (const auto& [key, entry] : entries_)
        if (entry.lock)
            held.push_back(
                HeldLock{entry.lock.get(), entry.identity, &entry.lock,
                         entry.folder ? static_cast<unsigned long>(FILE_LIST_DIRECTORY) : GENERIC_READ});
}

bool ProtectedTree::TakeBackLost(const void* owner, std::string& name, Unheld& why,
                                 unsigned long& rootError) {
    rootError = 0;
    if (owner == &root_) {
        name = rootText_;
        // Not closed: the value may be another object's now. The watcher has a handle of its
        // own and goes on; the scan keeps what it knows.
        root_.release();
        rootIdentity_ = FileIdentity{};
        --heldByTrees;
        HANDLE handle = CreateFileW(rootPath_.c_str(), FILE_LIST_DIRECTORY, FolderShareMode, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            rootError = GetLastError();
            why.state = LockStateForError(rootError);
            why.error = rootError;
            why.folder = true;
            return true;
        }
        root_.reset(handle);
        rootIdentity_ = TakeFileIdentity(handle, rootPath_);
        ++heldByTrees;
        return true;
    }
    for (auto position = entries_.begin(); position != entries_.end(); ++position) {
        TreeEntry& entry = position->second;
        if (&entry.lock != owner) continue;
        name = rootText_ + FromWide(entry.name);
        bool folder = entry.folder;
        entry.lock.release();
        entry.identity = FileIdentity{};
        --heldByTrees;
        if (!folder) --heldFiles_;
        entry.delay = 0;
        if (!Hold(position)) {
            // Gone from the disk meanwhile: nothing is left to hold.
            why.state = LockState::NotFound;
            why.error = ERROR_FILE_NOT_FOUND;
            why.folder = folder;
            return true;
        }
        if (!entry.lock) {
            why.state = entry.state;
            why.error = entry.error;
            why.folder = folder;
            why.holder = entry.holder;
        }
        return true;
    }
    return false;
}

bool ProtectedTree::InRelease(const std::wstring& key) const {
    for (const ReleasedPart& released : released_) {
        const std::wstring& part = released.key;
        if (key.compare(0, part.size(), part) == 0 && (key.size() == part.size() || key[part.size()] == L'\\'))
            return true;
    }
    return false;
}

void ProtectedTree::CollectBusy(std::vector<BusyFile>& busy) const {
    for (const std::wstring& key : unheld_) {
        auto entry = entries_.find(key);
        if (entry != entries_.end() && !entry->second.folder && entry->second.state == LockState::InUse)
            busy.push_back(BusyFile{key_ + key, rootPath_ + entry->second.name, {}, 0});
    }
}

bool ProtectedTree::SetProgram(const std::wstring& key, const std::string& program) {
    if (key.size() <= key_.size() || key.compare(0, key_.size(), key_) != 0) return false;
    auto entry = entries_.find(key.substr(key_.size()));
    if (entry == entries_.end() || entry->second.state != LockState::InUse ||
        entry->second.program == program)
        return false;
    entry->second.program = program;
    return true;
}

void ProtectedTree::LetGo(Entries::iterator position) {
    TreeEntry& entry = position->second;
    if (entry.lock) {
        entry.lock.reset();
        --heldByTrees;
        if (!entry.folder) --heldFiles_;
    }
    entry.state = LockState::Released;
    entry.error = 0;
    entry.delay = 0;
    entry.unlisted = false;
    entry.holder.clear();
    unheld_.erase(position->first);
}

void ProtectedTree::Release(const std::wstring& name, unsigned long long due) {
    std::wstring trimmed = name;
    while (!trimmed.empty() && trimmed.back() == L'\\')
        trimmed.pop_back();
    if (trimmed.empty()) return;
    std::wstring key = FoldedCase(trimmed);
    auto known = std::find_if(released_.begin(), released_.end(),
                              [&key](const ReleasedPart& part) { return part.key == key; });
    if (known != released_.end())
        known->due = due;
    else
        released_.push_back(ReleasedPart{key, trimmed, due});
    // A part released inside another released part ends when both have.
    std::vector<std::wstring> inside;
    for (auto& [known, entry] : entries_)
        if (InRelease(known)) inside.push_back(known);
    for (const std::wstring& known : inside)
        LetGo(entries_.find(known));
}

bool ProtectedTree::TakeBackReleases(unsigned long long now, bool all, const std::wstring& name) {
    std::wstring only = FoldedCase(name);
    while (!only.empty() && only.back() == L'\\') only.pop_back();
    std::vector<ReleasedPart> ended;
    for (auto part = released_.begin(); part != released_.end();) {
        if (only.empty() ? !all && part->due > now : part->key != only) {
            ++part;
            continue;
        }
        ended.push_back(std::move(*part));
        part = released_.erase(part);
    }
    if (ended.empty()) return false;
    std::vector<std::wstring> again;
    for (const auto& [key, entry] : entries_)
        if (entry.state == LockState::Released && !InRelease(key)) again.push_back(key);
    for (const std::wstring& key : again) {
        auto entry = entries_.find(key);
        if (entry == entries_.end()) continue;
        entry->second.state = LockState::NotFound;
        // Hold forgets what is gone; a file still open elsewhere waits as a busy one does.
        Hold(entry);
    }
    if (!root_) return true;
    for (const ReleasedPart& part : ended) {
        if (InRelease(part.key)) continue;
        // What the watcher may have missed meanwhile: the part itself, and what is in it.
        DWORD attributes = GetFileAttributesW((rootPath_ + part.name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (entries_.find(FoldedCase(part.name)) == entries_.end())
            Found(part.name, attributes, Try::Now);
        else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            toList_.push_back(part.name + L'\\');
    }
    return true;
}

unsigned long long ProtectedTree::NextReleaseDue() const {
    unsigned long long next = 0;
    for (const ReleasedPart& part : released_)
        if (next == 0 || part.due < next) next = part.due;
    return next;
}

unsigned long long ProtectedTree::LastReleaseDue() const {
    unsigned long long last = 0;
    for (const ReleasedPart& part : released_)
        last = std::max(last, part.due);
    return last;
}
