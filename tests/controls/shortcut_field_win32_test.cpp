// The shortcut field in a real framework window: keys in, values and events out.
#include "controls/shortcut_field.h"

#include "tests/controls/controls_test_support.h"

#include <initializer_list>

using namespace controls_test;

namespace {

constexpr Number Field = 102;

// The modifier keys as GetKeyState will report them on this thread.
void HoldKeys(std::initializer_list<int> keys) {
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    SetKeyboardState(state);
}

class ShortcutFieldTest : public WindowFixture {
  protected:
    void SetUp() override {
        HoldKeys({});
        Open(WindowCentreOnScreen, 400, 40, "Tastenkombination ändern");
        field = reinterpret_cast<HWND>(
            CreateShortcutGadget(Field, 240, 10, 150, 20, ShortcutControl | ShortcutShift));
        ASSERT_NE(field, nullptr);
        DrainEvents();
    }
    void TearDown() override {
        HoldKeys({});
        WindowFixture::TearDown();
    }
    // As the keyboard delivers a key to the focused field; then one event of the field, type
    // 0, and nothing more.
    void Press(int key) {
        SendMessageA(field, WM_KEYDOWN, key, 0);
        ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000)) << key;
        EXPECT_EQ(EventGadgetNumber(), Field);
        EXPECT_EQ(EventType(), 0);
        EXPECT_FALSE(WaitForEvent(GadgetEvent, 100));
    }
    HWND field = nullptr;
};

TEST_F(ShortcutFieldTest, ValuesMapBothWaysAndModifiersAloneReadAsNothing) {
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0), (HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8);
    EXPECT_EQ(ReadGadgetState(Field), 0);
    WriteGadgetState(Field, ShortcutAlt | ShortcutControl | ShortcutShift | 'K');
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0),
              MAKEWORD('K', HOTKEYF_ALT | HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(ReadGadgetState(Field), ShortcutAlt | ShortcutControl | ShortcutShift | 'K');
    // The extended-key flag is no part of the value.
    SendMessageA(field, HKM_SETHOTKEY, MAKEWORD(VK_DELETE, HOTKEYF_EXT | HOTKEYF_SHIFT), 0);
    EXPECT_EQ(ReadGadgetState(Field), ShortcutShift | VK_DELETE);
    WriteGadgetState(Field, 0);
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0), 0);
    // An emptied field is news.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(Field, EN_CHANGE), reinterpret_cast<LPARAM>(field));
    ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000));
    EXPECT_EQ(EventGadgetNumber(), Field);
}

TEST_F(ShortcutFieldTest, KeysPressedBecomeTheValueWithTheModifiersHeld) {
    HoldKeys({VK_CONTROL, VK_SHIFT});
    SendMessageA(field, WM_KEYDOWN, VK_CONTROL, 0);
    SendMessageA(field, WM_KEYDOWN, VK_SHIFT, 0);
    // Only modifiers so far: nothing to report, and nothing to read.
    EXPECT_FALSE(WaitForEvent(GadgetEvent, 200));
    EXPECT_EQ(ReadGadgetState(Field), 0);
    Press('A');
    EXPECT_EQ(ReadGadgetState(Field), 0x30041);

    HoldKeys({});
    for (int key : {int('A'), VK_SHIFT, VK_CONTROL})
        SendMessageA(field, WM_KEYUP, key, 0xC0000000);
    Pump(150);
    Press('A');
    EXPECT_EQ(ReadGadgetState(Field), 'A');
    SendMessageA(field, WM_KEYUP, 'A', 0xC0000000);
    EXPECT_EQ(ReadGadgetState(Field), 'A');

    // Keys the control itself would pass on.
    for (int key : {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_DELETE}) {
        HoldKeys({VK_CONTROL});
        Press(key);
        EXPECT_EQ(ReadGadgetState(Field), ShortcutControl | key) << key;
        HoldKeys({});
        Press(key);
        EXPECT_EQ(ReadGadgetState(Field), key) << key;
    }
}

TEST_F(ShortcutFieldTest, TabThroughTheEventLoopStaysInTheFieldAndFocusGoesWhereAsked) {
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

    EXPECT_EQ(FocusGadget(555), nullptr);
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(FocusGadget(-1), field);
    EXPECT_EQ(GetFocus(), nullptr);
}

} // namespace
