// Bringing the main window to the front, for the hot key, the picture and a second start.
#pragma once

#include <windows.h>

// Shows the main window in the state it had (hidden, minimised or not) and brings it, or the
// dialog it is waiting for, to the front.
void ShowMainWindowInFront(HWND main);
