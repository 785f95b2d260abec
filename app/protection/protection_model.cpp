#include "app/protection/protection_model.h"

#include "core/clock_win32.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <algorithm>

bool IsFolderPath(const std::string& path) { return !path.empty() && path.back() == '\\'; }

bool IsWhole(const ProtectedFile& file) {
    return file.state == LockState::Held && (!file.tree || (!file.tree->Busy() && file.tree->UnheldCount() == 0));
}

ProtectionModel& Protection() {
    static ProtectionModel model;
    return model;
}

void ProtectionModel::SetWatchTarget(HWND window, unsigned message) {
    watchWindow_ = window;
    watchMessage_ = message;
}

std::string ProtectionModel::RowHolding(const std::wstring& key, const ProtectedTree* asking) const {
    for (const ProtectedFile& file : files_) {
        if (file.tree ? file.tree.get() != asking && file.tree->Holds(key) : file.lock.valid() && file.key == key)
            return file.path;
    }
    return {};
}

void ProtectionModel::TryLock(ProtectedFile& file, const std::wstring& widePath) {
    // A line with a zero byte names no file; the system would see only the text before it and
    // hold another file than the one listed.
    if (file.path.find('\0') != std::string::npos) {
        file.error = ERROR_INVALID_NAME;
        file.state = LockState::NotFound;
        return;
    }
    if (IsFolderPath(file.path)) {
        if (!file.tree) {
            file.tree = std::make_unique<ProtectedTree>(file.path, file.key, *this);
            file.tree->SetReadable(file.readable);
        }
        file.state = file.tree->HoldRoot(file.error, watchWindow_, watchMessage_, file.tree->Id());
        return;
    }
    if (file.lock) {
        // Held with reading shared while the row asks for the full lock.
        file.state = Relock(file.lock, widePath, FILE_ATTRIBUTE_NORMAL, file.readable, file.error);
        if (file.lock) file.identity = TakeFileIdentity(file.lock.get(), widePath);
    } else {
        HANDLE handle = CreateFileW(widePath.c_str(), GENERIC_READ, ShareModeFor(file.readable), nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file.lock.reset(handle);
            // Taken later, once the table lists the handle as ours (TakeLateIdentities): at
            // start-up, ten thousand queries would double what holding the files costs.
            file.identity = PendingIdentity();
            file.state = LockState::Held;
            file.error = 0;
            file.program.clear();
            return;
        }
        file.error = GetLastError();
        file.state = LockStateForError(file.error);
    }
    file.holder.clear();
    // Our own lock refuses us as it refuses everybody: say which row has the file.
    if (file.state == LockState::InUse) {
        file.holder = RowHolding(file.key, nullptr);
        if (!file.holder.empty()) file.state = LockState::Duplicate;
    }
    // The program found stays while the file stays busy: it is asked again only now and then.
    if (file.state != LockState::InUse) file.program.clear();
}

void ProtectionModel::Append(std::string path, const std::wstring& widePath, std::wstring key, bool readable) {
    files_.push_back(ProtectedFile{std::move(path), std::move(key), {}, LockState::NotFound, 0});
    files_.back().readable = readable;
    TryLock(files_.back(), widePath);
}

void ProtectionModel::Remove(const std::vector<int>& rows) {
    if (rows.empty()) return;
    // Bottom up, so that the rows still to go keep their numbers.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        if (*row >= 0 && *row < static_cast<int>(files_.size())) files_.erase(files_.begin() + *row);
    retryCursor_ = 0;
    // A second row of a file just let go may hold it now, in a folder row too, and room under
    // the ceiling may have come free.
    bool duplicates = std::any_of(files_.begin(), files_.end(),
                                  [](const ProtectedFile& file) { return file.state == LockState::Duplicate; });
    if (duplicates) RetryUnheld(0);
    for (ProtectedFile& file : files_)
        if (file.tree) file.tree->RetryWaiting();
}

bool ProtectionModel::SetReadable(std::size_t index, bool readable) {
    if (index >= files_.size() || files_[index].readable == readable) return false;
    ProtectedFile& file = files_[index];
    file.readable = readable;
    if (file.tree)
        file.tree->SetReadable(readable);
    else if (file.lock && file.state == LockState::ReadersWait && readable)
        file.state = LockState::Held; // held with reading shared already
    else if (file.lock)
        TryLock(file, ToWidePath(file.path)); // lets go and holds again at once, at the new level
    return true;
}

