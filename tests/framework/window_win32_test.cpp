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
// The main window's flags with a minimise box, so minimising is allowed.
constexpr unsigned SizeableFlags = MainFlags | WS_MINIMIZEBOX;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        Pump(30);
    }
    void TearDown() override {
        SetControlMessageHook(nullptr);
        CloseWindows({0, 1, 2, 5});
    }

    HWND Open(Number number, unsigned flags = SizeableFlags, int width = 400, int height = 220,
              HWND parent = nullptr, int x = 0, int y = 0) {
        Number result = OpenTopWindow(number, x, y, width, height, "Test", flags, parent);
        HWND window = WindowHandle(number);
        EXPECT_NE(window, nullptr);
        EXPECT_EQ(result, reinterpret_cast<Number>(window));
        Pump(100);
        return window;
    }
};

std::vector<int> WithoutMoves(std::vector<int> events) {
    events.erase(std::remove(events.begin(), events.end(), MoveWindowEvent), events.end());
    return events;
}

RECT Rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST_F(WindowTest, MainWindowHasTheInnerSizeAskedForCentredOnTheScreen) {
    HWND window = Open(0, MainFlags);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 220);
    EXPECT_EQ(WindowInnerWidth(0), 400);
    EXPECT_EQ(WindowInnerHeight(0), 220);

    RECT outer = Rect(window);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(outer.left, (screenWidth - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2);

    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(IsWindowVisible(window));

    // The window knows its number, and its class is its own.
    EXPECT_EQ(GetPropA(window, "OZ_WindowID"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 1);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(className, "WindowClass_0");
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON)),
              LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
}

TEST_F(WindowTest, MenuBarCountsInTheInnerHeightAndTheLimits) {
    HWND window = Open(0, MainFlags);
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 4, "Programm");
    SetMenu(window, menu);
    Pump(50);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(WindowInnerWidth(0), client.right);
    EXPECT_EQ(WindowInnerHeight(0), client.bottom + GetSystemMetrics(SM_CYMENU));

    SetWindowSizeLimits(0, 400, 200, KeepCurrent, KeepCurrent);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), TRUE, GetWindowLongA(window, GWL_EXSTYLE));
    MINMAXINFO info{};
    info.ptMaxTrackSize = {5000, 5000};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 400 + frame.right - frame.left);
    EXPECT_EQ(info.ptMinTrackSize.y, 200 + frame.bottom - frame.top);
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000);

    // KeepCurrent leaves a stored limit alone.
    SetWindowSizeLimits(0, KeepCurrent, KeepCurrent, 600, KeepCurrent);
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 400 + frame.right - frame.left);
    EXPECT_EQ(info.ptMaxTrackSize.x, 600 + frame.right - frame.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, 5000);
    DestroyMenu(menu);
}

