// Framework windows: where they open and how large, what the event loop makes of what the
// system sends them, which window new controls go into, and Tab among the active window's controls.
#include "framework/window.h"

#include "framework/gadget_list.h"
#include "tests/framework/framework_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace framework_test;

namespace {

constexpr unsigned MainFlags = 0xCD0001;
constexpr unsigned SizeableFlags = MainFlags | WS_MINIMIZEBOX;
using Codes = std::vector<int>;

// The window events the loop returned, without moves, which the system adds to state changes.
Codes WithoutMoves(Codes events) {
    events.erase(std::remove(events.begin(), events.end(), MoveWindowEvent), events.end());
    return events;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        InitGadgetLists();
        Pump(30);
    }
    void TearDown() override { CloseWindows({0, 1, 2, 3, 5}); }
    HWND Open(Number number, unsigned flags = SizeableFlags, int width = 400, int height = 220,
              HWND parent = nullptr, int x = 0, int y = 0, const char* title = "Test") {
        Number result = OpenTopWindow(number, x, y, width, height, title, flags, parent);
        HWND window = WindowHandle(number);
        EXPECT_EQ(result, reinterpret_cast<Number>(window));
        Pump(100);
        return window;
    }
};

TEST_F(WindowTest, MainWindowHasTheInnerSizeAskedForCentredAndItsTitleInAnyScript) {
    HWND window = Open(0, MainFlags, 400, 220, nullptr, 0, 0, "Отчёт łódź 日本");
    RECT client{}, outer = Rect(window);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(WindowInnerHeight(0), 220);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON)),
              LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
    // The system's own frame reads the title as its W form.
    wchar_t title[64] = {};
    SendMessageW(window, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(title));
    EXPECT_STREQ(title, L"Отчёт łódź 日本");

    // A menu bar counts in the inner height and in the limits.
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 4, "Programm");
    SetMenu(window, menu);
    Pump(50);
    GetClientRect(window, &client);
    EXPECT_EQ(WindowInnerHeight(0), client.bottom + GetSystemMetrics(SM_CYMENU));
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), TRUE, GetWindowLongA(window, GWL_EXSTYLE));
    // KeepCurrent leaves a stored limit alone.
    SetWindowSizeLimits(0, 400, 200, KeepCurrent, KeepCurrent);
    SetWindowSizeLimits(0, KeepCurrent, KeepCurrent, 600, KeepCurrent);
    MINMAXINFO info{};
    info.ptMaxTrackSize = {5000, 5000};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 400 + frame.right - frame.left);
    EXPECT_EQ(info.ptMinTrackSize.y, 200 + frame.bottom - frame.top);
    EXPECT_EQ(info.ptMaxTrackSize.x, 600 + frame.right - frame.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, 5000);
    DestroyMenu(menu);
}