bool ProtectionModel::RetryUnheld(unsigned budgetMilliseconds, std::vector<int>* changed) {
    std::size_t count = files_.size();
    if (count == 0) return false;
    const unsigned long long deadline = MonotonicMicroseconds() + budgetMilliseconds * 1000ULL;
    bool nowHeld = false;
    for (std::size_t tried = 0; tried < count; ++tried) {
        std::size_t index = retryCursor_++ % count;
        ProtectedFile& file = files_[index];
        if (file.state == LockState::Held || file.state == LockState::Released) continue;
        LockState before = file.state;
        TryLock(file, ToWidePath(file.path));
        if (file.state != before) {
            if (changed) changed->push_back(static_cast<int>(index));
            nowHeld = nowHeld || file.state == LockState::Held;
        }
        if (budgetMilliseconds > 0 && MonotonicMicroseconds() >= deadline) break;
    }
    retryCursor_ %= count;
    return nowHeld;
}

void ProtectionModel::Clear() {
    files_.clear();
    retryCursor_ = 0;
}

bool ProtectionModel::AnyFolderBusy() const {
    return std::any_of(files_.begin(), files_.end(), [](const ProtectedFile& file) { return file.tree && file.tree->Busy(); });
}

void ProtectionModel::WorkFolders(unsigned budgetMilliseconds) {
    for (ProtectedFile& file : files_) {
        if (file.tree && file.tree->Busy()) {
            file.tree->Work(budgetMilliseconds);
            return;
        }
    }
}

void ProtectionModel::RetryDueInFolders(unsigned budgetMilliseconds) {
    for (ProtectedFile& file : files_)
        if (file.tree) file.tree->RetryDue(budgetMilliseconds);
}

void ProtectionModel::TakeFolderChanges(std::uintptr_t treeId) {
    for (ProtectedFile& file : files_)
        if (file.tree && file.tree->Id() == treeId) file.tree->TakeChanges();
}

void ProtectionModel::MakeAllDue() {
    for (ProtectedFile& file : files_)
        if (file.tree) file.tree->MakeAllDue();
}

long long ProtectionModel::NextFolderDue() const {
    long long due = -1;
    for (const ProtectedFile& file : files_) {
        if (!file.tree) continue;
        long long next = file.tree->NextDue();
        if (next >= 0 && (due < 0 || next < due)) due = next;
    }
    return due;
}

int ProtectionModel::HeldCount() const {
    int held = 0;
    for (const ProtectedFile& file : files_) held += file.tree ? file.tree->HeldFiles() : file.lock.valid();
    return held;
}

int ProtectionModel::UnprotectedRows() const {
    // A release is the user's choice, not a gap.
    return static_cast<int>(std::count_if(files_.begin(), files_.end(), [](const ProtectedFile& file) {
        return !IsWhole(file) && file.state != LockState::Released;
    }));
}

int ProtectionModel::AlarmingRows(unsigned long long nowTick) const {
    int alarming = 0;
    for (const ProtectedFile& file : files_) {
        if (file.state != LockState::Held && file.state != LockState::Duplicate &&
            file.state != LockState::Released)
            ++alarming;
        else if (file.tree && !file.tree->Busy() && file.tree->UnheldCount() > file.tree->BeingWritten(nowTick))
            ++alarming;
    }
    return alarming;
}

void ProtectionModel::ScanProgress(int& tried, int& found) const {
    tried = found = 0;
    for (const ProtectedFile& file : files_) {
        if (!file.tree || !file.tree->Busy()) continue;
        tried += file.tree->TriedFiles();
        found += file.tree->FoundFiles();
    }
}

void ProtectionModel::CollectHeld(std::vector<HeldLock>& held) const {
    for (const ProtectedFile& file : files_) {
        if (file.tree)
            file.tree->CollectHeld(held);
        else if (file.lock)
            held.push_back(HeldLock{file.lock.get(), file.identity, &file.lock, GENERIC_READ});
    }
}

std::vector<TakenBack> ProtectionModel::TakeBackLost(const std::vector<const void*>& lost) {
    std::vector<TakenBack> outcome;
    for (const void* owner : lost) {
        for (std::size_t row = 0; row < files_.size(); ++row) {
            ProtectedFile& file = files_[row];
            if (file.tree) {
                std::string name;
                Unheld why;
                unsigned long rootError = 0;
                if (!file.tree->TakeBackLost(owner, name, why, rootError)) continue;
                // The folder itself: the row says what became of it.
                if (rootError != 0) {
                    file.error = rootError;
                    file.state = LockStateForError(rootError);
                }
                outcome.push_back(TakenBack{std::move(name), std::move(why), static_cast<int>(row)});
                break;
            }
            if (&file.lock != owner) continue;
            // Not closed: the value may be another object's now, ours or anybody's.
            file.lock.release();
            file.identity = FileIdentity{};
            TryLock(file, ToWidePath(file.path));
            outcome.push_back(TakenBack{file.path, {}, static_cast<int>(row)});
            if (file.state != LockState::Held && file.state != LockState::ReadersWait) {
                Unheld& why = outcome.back().why;
                why.state = file.state;
                why.error = file.error;
                why.holder = file.holder;
            }
            break;
        }
    }
    return outcome;
}