TEST_F(WindowTest, WindowLargerThanTheScreenIsShrunkAndPlacedAtTheOrigin) {
    HWND window = Open(0, MainFlags, 3000, 2000);
    RECT outer = Rect(window);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right - outer.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(outer.bottom - outer.top, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(WindowTest, CentreOnParentAndWithoutReferenceUseThePlaceGiven) {
    ASSERT_EQ(GetActiveWindow(), nullptr);
    HWND alone = Open(5, 2, 200, 100, nullptr, 30, 40);
    RECT r = Rect(alone);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    // Flags 2 alone still give a title bar.
    EXPECT_EQ(GetWindowLongA(alone, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
    CloseTopWindow(5);

    HWND parent = Open(0, MainFlags);
    HWND dialog = Open(1, 2, 400, 40, parent);
    RECT p = Rect(parent);
    RECT d = Rect(dialog);
    EXPECT_EQ(d.left, p.left + ((p.right - p.left) - (d.right - d.left)) / 2);
    EXPECT_EQ(d.top, p.top + ((p.bottom - p.top) - (d.bottom - d.top)) / 2);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), parent);
    EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU);

    // Closing the owned window gives the activation back to its owner.
    SetActiveWindow(dialog);
    EXPECT_EQ(CloseTopWindow(1), 1);
    EXPECT_EQ(GetActiveWindow(), parent);
    EXPECT_EQ(WindowHandle(1), nullptr);
    EXPECT_EQ(CloseTopWindow(1), 0);
}

TEST_F(WindowTest, AnOwnedWindowIsNotBoundByItsOwnersLimits) {
    HWND owner = Open(0, MainFlags);
    SetWindowSizeLimits(0, 600, 300, KeepCurrent, KeepCurrent);
    // A pop-up's GetParent is its owner; the walk up to the numbered window stops at the top.
    Open(1, WS_POPUP | WS_CAPTION | WS_THICKFRAME | 2, 250, 40, owner);
    EXPECT_EQ(WindowInnerWidth(1), 250);
    EXPECT_EQ(WindowInnerHeight(1), 40);
}

TEST_F(WindowTest, InvisibleToolWindowAndAnyNumber) {
    Number handle = OpenTopWindow(AnyNumber, 10, 10, 300, 50, nullptr,
                                  WindowInvisible | WindowToolWindow | WS_CAPTION | WS_MINIMIZEBOX, nullptr);
    ASSERT_NE(handle, 0);
    HWND window = WindowHandle(handle);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(reinterpret_cast<HWND>(handle), window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ(WindowInnerWidth(handle), 300);
    EXPECT_EQ(CloseTopWindow(handle), 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WindowHandle(handle), nullptr);
}

TEST_F(WindowTest, ReusingANumberClosesTheOldWindow) {
    HWND first = Open(2);
    HWND second = Open(2);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(WindowHandle(2), second);
}

TEST_F(WindowTest, HiddenAndDisabled) {
    HWND window = Open(0);
    SetWindowHidden(0, 1);
    EXPECT_FALSE(IsWindowVisible(window));
    SetWindowHidden(0, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    SetWindowDisabled(0, 1);
    EXPECT_FALSE(IsWindowEnabled(window));
    SetWindowDisabled(0, 0);
    EXPECT_TRUE(IsWindowEnabled(window));

    // A window hidden while maximised comes back maximised.
    ShowWindow(window, SW_MAXIMIZE);
    SetWindowHidden(0, 1);
    SetWindowHidden(0, 0);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_TRUE(IsWindowVisible(window));

    // Numbers without a window do nothing.
    SetWindowHidden(9, 1);
    SetWindowDisabled(9, 1);
    EXPECT_EQ(WindowInnerWidth(9), 0);
    EXPECT_EQ(WindowInnerHeight(9), 0);
}

TEST_F(WindowTest, MinimiseMaximiseRestoreAndMove) {
    HWND window = Open(0);
    // The system moves a window when its state changes, so move events come along (on Windows
    // too, to -32000 when minimised); the size events are what this is about.
    ShowWindow(window, SW_MINIMIZE);
    std::vector<int> events = WithoutMoves(WindowEvents(Pump()));
    EXPECT_EQ(events, std::vector<int>{MinimizeWindowEvent});
    EXPECT_EQ(EventWindow(), 0);

    ShowWindow(window, SW_RESTORE);
    events = WithoutMoves(WindowEvents(Pump()));
    EXPECT_EQ(events, (std::vector<int>{RestoreWindowEvent, SizeWindowEvent}));

    ShowWindow(window, SW_MAXIMIZE);
    events = WithoutMoves(WindowEvents(Pump()));
    EXPECT_EQ(events, (std::vector<int>{MaximizeWindowEvent, SizeWindowEvent}));

    ShowWindow(window, SW_RESTORE);
    events = WithoutMoves(WindowEvents(Pump()));
    EXPECT_EQ(events, (std::vector<int>{RestoreWindowEvent, SizeWindowEvent}));

    SetWindowPos(window, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    events = WindowEvents(Pump());
    EXPECT_EQ(events, std::vector<int>{MoveWindowEvent});
    EXPECT_EQ(EventWindow(), 0);
}

TEST_F(WindowTest, IdenticalEventsInARowComeOnce) {
    HWND window = Open(0);
    // Sent straight to the window: a real resize also erases the background in between.
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(510, 310));
    EXPECT_EQ(Pump(), std::vector<int>{SizeWindowEvent});

    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(520, 320));
    SendMessageA(window, WM_MOVE, 0, MAKELPARAM(15, 25));
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(530, 330));
    EXPECT_EQ(Pump(), (std::vector<int>{SizeWindowEvent, MoveWindowEvent, SizeWindowEvent}));

    // The same code for another window is another event.
    HWND other = Open(1);
    Pump();
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    SendMessageA(other, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 300));
    EXPECT_EQ(WaitEventTimeout(0), SizeWindowEvent);
    EXPECT_EQ(EventWindow(), 0);
    EXPECT_EQ(WaitEventTimeout(0), SizeWindowEvent);
    EXPECT_EQ(EventWindow(), 1);
}

