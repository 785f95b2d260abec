#include "framework/owner_subclass.h"

#include "core/memory.h"

#include <commctrl.h>

namespace {

// The toolbar, the status bar, the two menu watches and the gadget list, with room to spare.
constexpr int MaxWatches = 8;

struct Watch {
    OwnerWatcher watcher;
    Number number;
};

// The subclass's reference data; also chained here so that a second kind finds the record of
// a window the first one already watches.
struct WatchedOwner {
    HWND window;
    WatchedOwner* next;
    int count;
    Watch watches[MaxWatches];
};

WatchedOwner* owners = nullptr;

WatchedOwner* Find(HWND window) {
    WatchedOwner* record = owners;
    while (record && record->window != window)
        record = record->next;
    return record;
}

void Forget(WatchedOwner* gone) {
    for (WatchedOwner** link = &owners; *link; link = &(*link)->next)
        if (*link == gone) {
            *link = gone->next;
            return;
        }
}

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR data) {
    auto* owner = reinterpret_cast<WatchedOwner*>(data);
    LRESULT result = 0;
    bool ending = message == WM_NCDESTROY;
    for (int i = owner->count - 1; i >= 0; --i) {
        const Watch& watch = owner->watches[i];
        if (watch.watcher(window, watch.number, message, wParam, lParam, &result) && !ending) return result;
    }
    if (ending) {
        RemoveWindowSubclass(window, OwnerProcedure, id);
        Forget(owner);
        FreeMemory(owner);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

bool WatchOwner(HWND owner, OwnerWatcher watcher, Number number) {
    if (!owner || !watcher) return false;
    WatchedOwner* record = Find(owner);
    if (!record) {
        record = AllocateRecord<WatchedOwner>();
        if (!record) return false;
        if (!SetWindowSubclass(owner, OwnerProcedure, 0, reinterpret_cast<DWORD_PTR>(record))) {
            FreeMemory(record);
            return false;
        }
        record->window = owner;
        record->next = owners;
        owners = record;
    }
    for (int i = 0; i < record->count; ++i)
        if (record->watches[i].watcher == watcher) {
            record->watches[i].number = number;
            return true;
        }
    if (record->count == MaxWatches) return false;
    record->watches[record->count++] = Watch{watcher, number};
    return true;
}

bool WatchedNumber(HWND owner, OwnerWatcher watcher, Number* number) {
    WatchedOwner* record = owner ? Find(owner) : nullptr;
    for (int i = 0; record && i < record->count; ++i)
        if (record->watches[i].watcher == watcher) {
            *number = record->watches[i].number;
            return true;
        }
    return false;
}
