// What our control kinds watch on the window that owns them: the toolbar and the status bar
// follow its size and scale, the menus draw its entries and clean up, a gadget list forgets its
// record, all when the window ends. One SetWindowSubclass per window serves every kind: under
// some systems each subclass in a chain costs a server round trip per message, and the main
// window hears every list notification.
#pragma once

#include "core/types.h"

#include <windows.h>

// Sees the owner's messages ahead of its own procedure, with the number last handed to
// WatchOwner for this watcher on this owner. Returns true when it answered (result set):
// the owner's procedure and older watchers then do not see the message. All see WM_NCDESTROY,
// after which the watch ends by itself.
using OwnerWatcher = bool (*)(HWND owner, Number number, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT* result);

// Starts the watcher on owner, or points the watch already there at number. Newer watchers see
// a message first. False when the window could not be subclassed.
bool WatchOwner(HWND owner, OwnerWatcher watcher, Number number);

// The number of the watcher's watch on owner, without asking the window; false when it has none.
bool WatchedNumber(HWND owner, OwnerWatcher watcher, Number* number);