TEST_F(WindowTest, CloseRequestLeavesTheWindowOpen) {
    HWND window = Open(0);
    // Posted (as other programs do) it still comes once, not once raw and once as the event.
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WindowEvents(Pump()), std::vector<int>{CloseWindowEvent});
    EXPECT_EQ(EventWindow(), 0);
    // The system's own way, through the system menu.
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WindowEvents(Pump()), std::vector<int>{CloseWindowEvent});
    EXPECT_EQ(EventWindow(), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowTest, MenuToolbarAndControlCommands) {
    HWND window = Open(0);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(4, 0), 0);
    EXPECT_EQ(WaitEventTimeout(1000), MenuEvent);
    EXPECT_EQ(EventMenuNumber(), 4);

    // An accelerator other than the two Tab commands is a menu event too.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(9, 1), 0);
    EXPECT_EQ(WaitEventTimeout(1000), MenuEvent);
    EXPECT_EQ(EventMenuNumber(), 9);

    HWND toolbar = CreateWindowExA(0, "BUTTON", "t", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window,
                                   reinterpret_cast<HMENU>(static_cast<std::intptr_t>(ToolbarControlId)),
                                   GetModuleHandleA(nullptr), nullptr);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
    EXPECT_EQ(WaitEventTimeout(1000), MenuEvent);
    EXPECT_EQ(EventMenuNumber(), 2);

    HWND button = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 20, 0, 10, 10, window,
                                  reinterpret_cast<HMENU>(7), GetModuleHandleA(nullptr), nullptr);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, BN_DOUBLECLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventGadgetNumber(), 7);
    EXPECT_EQ(EventType(), BN_DOUBLECLICKED);
    EXPECT_EQ(EventWindow(), 0);

    PostMessageA(window, GadgetEventMessage, 42, GadgetEventChange);
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventGadgetNumber(), 42);
    EXPECT_EQ(EventType(), GadgetEventChange);
}

HWND hookedControl = nullptr;
std::vector<UINT> hookedMessages;

LRESULT TestHook(HWND control, HWND receiver, UINT message, WPARAM, LPARAM) {
    if (control != hookedControl) return NotHandled;
    hookedMessages.push_back(message);
    return message == WM_NOTIFY ? 1234 : 0;
}

TEST_F(WindowTest, ControlHookTakesMessagesAboutItsControls) {
    HWND window = Open(0);
    HWND mine = CreateWindowExA(0, "BUTTON", "m", WS_CHILD, 0, 0, 10, 10, window, reinterpret_cast<HMENU>(3),
                                GetModuleHandleA(nullptr), nullptr);
    HWND other = CreateWindowExA(0, "BUTTON", "o", WS_CHILD, 0, 0, 10, 10, window, reinterpret_cast<HMENU>(8),
                                 GetModuleHandleA(nullptr), nullptr);
    hookedControl = mine;
    hookedMessages.clear();
    SetControlMessageHook(TestHook);

    NMHDR header{mine, 3, NM_CLICK};
    EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&header)), 1234);
    NMHDR otherHeader{other, 8, NM_CLICK};
    EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&otherHeader)), 0);

    // A command the hook took makes no event.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(mine));
    EXPECT_EQ(WaitEventTimeout(1000), WM_COMMAND);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(8, BN_CLICKED), reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventGadgetNumber(), 8);

    SendMessageA(window, WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(mine));
    SendMessageA(window, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(mine));
    EXPECT_EQ(hookedMessages, (std::vector<UINT>{WM_NOTIFY, WM_COMMAND, WM_CTLCOLORBTN, WM_HSCROLL}));
}

TEST_F(WindowTest, WaitWithoutTimeLeavesThePublishedEventAlone) {
    HWND window = Open(0);
    PostMessageA(window, GadgetEventMessage, 77, GadgetEventLeftClick);
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    Pump(100);
    EXPECT_EQ(WaitEventTimeout(0), 0);
    EXPECT_EQ(EventGadgetNumber(), 77);
    // A raw message comes back as itself, with its parameters.
    PostMessageA(window, WM_USER + 5, 11, 22);
    EXPECT_EQ(WaitEventTimeout(1000), WM_USER + 5);
    EXPECT_EQ(EventWParam(), 11u);
    EXPECT_EQ(EventLParam(), 22);
    EXPECT_EQ(EventType(), -1);
    EXPECT_EQ(EventGadgetNumber(), 77);
}

TEST_F(WindowTest, WaitTimesOut) {
    Open(0);
    Pump(100);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitEventTimeout(200), 0);
    EXPECT_GE(GetTickCount() - start, 150u);
}

} // namespace