std::size_t ProtectionModel::TakeLateIdentities(const std::vector<HeldLock>& held,
                                                const std::vector<std::size_t>& cleared,
                                                unsigned budgetMilliseconds) {
    if (cleared.empty() || files_.empty()) return 0;
    const unsigned long long deadline = MonotonicMicroseconds() + budgetMilliseconds * 1000ULL;
    // An owner is the lock inside a file row (CollectHeld), so its row follows from its address;
    // a folder tree's owner lies elsewhere and finds no row whose lock it is.
    const auto first = reinterpret_cast<std::uintptr_t>(&files_.front().lock);
    std::size_t taken = 0;
    for (std::size_t index : cleared) {
        const void* owner = index < held.size() ? held[index].owner : nullptr;
        auto at = reinterpret_cast<std::uintptr_t>(owner);
        std::size_t row = at >= first ? (at - first) / sizeof(ProtectedFile) : files_.size();
        if (row >= files_.size() || &files_[row].lock != owner) continue;
        ProtectedFile& file = files_[row];
        if (!file.lock || !file.identity.pending) continue;
        // When it was opened stays: the order of openings tells two holders of a value apart.
        unsigned long long opened = file.identity.opened;
        file.identity = TakeFileIdentity(file.lock.get(), ToWidePath(file.path));
        file.identity.opened = opened;
        ++taken;
        if (MonotonicMicroseconds() >= deadline) break;
    }
    return taken;
}

void ProtectionModel::CollectBusy(std::vector<BusyFile>& busy) const {
    for (const ProtectedFile& file : files_) {
        if (file.tree)
            file.tree->CollectBusy(busy);
        else if (file.state == LockState::InUse)
            busy.push_back(BusyFile{file.key, ToWidePath(file.path), {}, 0});
    }
}

int ProtectionModel::SetProgram(const std::wstring& key, const std::string& program) {
    for (std::size_t row = 0; row < files_.size(); ++row) {
        ProtectedFile& file = files_[row];
        bool changed = file.tree
                           ? file.tree->SetProgram(key, program)
                           : file.state == LockState::InUse && file.key == key && file.program != program;
        if (!changed) continue;
        if (!file.tree) file.program = program;
        return static_cast<int>(row);
    }
    return -1;
}

bool ProtectionModel::Release(std::size_t index, unsigned long long due) {
    if (index >= files_.size()) return false;
    ProtectedFile& file = files_[index];
    // The folder's watcher and every hold in it go with the tree; taking it back scans anew and
    // so finds what appeared meanwhile.
    file.tree.reset();
    file.lock.reset();
    file.state = LockState::Released;
    file.error = 0;
    file.holder.clear();
    file.releaseDue = due;
    return true;
}

bool ProtectionModel::ReleaseInside(std::size_t index, const std::wstring& name, unsigned long long due) {
    if (index >= files_.size()) return false;
    ProtectedFile& file = files_[index];
    if (!IsFolderPath(file.path)) return false;
    // Released as a whole already: the part is released with it, until the row's due time.
    if (file.state == LockState::Released) return true;
    if (!file.tree) TryLock(file, ToWidePath(file.path));
    if (!file.tree) return false;
    file.tree->Release(name, due);
    return true;
}

bool ProtectionModel::TakeBack(std::size_t index, const std::wstring& name) {
    if (index >= files_.size()) return false;
    ProtectedFile& file = files_[index];
    if (!name.empty()) return file.tree && file.tree->TakeBackReleases(0, false, name);
    if (file.state == LockState::Released) {
        file.releaseDue = 0;
        file.state = LockState::NotFound;
        TryLock(file, ToWidePath(file.path));
        return true;
    }
    return file.tree && file.tree->TakeBackReleases(0, true);
}

void ProtectionModel::TakeBackDue(unsigned long long now, std::vector<int>& changed) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        ProtectedFile& file = files_[i];
        bool taken = file.state == LockState::Released ? file.releaseDue <= now && TakeBack(i)
                                                       : file.tree && file.tree->TakeBackReleases(now, false);
        if (taken) changed.push_back(static_cast<int>(i));
    }
}

unsigned long long ProtectionModel::NextReleaseDue() const {
    unsigned long long next = 0;
    for (const ProtectedFile& file : files_) {
        unsigned long long due = file.state == LockState::Released ? file.releaseDue
                                 : file.tree                       ? file.tree->NextReleaseDue()
                                                                   : 0;
        if (due != 0 && (next == 0 || due < next)) next = due;
    }
    return next;
}

int ProtectionModel::ReleasedRows() const {
    return static_cast<int>(std::count_if(files_.begin(), files_.end(), [](const ProtectedFile& file) {
        return file.state == LockState::Released || (file.tree && file.tree->HasReleases());
    }));
}
