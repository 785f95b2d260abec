// Choosing another hot-key letter: only a plain letter is taken, it survives a restart, the
// close question stops naming X, and the new letter calls the hidden window back.
#include "tests/e2e/app_steps.h"

#include <commctrl.h>

using namespace e2e;

namespace {

// What the shortcut field shows: Ctrl and Shift, no key.
constexpr WORD CtrlShiftOnly = MAKEWORD(0, HOTKEYF_CONTROL | HOTKEYF_SHIFT);

WORD FieldValue(HWND field) { return LOWORD(SendMessageA(field, HKM_GETHOTKEY, 0, 0)); }

} // namespace

class HotKeyDialog : public VerriqTest {};

TEST_F(HotKeyDialog, TakesOnlyAPlainLetterWhichThenCallsTheWindowBack) {
    Start(0);
    HWND main = verriq.main();
    ChooseMenuEntry(main, 0, EntryChangeHotKey); // Programm > Tastenkombination ändern
    HWND dialog = verriq.WaitWindow("Tastenkombination ändern");
    ASSERT_NE(dialog, nullptr) << "the menu did not open the dialog";
    HWND field = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (field = FindChildByClass(dialog, HOTKEY_CLASSA)) != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return FocusOf(dialog) == field; })) << "the field does not have the focus";
    EXPECT_EQ(FieldValue(field), CtrlShiftOnly);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes input while the dialog is open";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
    // Title bar only: no close box, no sizing border.
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME));
    RECT client = {};
    GetClientRect(dialog, &client);
    // 400 wide, or as much wider as the label's text needs in the font at hand.
    EXPECT_GE(client.right, 400);
    EXPECT_EQ(client.bottom, 40);
    // Centred on the main window.
    RECT outer = {}, owner = {};
    GetWindowRect(dialog, &outer);
    GetWindowRect(main, &owner);
    EXPECT_NEAR(outer.left + outer.right, owner.left + owner.right, 2);
    EXPECT_NEAR(outer.top + outer.bottom, owner.top + owner.bottom, 2);
    SaveScreenshot("hot_key_dialog");
    // Clicks on the main window do nothing meanwhile.
    verriq.ClickButton(ButtonAdd, false);
    Sleep(500);
    EXPECT_EQ(verriq.FindWindowByTitle("Dateien hinzufügen"), nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    // A digit, a function key and a letter with Ctrl and Shift are refused: the dialog stays
    // and the field shows Ctrl and Shift again.
    BringToFront(dialog);
    EXPECT_EQ(FocusOf(dialog), field) << "the field lost the focus";
    const std::vector<std::vector<Key>> refused = {{{'1', false}}, {{VK_F5, false}}, {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'A', false}}};
    for (const std::vector<Key>& keys : refused) {
        Chord(keys);
        Sleep(400);
        EXPECT_TRUE(IsWindowVisible(dialog)) << keys.back().vk;
        EXPECT_EQ(FieldValue(field), CtrlShiftOnly) << keys.back().vk;
    }

    Tap('K');
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "K did not close the dialog";
    EXPECT_TRUE(IsWindowEnabled(main));

    Quit();
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 75\r\n");
    // The next start knows K, and the close question names no combination.
    Start();
    HWND next = verriq.main();
    RequestClose();
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    std::string text = MessageBoxText(question);
    EXPECT_EQ(text.find("Strg + Shift"), std::string::npos) << text;
    ASSERT_TRUE(PressButton(question, "Ja"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(next); }));

    std::vector<Key> withX = {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'X', false}};
    EXPECT_FALSE(HoldKeysWhile(withX, [&] { return IsWindowVisible(next) != 0; }, 800))
        << "X still calls the window back";
    Sleep(300);
    std::vector<Key> withK = {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'K', false}};
    EXPECT_TRUE(HoldKeysWhile(withK, [&] { return IsWindowVisible(next) && GetForegroundWindow() == next; }, 1500));
    Sleep(300);
    ChooseMenuEntry(next, 0, EntryQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
}
