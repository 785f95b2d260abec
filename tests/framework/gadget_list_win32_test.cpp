// Gadget lists: which window new controls go into, and Tab among the active window's controls.
#include "framework/gadget_list.h"

#include "framework/window.h"
#include "tests/framework/framework_test_support.h"

#include <gtest/gtest.h>

using namespace framework_test;

namespace {

class GadgetListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        InitGadgetLists();
    }
    void TearDown() override { CloseWindows({0, 1, 2, 3}); }
};

TEST_F(GadgetListTest, TheNewestWindowIsCurrentUntilSwitchedOrClosed) {
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
    HWND again = WindowHandle(1);
    EXPECT_EQ(SwitchGadgetList(main), again);
    EXPECT_EQ(SwitchGadgetList(main), main);
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

class TabTest : public GadgetListTest {
  protected:
    void SetUp() override {
        GadgetListTest::SetUp();
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
    // Tab by the keyboard through the event loop: no event, the focus moves. An editor reports
    // its own changes and focus changes, which are gadget events of their own.
    HWND Tab(bool shift, bool editorMayChange = false) {
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
            EXPECT_TRUE(code != MenuEvent && (editorMayChange || code != GadgetEvent)) << code;
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
    // Called directly, as the window procedure does for the two commands.
    SetFocus(window);
    MoveFocus(1);
    EXPECT_EQ(GetFocus(), c);
    MoveFocus(0);
    EXPECT_EQ(GetFocus(), a);
}

TEST_F(TabTest, TabReachesAnEditableRichEditAsAKey) {
    ASSERT_NE(LoadLibraryA("riched20.dll"), nullptr);
    HWND editor = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE,
                                  100, 10, 150, 60, window, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(editor, nullptr);
    SetFocus(editor);
    EXPECT_EQ(Tab(false, true), editor);
    // Shift+Tab still moves on, and so does Tab once the editor is read-only.
    EXPECT_EQ(Tab(true, true), c);
    SendMessageA(editor, EM_SETREADONLY, TRUE, 0);
    SetFocus(editor);
    EXPECT_EQ(Tab(false, true), a);
    DestroyWindow(editor);
}

} // namespace
