// The shortcut field in a real framework window: keys in, values and events out.
#include "controls/shortcut_field.h"

#include "controls/gadget.h"
#include "controls/label.h"
#include "framework/window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <initializer_list>

namespace {

constexpr Number TestWindow = 44;
constexpr Number Field = 102;
constexpr int ControlShift = ShortcutControl | ShortcutShift;

bool WaitForEvent(int code, int milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (WaitEventTimeout(10) == code) return true;
    return false;
}

void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

// The modifier keys as GetKeyState will report them on this thread.
void HoldKeys(std::initializer_list<int> keys) {
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    SetKeyboardState(state);
}

class ShortcutFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitGadgets();
        HoldKeys({});
        window = reinterpret_cast<HWND>(OpenTopWindow(TestWindow, 0, 0, 400, 40, "Tastenkombination ändern",
                                                      WindowCentreOnScreen, nullptr));
        ASSERT_NE(window, nullptr);
        ASSERT_NE(CreateLabelGadget(101, 10, 10, 220, 20, "Drücken Sie jetzt eine beliebige Taste (a-z):", 0),
                  0);
        field = reinterpret_cast<HWND>(CreateShortcutGadget(Field, 240, 10, 150, 20, ControlShift));
        ASSERT_NE(field, nullptr);
        DrainEvents();
    }
    void TearDown() override {
        HoldKeys({});
        CloseTopWindow(TestWindow);
        DrainEvents();
    }
    // As the keyboard delivers a key to the focused field.
    void Press(int key) { SendMessageA(field, WM_KEYDOWN, key, 0); }
    void Release(int key) { SendMessageA(field, WM_KEYUP, key, 0xC0000000); }
    // One event of the field, type 0, and nothing more.
    void ExpectOneEvent() {
        ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000));
        EXPECT_EQ(EventGadgetNumber(), Field);
        EXPECT_EQ(EventType(), 0);
        EXPECT_FALSE(WaitForEvent(GadgetEvent, 100));
    }

    HWND window = nullptr;
    HWND field = nullptr;
};

TEST_F(ShortcutFieldTest, StartsWithModifiersOnlyWhichReadAsNothing) {
    EXPECT_EQ(GadgetHandle(Field), field);
    char className[32] = {};
    GetClassNameA(field, className, sizeof className);
    EXPECT_STREQ(className, "msctls_hotkey32");
    EXPECT_EQ(GetPropA(field, "OZ_Hotkey"), reinterpret_cast<HANDLE>(1));
    EXPECT_NE(GetWindowLongA(field, GWL_STYLE) & WS_TABSTOP, 0);
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0), (HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8);
    EXPECT_EQ(ReadGadgetState(Field), 0);
}

TEST_F(ShortcutFieldTest, ValuesMapBothWays) {
    WriteGadgetState(Field, ShortcutAlt | ShortcutControl | ShortcutShift | 'K');
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0),
              MAKEWORD('K', HOTKEYF_ALT | HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(ReadGadgetState(Field), ShortcutAlt | ShortcutControl | ShortcutShift | 'K');
    // The extended-key flag is no part of the value.
    SendMessageA(field, HKM_SETHOTKEY, MAKEWORD(VK_DELETE, HOTKEYF_EXT | HOTKEYF_SHIFT), 0);
    EXPECT_EQ(ReadGadgetState(Field), ShortcutShift | VK_DELETE);
    WriteGadgetState(Field, 0);
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0), 0);
    EXPECT_EQ(ReadGadgetState(Field), 0);
}

TEST_F(ShortcutFieldTest, ControlShiftAPostsAnEventAndReadsTheWholeCombination) {
    HoldKeys({VK_CONTROL, VK_SHIFT});
    Press(VK_CONTROL);
    Press(VK_SHIFT);
    // Only modifiers so far: nothing to report, and nothing to read.
    EXPECT_FALSE(WaitForEvent(GadgetEvent, 200));
    EXPECT_EQ(ReadGadgetState(Field), 0);

    Press('A');
    ExpectOneEvent();
    EXPECT_EQ(ReadGadgetState(Field), 0x30041);
}

TEST_F(ShortcutFieldTest, ALetterAloneReadsAsItsKeyCode) {
    Press('A');
    ExpectOneEvent();
    EXPECT_EQ(ReadGadgetState(Field), 65);
    Release('A');
    EXPECT_EQ(ReadGadgetState(Field), 65);
}

TEST_F(ShortcutFieldTest, KeysTheControlWouldPassOnBecomeTheValue) {
    for (int key : {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_DELETE}) {
        HoldKeys({VK_CONTROL});
        Press(key);
        EXPECT_EQ(ReadGadgetState(Field), ShortcutControl | key) << key;
        ExpectOneEvent();
        HoldKeys({});
        Press(key);
        EXPECT_EQ(ReadGadgetState(Field), key) << key;
        ExpectOneEvent();
    }
}

TEST_F(ShortcutFieldTest, TabThroughTheEventLoopStaysInTheField) {
    ASSERT_NE(CreateShortcutGadget(103, 240, 40, 150, 20, 0), 0);
    SetActiveWindow(window);
    FocusGadget(Field);
    ASSERT_EQ(GetFocus(), field);
    // With its scan code, as the keyboard sends it: the loop translates it into a WM_CHAR too.
    PostMessageA(field, WM_KEYDOWN, VK_TAB, MAKELPARAM(1, MapVirtualKeyA(VK_TAB, 0)));
    PostMessageA(field, WM_KEYUP, VK_TAB, MAKELPARAM(1, MapVirtualKeyA(VK_TAB, 0) | 0xC000));
    ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000));
    EXPECT_EQ(EventGadgetNumber(), Field);
    DrainEvents();
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(ReadGadgetState(Field), VK_TAB);
}

TEST_F(ShortcutFieldTest, AnEmptiedFieldIsNews) {
    WriteGadgetState(Field, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(Field, EN_CHANGE), reinterpret_cast<LPARAM>(field));
    ExpectOneEvent();
}

TEST_F(ShortcutFieldTest, FocusGoesToTheGadgetOrNowhere) {
    SetActiveWindow(window);
    FocusGadget(Field);
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(FocusGadget(555), nullptr);
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(FocusGadget(-1), field);
    EXPECT_EQ(GetFocus(), nullptr);
}

} // namespace
