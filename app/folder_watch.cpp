#include "app/folder_watch.h"

#include <cstddef>

namespace {

// Within what a network drive accepts; an overflow costs a scan, not a lost file.
constexpr DWORD WatchBufferBytes = 64 * 1024;
// A burst larger than this is cheaper to answer with one scan than name by name.
constexpr std::size_t MaxWaitingChanges = 50000;
constexpr DWORD WatchFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                              FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};

void ReadRecords(const unsigned char* buffer, DWORD bytes, std::vector<FolderChange>& changes) {
    DWORD offset = 0;
    for (;;) {
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes) return;
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
        std::size_t length = record->FileNameLength / sizeof(wchar_t);
        if (offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + length * sizeof(wchar_t) > bytes) return;
        changes.push_back(FolderChange{record->Action, std::wstring(record->FileName, length)});
        if (record->NextEntryOffset == 0) return;
        offset += record->NextEntryOffset;
    }
}

} // namespace

bool FolderWatch::Start(const std::wstring& folder, HWND window, unsigned message, std::uintptr_t id) {
    Stop();
    folder_ = folder;
    window_ = window;
    message_ = message;
    id_ = id;
    stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return false;
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    return thread_.valid();
}

void FolderWatch::Stop() {
    if (thread_) {
        SetEvent(stop_.get());
        // The thread ends as soon as its pending read is cancelled; one that does not end within
        // a second is stuck in the system, and we must not free what it may still touch.
        if (WaitForSingleObject(thread_.get(), 1000) != WAIT_OBJECT_0) {
            thread_.release();
            stop_.release();
            return;
        }
        thread_.reset();
    }
    stop_.reset();
    ExclusiveLock hold(lock_);
    waiting_.clear();
    lost_ = announced_ = false;
}

std::vector<FolderChange> FolderWatch::Take(bool& lost) {
    ExclusiveLock hold(lock_);
    std::vector<FolderChange> taken;
    taken.swap(waiting_);
    lost = lost_;
    lost_ = announced_ = false;
    return taken;
}

void FolderWatch::Deliver(std::vector<FolderChange>& changes, bool lost) {
    bool announce = false;
    {
        ExclusiveLock hold(lock_);
        if (lost || waiting_.size() + changes.size() > MaxWaitingChanges) {
            waiting_.clear();
            lost_ = true;
        } else {
            for (FolderChange& change : changes) waiting_.push_back(std::move(change));
        }
        announce = !announced_;
        announced_ = true;
    }
    changes.clear();
    if (!announce || !window_ || PostMessageW(window_, message_, id_, 0)) return;
    // A full queue refused the news: the next batch announces again, with this one waiting.
    ExclusiveLock hold(lock_);
    announced_ = false;
}

unsigned long __stdcall FolderWatch::Run(void* parameter) {
    auto& self = *static_cast<FolderWatch*>(parameter);
    std::vector<FolderChange> changes;
    // The watch's own handle lets everybody do anything: the holds are the main thread's.
    UniqueFile folder(CreateFileW(self.folder_.c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!folder || !done) {
        self.Deliver(changes, true);
        return 0;
    }
    std::vector<DWORD> buffer(WatchBufferBytes / sizeof(DWORD));
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        ResetEvent(done.get());
        if (!ReadDirectoryChangesW(folder.get(), buffer.data(), WatchBufferBytes, TRUE, WatchFilter, nullptr,
                                   &overlapped, nullptr)) {
            self.Deliver(changes, true);
            return 0;
        }
        HANDLE events[2] = {self.stop_.get(), done.get()};
        DWORD bytes = 0;
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            CancelIo(folder.get());
            GetOverlappedResult(folder.get(), &overlapped, &bytes, TRUE);
            return 0;
        }
        BOOL read = GetOverlappedResult(folder.get(), &overlapped, &bytes, FALSE);
        if (!read && GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
            self.Deliver(changes, true);
            return 0;
        }
        if (!read || bytes == 0) {
            // The system dropped what it had queued: only a scan can tell what changed.
            self.Deliver(changes, true);
            continue;
        }
        ReadRecords(reinterpret_cast<const unsigned char*>(buffer.data()), bytes, changes);
        self.Deliver(changes, false);
    }
}