TEST_F(WindowTest, WindowsOpenWhereTheirFlagsAndOwnerSay) {
    ASSERT_EQ(GetActiveWindow(), nullptr);
    // Without a reference the place given; flags 2 alone still give a title bar.
    HWND alone = Open(5, 2, 200, 100, nullptr, 30, 40);
    EXPECT_EQ(Rect(alone).left, 30);
    EXPECT_EQ(Rect(alone).top, 40);
    EXPECT_EQ(GetWindowLongA(alone, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
    // Larger than the screen: shrunk to it, at the origin.
    HWND large = Open(5, MainFlags, 3000, 2000);
    EXPECT_FALSE(IsWindow(alone)); // the number's old window closed
    RECT r = Rect(large);
    EXPECT_TRUE(r.left == 0 && r.top == 0 && r.right == GetSystemMetrics(SM_CXSCREEN) &&
                r.bottom == GetSystemMetrics(SM_CYSCREEN));
    CloseTopWindow(5);

    HWND parent = Open(0, MainFlags);
    SetWindowSizeLimits(0, 600, 300, KeepCurrent, KeepCurrent);
    HWND dialog = Open(1, 2, 400, 40, parent);
    RECT p = Rect(parent), d = Rect(dialog);
    EXPECT_EQ(d.left, p.left + ((p.right - p.left) - (d.right - d.left)) / 2);
    EXPECT_EQ(d.top, p.top + ((p.bottom - p.top) - (d.bottom - d.top)) / 2);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), parent);
    // An owned window is not bound by its owner's limits, nor does it take its number.
    EXPECT_EQ(WindowInnerWidth(1) + WindowInnerHeight(1), 400 + 40);
    Open(2, WS_POPUP | WS_CAPTION | WS_THICKFRAME | 2, 250, 40, parent);
    EXPECT_EQ(WindowInnerWidth(2), 250);
    EXPECT_EQ(WindowHandle(0), parent);

    // Closing the owned window gives the activation back to its owner.
    SetActiveWindow(dialog);
    EXPECT_EQ(CloseTopWindow(1), 1);
    EXPECT_EQ(GetActiveWindow(), parent);

    Number any =
        OpenTopWindow(AnyNumber, 10, 10, 300, 50, nullptr, WindowInvisible | WindowToolWindow, nullptr);
    EXPECT_FALSE(IsWindowVisible(WindowHandle(any)));
    EXPECT_EQ(WindowInnerWidth(any), 300);
    EXPECT_EQ(CloseTopWindow(any), 1);
    EXPECT_EQ(WindowHandle(any), nullptr);
}

TEST_F(WindowTest, StateChangesAreEventsAndHiddenOrDisabledWindowsComeBackAsTheyWere) {
    HWND window = Open(0);
    struct Case {
        int show;
        Codes events;
    } cases[] = {{SW_MINIMIZE, {MinimizeWindowEvent}},
                 {SW_RESTORE, {RestoreWindowEvent, SizeWindowEvent}},
                 {SW_MAXIMIZE, {MaximizeWindowEvent, SizeWindowEvent}}};
    for (const Case& c : cases) {
        ShowWindow(window, c.show);
        EXPECT_EQ(WithoutMoves(WindowEvents(Pump())), c.events) << c.show;
        EXPECT_EQ(EventWindow(), 0);
    }
    SetWindowPos(window, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(WindowEvents(Pump()), Codes{MoveWindowEvent});

    ShowWindow(window, SW_MAXIMIZE);
    SetWindowHidden(0, 1);
    EXPECT_FALSE(IsWindowVisible(window));
    SetWindowHidden(0, 0);
    EXPECT_TRUE(IsZoomed(window) && IsWindowVisible(window));
    // Numbers without a window do nothing.
    SetWindowHidden(9, 1);
    SetWindowDisabled(9, 1);
    EXPECT_EQ(WindowInnerWidth(9) + WindowInnerHeight(9), 0);
}

TEST_F(WindowTest, IdenticalEventsInARowComeOnceAndCloseRequestsLeaveTheWindowOpen) {
    HWND window = Open(0);
    HWND other = Open(1);
    Pump();
    // Sent straight to the window: a real resize also erases the background in between.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(510, 310));
    SendMessageA(window, WM_MOVE, 0, MAKELPARAM(15, 25));
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(530, 330));
    EXPECT_EQ(Pump(), (Codes{SizeWindowEvent, MoveWindowEvent, SizeWindowEvent}));
    // The same code for another window is another event.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    SendMessageA(other, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    EXPECT_EQ(WaitEventTimeout(0), SizeWindowEvent);
    EXPECT_EQ(EventWindow(), 0);
    EXPECT_EQ(WaitEventTimeout(0), SizeWindowEvent);
    EXPECT_EQ(EventWindow(), 1);

    // Posted (as other programs do) or through the system menu, a close request comes once.
    for (WPARAM command : {WPARAM(0), WPARAM(SC_CLOSE)}) {
        PostMessageA(window, command ? WM_SYSCOMMAND : WM_CLOSE, command, 0);
        EXPECT_EQ(WindowEvents(Pump()), Codes{CloseWindowEvent});
        EXPECT_EQ(EventWindow(), 0);
    }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowTest, AcceleratorsControlsAndRawMessagesBecomeTheirEvents) {
    HWND window = Open(0);
    // An accelerator other than the two Tab commands is a menu event.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(9, 1), 0);
    EXPECT_EQ(WaitEventTimeout(1000), MenuEvent);
    EXPECT_EQ(EventMenuNumber(), 9);
    HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, window, reinterpret_cast<HMENU>(7),
                                  nullptr, nullptr);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, BN_DOUBLECLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventGadgetNumber(), 7);
    EXPECT_EQ(EventType(), BN_DOUBLECLICKED);
    PostMessageA(window, GadgetEventMessage, 42, GadgetEventChange);
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventType(), GadgetEventChange);

    // Waiting without time leaves the published event alone; a raw message comes as itself.
    Pump(100);
    EXPECT_EQ(WaitEventTimeout(0), 0);
    EXPECT_EQ(EventGadgetNumber(), 42);
    PostMessageA(window, WM_USER + 5, 11, 22);
    EXPECT_EQ(WaitEventTimeout(1000), WM_USER + 5);
    EXPECT_EQ(EventWParam() + EventLParam(), 33u);
    EXPECT_EQ(EventType(), -1);
}

