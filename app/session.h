// What reaches the main window from outside the main thread and from the system: the request
// to show it (from the hot-key watcher and from a second start) and the end of the session.
#pragma once

#include <windows.h>

// Subclasses the main window for showRequest, WM_QUERYENDSESSION and WM_ENDSESSION. When the
// session ends, the documents are saved and then sessionEnded runs (null: nothing more).
bool StartSessionService(HWND main, UINT showRequest, void (*sessionEnded)());
void StopSessionService(HWND main);

// Shows the main window in the state it had (hidden, minimised or not) and brings it, or the
// dialog it is waiting for, to the front.
void ShowMainWindowInFront(HWND main);
