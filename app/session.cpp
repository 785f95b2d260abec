#include "app/session.h"

#include "app/application.h"
#include "framework/window.h"

void ShowMainWindowInFront(HWND main) {
    if (!main) return;
    if (IsIconic(main))
        ShowWindow(main, SW_RESTORE); // back to normal or maximised, whichever it was
    else if (!IsWindowVisible(main))
        SetWindowHidden(WindowMain, 0);
    // A message box or the hot-key dialog waiting for an answer must not end up behind.
    HWND front = GetLastActivePopup(main);
    SetForegroundWindow(front && IsWindowVisible(front) ? front : main);
}