TEST_F(WindowTest, TheNewestWindowIsCurrentUntilSwitchedOrClosed) {
    OpenTopWindow(0, 0, 0, 300, 200, "A", 0xCD0001, nullptr);
    HWND main = WindowHandle(0);
    EXPECT_EQ(CurrentGadgetList(), main);
    OpenTopWindow(1, 0, 0, 300, 40, "B", 2, main);
    HWND dialog = WindowHandle(1);
    EXPECT_EQ(CurrentGadgetList(), dialog);
    EXPECT_EQ(SwitchGadgetList(nullptr), dialog); // asking changes nothing
    CloseTopWindow(1);
    EXPECT_EQ(CurrentGadgetList(), nullptr);

    OpenTopWindow(1, 0, 0, 300, 40, "B", 2, main);
    EXPECT_EQ(SwitchGadgetList(main), WindowHandle(1));
    // Closing a window that is not current keeps the current list.
    CloseTopWindow(1);
    EXPECT_EQ(CurrentGadgetList(), main);

    // Flag 8 leaves the current list alone, and the window still runs the framework's procedure.
    OpenTopWindow(2, 0, 0, 300, 200, "C", 0xCD0001 | 0x8, nullptr);
    EXPECT_EQ(CurrentGadgetList(), main);
    Pump();
    PostMessageA(WindowHandle(2), WM_CLOSE, 0, 0);
    EXPECT_EQ(WindowEvents(Pump()), std::vector<int>{CloseWindowEvent});
    EXPECT_EQ(EventWindow(), 2);
}

