#include "app/protection/folder_watch.h"

#include <cstddef>

namespace {

// Within what a network drive accepts; an overflow costs a scan, not a lost file.
constexpr DWORD WatchBufferBytes = 64 * 1024;
// A burst larger than this is cheaper to answer with one scan than name by name.
constexpr std::size_t MaxWaitingChanges = 50000;
constexpr DWORD WatchFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                              FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

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

struct FolderWatch::Shared {
    std::wstring folder;
    HWND window = nullptr;
    unsigned message = 0;
    std::uintptr_t id = 0;
    UniqueKernelHandle stop;
    // Guards the fields below, shared by the watcher and the main thread.
    SRWLOCK lock = SRWLOCK_INIT;
    std::vector<FolderChange> waiting;
    bool lost = false;
    bool announced = false;

    void Deliver(std::vector<FolderChange>& changes, bool lostSome);
};

bool FolderWatch::Start(const std::wstring& folder, HWND window, unsigned message, std::uintptr_t id) {
    Stop();
    auto shared = std::make_shared<Shared>();
    shared->folder = folder;
    shared->window = window;
    shared->message = message;
    shared->id = id;
    shared->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!shared->stop) return false;
    // The thread's own reference; the thread takes it over once it exists.
    auto reference = std::make_unique<std::shared_ptr<Shared>>(shared);
    thread_.reset(CreateThread(nullptr, 0, Run, reference.get(), 0, nullptr));
    if (!thread_) return false;
    reference.release();
    shared_ = std::move(shared);
    return true;
}

void FolderWatch::Stop() {
    if (!shared_) return;
    SetEvent(shared_->stop.get());
    // The thread ends as soon as its pending read is cancelled. One stuck in the system for
    // longer is left to end by itself: it holds its own reference to all it may touch.
    if (thread_) WaitForSingleObject(thread_.get(), 1000);
    thread_.reset();
    {
        ExclusiveLock hold(shared_->lock);
        shared_->waiting.clear();
        shared_->lost = shared_->announced = false;
        // Whatever a lingering thread still finds is told to nobody.
        shared_->window = nullptr;
    }
    shared_.reset();
}

std::vector<FolderChange> FolderWatch::Take(bool& lost) {
    std::vector<FolderChange> taken;
    lost = false;
    if (!shared_) return taken;
    ExclusiveLock hold(shared_->lock);
    taken.swap(shared_->waiting);
    lost = shared_->lost;
    shared_->lost = shared_->announced = false;
    return taken;
}

void FolderWatch::Shared::Deliver(std::vector<FolderChange>& changes, bool lostSome) {
    HWND target = nullptr;
    {
        ExclusiveLock hold(lock);
        if (lostSome || waiting.size() + changes.size() > MaxWaitingChanges) {
            waiting.clear();
            lost = true;
        } else {
            for (FolderChange& change : changes) waiting.push_back(std::move(change));
        }
        if (!announced) target = window;
        announced = true;
    }
    changes.clear();
    if (!target || PostMessageW(target, message, id, 0)) return;
    // A full queue refused the news: the next batch announces again, with this one waiting.
    ExclusiveLock hold(lock);
    announced = false;
}

unsigned long __stdcall FolderWatch::Run(void* parameter) {
    std::shared_ptr<Shared> self;
    std::unique_ptr<std::shared_ptr<Shared>>(static_cast<std::shared_ptr<Shared>*>(parameter))->swap(self);
    std::vector<FolderChange> changes;
    // The watch's own handle lets everybody do anything: the holds are the main thread's.
    UniqueFile folder(CreateFileW(self->folder.c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!folder || !done) {
        self->Deliver(changes, true);
        return 0;
    }
    std::vector<DWORD> buffer(WatchBufferBytes / sizeof(DWORD));
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        ResetEvent(done.get());
        if (!ReadDirectoryChangesW(folder.get(), buffer.data(), WatchBufferBytes, TRUE, WatchFilter, nullptr,
                                   &overlapped, nullptr)) {
            self->Deliver(changes, true);
            return 0;
        }
        HANDLE events[2] = {self->stop.get(), done.get()};
        DWORD bytes = 0;
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            CancelIo(folder.get());
            GetOverlappedResult(folder.get(), &overlapped, &bytes, TRUE);
            return 0;
        }
        BOOL read = GetOverlappedResult(folder.get(), &overlapped, &bytes, FALSE);
        if (!read && GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
            self->Deliver(changes, true);
            return 0;
        }
        if (!read || bytes == 0) {
            // The system dropped what it had queued: only a scan can tell what changed.
            self->Deliver(changes, true);
            continue;
        }
        ReadRecords(reinterpret_cast<const unsigned char*>(buffer.data()), bytes, changes);
        self->Deliver(changes, false);
    }
}
