// Helpers the framework's window tests share: pumping the event loop, filtering what it
// returned, waiting for conditions that another thread or the system brings about.
#pragma once

#include "core/types.h"
#include "framework/window.h"

#include <windows.h>

#include <vector>

namespace framework_test {

// Everything WaitEventTimeout returns within the time, pumping until the queue and the message
// queue stay empty for a short while.
inline std::vector<int> Pump(int milliseconds = 150) {
    std::vector<int> codes;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
        int code = WaitEventTimeout(10);
        if (code) codes.push_back(code);
    }
    return codes;
}

// The window events among the codes, without activation and repaints, which come and go with
// the window manager's mood.
inline std::vector<int> WindowEvents(const std::vector<int>& codes) {
    std::vector<int> events;
    for (int code : codes)
        if (code == MoveWindowEvent || code == SizeWindowEvent || code == CloseWindowEvent ||
            code == GadgetEvent || code == MenuEvent || code == MinimizeWindowEvent ||
            code == MaximizeWindowEvent || code == RestoreWindowEvent)
            events.push_back(code);
    return events;
}

template <class Condition> bool WaitFor(Condition condition, int milliseconds = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(milliseconds)) return false;
        WaitEventTimeout(10);
    }
}

inline RECT Rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Closes every window a test opened, so the next test starts with none.
inline void CloseWindows(std::initializer_list<Number> numbers) {
    for (Number number : numbers)
        CloseTopWindow(number);
    Pump(50);
}

} // namespace framework_test