// A window may start maximised or minimised (the user's last state); hiding it keeps that state,
// and the way back to normal is a restore event like any other.
TEST_F(WindowTest, WindowsStartedMaximizedOrMinimizedKeepThatStateAndReportTheWayBack) {
    HWND large = Open(1, SizeableFlags | WS_MAXIMIZE);
    HWND small = Open(2, SizeableFlags | WS_MINIMIZE);
    ASSERT_TRUE(IsZoomed(large));
    ASSERT_TRUE(IsIconic(small));
    SetWindowHidden(2, 1);
    EXPECT_FALSE(IsWindowVisible(small));
    SetWindowHidden(2, 0);
    EXPECT_TRUE(IsIconic(small) && IsWindowVisible(small));
    Pump();
    for (Number number : {1, 2}) {
        ShowWindow(WindowHandle(number), SW_RESTORE);
        Codes events = WithoutMoves(WindowEvents(Pump()));
        EXPECT_NE(std::find(events.begin(), events.end(), RestoreWindowEvent), events.end()) << number;
        EXPECT_EQ(EventWindow(), number);
    }
    // A window given no place and not centred opens where the system puts new windows, on
    // screen.
    HWND placed = Open(3, SizeableFlags & ~WindowCentreOnScreen, 200, 100, nullptr, KeepCurrent, KeepCurrent);
    RECT r = Rect(placed);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LT(r.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LT(r.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(WindowInnerWidth(3), 200);
}

int colourChanges = 0;

LRESULT CALLBACK CountColourChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR) {
    if (message == WM_SYSCOLORCHANGE) ++colourChanges;
    return DefSubclassProc(window, message, wParam, lParam);
}

// Controls hear of a new colour scheme only through their window: every one of them must.
TEST_F(WindowTest, ANewColourSchemeReachesEveryControlOfTheWindow) {
    HWND window = Open(0);
    HWND panel = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, window, nullptr,
                                 nullptr, nullptr);
    HWND inner = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, panel, nullptr,
                                 nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 100, 100, 20, window, nullptr,
                                nullptr, nullptr);
    for (HWND control : {panel, inner, edit})
        ASSERT_TRUE(SetWindowSubclass(control, CountColourChanges, 1, 0));
    colourChanges = 0;
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(colourChanges, 3);
    for (HWND control : {panel, inner, edit})
        RemoveWindowSubclass(control, CountColourChanges, 1);
}

class TabTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        OpenTopWindow(0, 0, 0, 300, 200, "Tab", 0xCD0001, nullptr);
        window = WindowHandle(0);
        SetForegroundWindow(window);
        a = Button(WS_TABSTOP);
        Button(WS_TABSTOP | WS_DISABLED);
        b = Button(WS_TABSTOP);
        Button(WS_TABSTOP, false);
        Button(0);
        c = Button(WS_TABSTOP);
        Pump(100);
        ASSERT_TRUE(WaitFor([&] { return GetActiveWindow() == window; }));
    }
    HWND Button(DWORD style, bool visible = true) {
        int index = buttons++;
        return CreateWindowExA(0, "BUTTON", "", WS_CHILD | style | (visible ? WS_VISIBLE : 0), 10,
                               10 + 25 * index, 80, 22, window,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(100 + index)),
                               GetModuleHandleA(nullptr), nullptr);
    }
    // Tab by the keyboard through the event loop: no event, the focus moves.
    HWND Tab(bool shift) {
        INPUT keys[4] = {};
        int count = 0;
        auto key = [&](WORD code, DWORD flags) {
            keys[count].type = INPUT_KEYBOARD;
            keys[count].ki.wVk = code;
            keys[count++].ki.dwFlags = flags;
        };
        if (shift) key(VK_LSHIFT, 0);
        key(VK_TAB, 0);
        key(VK_TAB, KEYEVENTF_KEYUP);
        if (shift) key(VK_LSHIFT, KEYEVENTF_KEYUP);
        SendInput(count, keys, sizeof(INPUT));
        for (int code : Pump(150))
            EXPECT_TRUE(code != MenuEvent && code != GadgetEvent) << code;
        return GetFocus();
    }
    HWND window = nullptr;
    HWND a = nullptr, b = nullptr, c = nullptr;
    int buttons = 0;
};

TEST_F(TabTest, TabAndShiftTabWrapAroundAndSkipIneligibleControls) {
    SetFocus(c);
    for (HWND next : {a, b, c})
        EXPECT_EQ(Tab(false), next);
    for (HWND previous : {b, a, c})
        EXPECT_EQ(Tab(true), previous);
    // Without the focus inside, Tab takes the first and Shift+Tab the last.
    SetFocus(window);
    EXPECT_EQ(Tab(false), a);
    SetFocus(window);
    EXPECT_EQ(Tab(true), c);
}

} // namespace
