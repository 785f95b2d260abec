// The Explorer's menu: a verb named after the program for every file and for folders, under the
// user's own classes, whose command hands the item to Verriq. The menu entry that switches it
// shows on only when both verbs are there and start this very exe.
#pragma once

#include "app/autostart.h"

// Whether both verbs are there and name this exe, read from the registry every time.
bool ExplorerMenuActive();
// Sets the menu entry's check mark from the registry.
void ShowExplorerMenuState();
// How a failed write is told: the framework's message box unless a test puts in its own.
void SetExplorerMenuNotice(AutostartNotice notice);
// The menu entry was chosen: on when it shows off, off when it shows on. A failed write is
// told, and leaves no half-written verb behind.
void ToggleExplorerMenu();
