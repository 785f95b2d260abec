#include "framework/gadget_list.h"

#include "framework/window.h"
#include "tests/framework/framework_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

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

TEST_F(GadgetListTest, OpeningMakesTheWindowCurrentAndClosingLeavesNone) {
    OpenTopWindow(0, 0, 0, 300, 200, "A", 0xCD0001, nullptr);
    HWND main = WindowHandle(0);
    EXPECT_EQ(CurrentGadgetList(), main);

    OpenTopWindow(1, 0, 0, 300, 40, "B", 2, main);
    HWND dialog = WindowHandle(1);
    EXPECT_EQ(CurrentGadgetList(), dialog);
    // Asking changes nothing.
    EXPECT_EQ(SwitchGadgetList(nullptr), dialog);
    EXPECT_EQ(CurrentGadgetList(), dialog);

    CloseTopWindow(1);
    EXPECT_EQ(CurrentGadgetList(), nullptr);

    OpenTopWindow(1, 0, 0, 300, 40, "B", 2, main);
    HWND again = WindowHandle(1);
    EXPECT_EQ(CurrentGadgetList(), again);

    // Back to the main window: its record is found again, and the previous list is answered.
    EXPECT_EQ(SwitchGadgetList(main), again);
    EXPECT_EQ(CurrentGadgetList(), main);
    // Selecting the current list again is harmless.
    EXPECT_EQ(SwitchGadgetList(main), main);
    EXPECT_EQ(CurrentGadgetList(), main);

    // Closing a window that is not current keeps the current list.
    CloseTopWindow(1);
    EXPECT_EQ(CurrentGadgetList(), main);
}

TEST_F(GadgetListTest, FlagEightLeavesTheCurrentListAlone) {
    OpenTopWindow(0, 0, 0, 300, 200, "A", 0xCD0001, nullptr);
    OpenTopWindow(2, 0, 0, 300, 200, "C", 0xCD0001 | 0x8, nullptr);
    EXPECT_EQ(CurrentGadgetList(), WindowHandle(0));
    // The window still runs the framework's procedure.
    Pump();
    PostMessageA(WindowHandle(2), WM_CLOSE, 0, 0);
    EXPECT_EQ(WindowEvents(Pump()), std::vector<int>{CloseWindowEvent});
    EXPECT_EQ(EventWindow(), 2);
}

TEST_F(GadgetListTest, FontDefaultsToTheGuiFont) {
    EXPECT_EQ(CurrentGadgetFont(), GetStockObject(DEFAULT_GUI_FONT));
    HFONT system = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    SetCurrentGadgetFont(system);
    EXPECT_EQ(CurrentGadgetFont(), system);
    SetCurrentGadgetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

void PressTab(bool shift) {
    INPUT keys[4] = {};
    int count = 0;
    auto key = [&](WORD code, DWORD flags) {
        keys[count].type = INPUT_KEYBOARD;
        keys[count].ki.wVk = code;
        keys[count].ki.dwFlags = flags;
        ++count;
    };
    if (shift) key(VK_LSHIFT, 0);
    key(VK_TAB, 0);
    key(VK_TAB, KEYEVENTF_KEYUP);
    if (shift) key(VK_LSHIFT, KEYEVENTF_KEYUP);
    SendInput(count, keys, sizeof(INPUT));
}

class TabTest : public GadgetListTest {
  protected:
    void SetUp() override {
        GadgetListTest::SetUp();
        OpenTopWindow(0, 0, 0, 300, 200, "Tab", 0xCD0001, nullptr);
        window = WindowHandle(0);
        SetForegroundWindow(window);
        a = Button("A", WS_TABSTOP);
        Button("disabled", WS_TABSTOP | WS_DISABLED);
        b = Button("B", WS_TABSTOP);
        Button("hidden", WS_TABSTOP, false);
        Button("no stop", 0);
        c = Button("C", WS_TABSTOP);
        Pump(100);
        ASSERT_TRUE(WaitFor([&] { return GetActiveWindow() == window; }));
    }

    HWND Button(const char* text, DWORD style, bool visible = true) {
        int index = buttons++;
        return CreateWindowExA(0, "BUTTON", text, WS_CHILD | style | (visible ? WS_VISIBLE : 0), 10,
                               10 + 25 * index, 80, 22, window,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(100 + index)),
                               GetModuleHandleA(nullptr), nullptr);
    }

    // Tab by the keyboard through the event loop: no event, the focus moves. An editor reports
    // its own changes and focus changes, which are gadget events of their own.
    HWND Tab(bool shift, bool editorMayChange = false) {
        PressTab(shift);
        std::vector<int> codes = Pump(150);
        for (int code : codes) {
            EXPECT_NE(code, MenuEvent);
            if (!editorMayChange) {
                EXPECT_NE(code, GadgetEvent);
            }
        }
        return GetFocus();
    }

    HWND window = nullptr;
    HWND a = nullptr, b = nullptr, c = nullptr;
    int buttons = 0;
};

TEST_F(TabTest, TabAndShiftTabWrapAroundAndSkipIneligibleControls) {
    SetFocus(c);
    EXPECT_EQ(Tab(false), a);
    EXPECT_EQ(Tab(false), b);
    EXPECT_EQ(Tab(false), c);
    EXPECT_EQ(Tab(true), b);
    EXPECT_EQ(Tab(true), a);
    EXPECT_EQ(Tab(true), c);
}

TEST_F(TabTest, WithoutFocusInsideTabTakesTheFirstAndShiftTabTheLast) {
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

TEST_F(TabTest, TabReachesAShortcutFieldAsAKey) {
    HWND field = Button("field", WS_TABSTOP);
    SetPropA(field, "OZ_Hotkey", reinterpret_cast<HANDLE>(1));
    SetFocus(field);
    EXPECT_EQ(Tab(false), field);
    RemovePropA(field, "OZ_Hotkey");
    EXPECT_EQ(Tab(false), a);
}

TEST_F(TabTest, TabReachesAnEditableRichEditAsAKey) {
    HMODULE library = LoadLibraryA("riched20.dll");
    ASSERT_NE(library, nullptr);
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
