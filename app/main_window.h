// The main window as the application sees it: one procedure, on the framework's owner subclass,
// takes everything the application handles there (menu, toolbar and row-menu commands, the
// list's events, hand-overs and quit requests, drops, the folders' and the picture's messages,
// timers, the show request and the end of the session) and hands each to the part that does it.
// The framework's own window events (size, scale, close) still come through its event loop.
#pragma once

#include "app/handover.h"
#include "app/quit_request.h"
#include "core/types.h"

#include <windows.h>

#include <string>
#include <vector>

class MainWindow {
  public:
    // Takes the window's messages over and starts what protects in the background: the retries,
    // drops, the defence, the picture and the receivers of other starts. end runs once the
    // session has ended and the documents are saved; it does not return in the program.
    bool Open(HWND window, const std::string& storageFolder, bool hiddenStart, void (*end)());
    // The window's handle while it is open; null before and after.
    HWND Handle() const { return window; }
    // The message that asks this copy to show its window in front.
    UINT ShowRequest() const { return showRequest; }

    // Paths given on the command line or handed over: protected, or released for editing.
    void Protect(const std::vector<std::wstring>& paths);
    void Release(const std::vector<std::wstring>& paths);

  private:
    static bool Watch(HWND window, Number self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool Take(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A menu entry or toolbar button of ours; false for a number that is none.
    bool OnCommand(int item);
    void OnTimer(UINT_PTR timer);
    void Close();

    HWND window = nullptr;
    UINT showRequest = 0;
    UINT taskbarCreated = 0; // the notification area was made again (the Explorer restarted)
    void (*end)() = nullptr;
    PathInbox inbox;  // paths handed over by later starts, waiting for their batch
    QuitInbox quits;  // a quit asked from outside, between its answer and the end
};
