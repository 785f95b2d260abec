#include "controls/owner_subclass.h"

#include <commctrl.h>

namespace {

// The watcher is the subclass's identifier, so each kind keeps a subclass of its own on the
// owner and the number rides along as reference data: nothing to look up per message.
LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR data) {
    auto watcher = reinterpret_cast<OwnerWatcher>(id);
    watcher(window, static_cast<Number>(data), message, wParam, lParam);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, OwnerProcedure, id);
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

bool WatchOwner(HWND owner, OwnerWatcher watcher, Number number) {
    return owner && SetWindowSubclass(owner, OwnerProcedure, reinterpret_cast<UINT_PTR>(watcher),
                                      static_cast<DWORD_PTR>(number)) != 0;
}
