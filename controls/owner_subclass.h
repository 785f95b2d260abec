// What a control kind watches on its owner window: the toolbar and the status bar follow the
// owner's size, scale and end. One subclass per kind and owner, through SetWindowSubclass; its
// reference data is the number of the object it serves, renewed each time one opens there.
#pragma once

#include "core/types.h"

#include <windows.h>

// Runs ahead of the owner's own procedure for every message, with the number last handed to
// WatchOwner for this kind on this owner. The subclass goes by itself after WM_NCDESTROY.
using OwnerWatcher = void (*)(HWND owner, Number number, UINT message, WPARAM wParam, LPARAM lParam);

// Installs the kind's subclass on owner, or points the one already there at number.
bool WatchOwner(HWND owner, OwnerWatcher watcher, Number number);
