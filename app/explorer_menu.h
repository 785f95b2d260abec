// The Explorer's menu: verbs named after the program for every file and for folders (to protect
// and to release for editing), under the user's own classes, whose commands hand the item to
// Verriq. The menu entry that switches them shows on only when all four are there and start
// this very exe.
#pragma once

#include "app/autostart.h"
#include "app/registry_entry.h"

// Whether all four verbs are there and name this exe, read from the registry every time.
bool ExplorerMenuActive();
// Sets the menu entry's check mark from the registry.
void ShowExplorerMenuState();
// The menu entry was chosen: on when it shows off, off when it shows on. A failed write is
// told, and leaves no half-written verb behind.
void ToggleExplorerMenu();
