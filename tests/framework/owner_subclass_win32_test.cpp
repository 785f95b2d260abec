#include "framework/owner_subclass.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the watchers saw, in order: a letter a watcher, then its number.
std::string seen;

bool Record(char name, Number number, UINT message) {
    if (message == WM_USER || message == WM_NCDESTROY) seen += name + std::to_string(number);
    return false;
}

bool WatchA(HWND, Number number, UINT message, WPARAM, LPARAM, LRESULT*) {
    return Record('a', number, message);
}

// Answers WM_USER with its number when wParam asks it to.
bool WatchB(HWND, Number number, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    Record('b', number, message);
    if (message != WM_USER || !wParam) return false;
    *result = number;
    return true;
}

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) seen += "w";
    return message == WM_USER ? -1 : DefWindowProcW(window, message, wParam, lParam);
}

HWND PlainWindow() {
    static const ATOM kind = [] {
        WNDCLASSW plain{};
        plain.lpfnWndProc = Plain;
        plain.hInstance = GetModuleHandleW(nullptr);
        plain.lpszClassName = L"OwnerSubclassTest";
        return RegisterClassW(&plain);
    }();
    return kind ? CreateWindowExW(0, L"OwnerSubclassTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr)
                : nullptr;
}

// One subclass serves every watcher of a window: newest first, an answer ends the message there,
// a second watch of the same kind renews its number, and everything ends with the window.
TEST(OwnerSubclass, WatchersShareTheWindowAndEndWithIt) {
    HWND window = PlainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(WatchOwner(nullptr, WatchA, 1));
    ASSERT_TRUE(WatchOwner(window, WatchA, 1));
    ASSERT_TRUE(WatchOwner(window, WatchB, 2));
    ASSERT_TRUE(WatchOwner(window, WatchA, 3));

    Number number = 0;
    ASSERT_TRUE(WatchedNumber(window, WatchA, &number));
    EXPECT_EQ(number, 3);

    struct Case {
        WPARAM answer;
        LRESULT result;
        const char* seen;
    };
    for (const Case& c : {Case{0, -1, "b2a3w"}, Case{1, 2, "b2"}}) {
        seen.clear();
        EXPECT_EQ(SendMessageW(window, WM_USER, c.answer, 0), c.result) << c.answer;
        EXPECT_EQ(seen, c.seen) << c.answer;
    }

    seen.clear();
    DestroyWindow(window);
    EXPECT_EQ(seen, "b2a3");
    EXPECT_FALSE(WatchedNumber(window, WatchA, &number));
}

template <int Kind> bool CountingWatch(HWND, Number, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_USER) seen += static_cast<char>('0' + Kind);
    return false;
}

// A window has room for a fixed number of kinds of watch: one more is refused, and those already
// there still see every message and can still renew their numbers.
TEST(OwnerSubclass, AFullWindowRefusesAnotherKindAndKeepsTheOthers) {
    HWND window = PlainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(WatchOwner(window, nullptr, 1));
    OwnerWatcher kinds[] = {CountingWatch<1>, CountingWatch<2>, CountingWatch<3>,
                            CountingWatch<4>, CountingWatch<5>, CountingWatch<6>,
                            CountingWatch<7>, CountingWatch<8>, CountingWatch<9>};
    int accepted = 0;
    for (OwnerWatcher kind : kinds)
        if (WatchOwner(window, kind, 1)) ++accepted;
    ASSERT_GE(accepted, 5); // the toolbar, status bar, two menu watches and the gadget list
    ASSERT_LT(accepted, 9);
    Number number = 0;
    EXPECT_FALSE(WatchedNumber(window, kinds[accepted], &number));
    // Renewing one that is there still works when the window is full.
    EXPECT_TRUE(WatchOwner(window, kinds[0], 7));
    ASSERT_TRUE(WatchedNumber(window, kinds[0], &number));
    EXPECT_EQ(number, 7);

    seen.clear();
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), -1);
    std::string expected;
    for (int i = accepted; i >= 1; --i)
        expected += static_cast<char>('0' + i);
    EXPECT_EQ(seen, expected + "w");
    DestroyWindow(window);
}

} // namespace
