// Gadget lists: the window new controls are created in, saved and restored per window, and
// keyboard navigation between the controls of the active window.
#pragma once

#include <windows.h>

// Creates the state explicitly (otherwise it is made on first use): default GUI font, an empty
// nesting stack of 10 entries, no current list.
void InitGadgetLists();

// Makes window the current gadget list and returns the previous one; null only asks.
HWND SwitchGadgetList(HWND window);
// The parent for new controls: the first nesting entry when nested, else the current list
// window; null when there is none.
HWND CurrentGadgetList();
HFONT CurrentGadgetFont();
void SetCurrentGadgetFont(HFONT font);

// Tab (0) and Shift+Tab (1) among the active window's enabled, visible tab-stop controls.
void MoveFocus(int backward);
