#include "app/session.h"

#include "app/application.h"
#include "app/storage.h"
#include "framework/window.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR SubclassId = 0x5653;

UINT showRequest = 0;
void (*onSessionEnded)() = nullptr;

LRESULT CALLBACK SessionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (showRequest && message == showRequest) {
        ShowMainWindowInFront(window);
        return 0;
    }
    switch (message) {
    case WM_QUERYENDSESSION:
        // Everything is on disk already; a question now could only hold the log-off up.
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            SaveDocumentsQuietly();
            if (onSessionEnded) onSessionEnded();
        }
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SessionProc, SubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

bool StartSessionService(HWND main, UINT request, void (*sessionEnded)()) {
    if (!main) return false;
    showRequest = request;
    onSessionEnded = sessionEnded;
    return SetWindowSubclass(main, SessionProc, SubclassId, 0) != 0;
}

void StopSessionService(HWND main) {
    if (main) RemoveWindowSubclass(main, SessionProc, SubclassId);
    showRequest = 0;
    onSessionEnded = nullptr;
}

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
