// Watches one folder tree on a thread of its own. The thread only collects the names that
// appeared, changed or went and tells the main window that some are waiting; the main thread
// takes them and decides what to hold.
#pragma once

#include "core/handles_win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FolderChange {
    unsigned long action; // FILE_ACTION_ADDED and its kin
    std::wstring name;    // below the watched folder, as the system reported it (may be 8.3)
};

class FolderWatch {
  public:
    FolderWatch() = default;
    ~FolderWatch() { Stop(); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts watching folder (a path the system takes, ending in a backslash). When changes
    // wait and none were announced yet, posts message with id as wParam to window (none when
    // window is null). False when the thread could not be started.
    bool Start(const std::wstring& folder, HWND window, unsigned message, std::uintptr_t id);
    // Ends the thread; the changes not taken yet are dropped. A thread stuck in the system is
    // left behind with what it shares, which it frees itself once it ends.
    void Stop();
    bool Running() const { return thread_.valid(); }
    // The changes waiting, oldest first. lost is set when some were lost (the system's buffer
    // overflowed, or the folder could not be watched): the caller must look at the whole tree.
    std::vector<FolderChange> Take(bool& lost);

    // What the watcher and the main thread share. The thread keeps its own reference, so it
    // never touches freed memory, however long it outlives the watch.
    struct Shared;

  private:
    static unsigned long __stdcall Run(void* shared);

    std::shared_ptr<Shared> shared_;
    UniqueKernelHandle thread_;
};
