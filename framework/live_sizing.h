// Live sizing: with full-window dragging on, framework windows are sized by the framework itself
// instead of the system's modal loop, so the event loop keeps reporting size events while the
// user drags.
#pragma once

#include <windows.h>

void InitLiveSizing();

// Sees every message of a framework window first; NotHandled when the message is not its
// business.
LRESULT SizingMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether a sizing operation is in progress, and the window it sizes (null when none).
bool LiveSizingActive();
HWND LiveSizingWindow();
