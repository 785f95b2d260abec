// Framework windows: where they open and how large, what the event loop makes of what the
// system sends them, and the hook that lets controls take their own messages.
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
        Pump(30);
    }
    void TearDown() override { CloseWindows({0, 1, 2, 5}); }
    HWND Open(Number number, unsigned flags = SizeableFlags, int width = 400, int height = 220,
              HWND parent = nullptr, int x = 0, int y = 0, const char* title = "Test") {
        Number result = OpenTopWindow(number, x, y, width, height, title, flags, parent);
        HWND window = WindowHandle(number);
        EXPECT_EQ(result, reinterpret_cast<Number>(window));
        Pump(100);
        return window;
    }
    HWND Child(HWND parent, const char* kind, int identifier, DWORD style = WS_CHILD) {
        return CreateWindowExA(0, kind, "", style, 0, 0, 10, 10, parent,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(identifier)), nullptr,
                               nullptr);
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
    EXPECT_TRUE(IsWindowUnicode(window));
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
    EXPECT_EQ(WindowInnerWidth(1), 400);
    EXPECT_EQ(WindowInnerHeight(1), 40);
    HWND popup = Open(2, WS_POPUP | WS_CAPTION | WS_THICKFRAME | 2, 250, 40, parent);
    EXPECT_EQ(WindowInnerWidth(2), 250);
    EXPECT_EQ(WindowHandle(2), popup);
    EXPECT_EQ(WindowHandle(0), parent);

    // Closing the owned window gives the activation back to its owner.
    SetActiveWindow(dialog);
    EXPECT_EQ(CloseTopWindow(1), 1);
    EXPECT_EQ(GetActiveWindow(), parent);
    EXPECT_EQ(CloseTopWindow(1), 0);

    Number any = OpenTopWindow(AnyNumber, 10, 10, 300, 50, nullptr,
                               WindowInvisible | WindowToolWindow, nullptr);
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
                 {SW_MAXIMIZE, {MaximizeWindowEvent, SizeWindowEvent}},
                 {SW_RESTORE, {RestoreWindowEvent, SizeWindowEvent}}};
    for (const Case& c : cases) {
        ShowWindow(window, c.show);
        EXPECT_EQ(WithoutMoves(WindowEvents(Pump())), c.events) << c.show;
        EXPECT_EQ(EventWindow(), 0);
    }
    SetWindowPos(window, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(WindowEvents(Pump()), Codes{MoveWindowEvent});

    SetWindowDisabled(0, 1);
    EXPECT_FALSE(IsWindowEnabled(window));
    SetWindowDisabled(0, 0);
    EXPECT_TRUE(IsWindowEnabled(window));
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

TEST_F(WindowTest, MenusToolbarsAndControlsCommandsBecomeTheirEvents) {
    HWND window = Open(0);
    HWND toolbar = Child(window, "BUTTON", ToolbarControlId);
    HWND button = Child(window, "BUTTON", 7);
    struct Case {
        WPARAM command;
        HWND from;
        int event, number;
    } cases[] = {
        {MAKEWPARAM(4, 0), nullptr, MenuEvent, 4},
        {MAKEWPARAM(9, 1), nullptr, MenuEvent, 9}, // an accelerator other than the two Tab commands
        {MAKEWPARAM(2, BN_CLICKED), toolbar, MenuEvent, 2},
        {MAKEWPARAM(7, BN_DOUBLECLICKED), button, GadgetEvent, 7},
    };
    for (const Case& c : cases) {
        PostMessageA(window, WM_COMMAND, c.command, reinterpret_cast<LPARAM>(c.from));
        EXPECT_EQ(WaitEventTimeout(1000), c.event);
        EXPECT_EQ(c.event == MenuEvent ? EventMenuNumber() : EventGadgetNumber(), c.number);
    }
    EXPECT_EQ(EventType(), BN_DOUBLECLICKED);
    PostMessageA(window, GadgetEventMessage, 42, GadgetEventChange);
    EXPECT_EQ(WaitEventTimeout(1000), GadgetEvent);
    EXPECT_EQ(EventGadgetNumber(), 42);
    EXPECT_EQ(EventType(), GadgetEventChange);

    // Waiting without time leaves the published event alone; a raw message comes as itself.
    Pump(100);
    EXPECT_EQ(WaitEventTimeout(0), 0);
    EXPECT_EQ(EventGadgetNumber(), 42);
    PostMessageA(window, WM_USER + 5, 11, 22);
    EXPECT_EQ(WaitEventTimeout(1000), WM_USER + 5);
    EXPECT_EQ(EventWParam(), 11u);
    EXPECT_EQ(EventLParam(), 22);
    EXPECT_EQ(EventType(), -1);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitEventTimeout(200), 0);
    EXPECT_GE(GetTickCount() - start, 150u);
}

} // namespace
