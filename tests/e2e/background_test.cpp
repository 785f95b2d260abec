// Closing the main window: the documents are written before the question, "Nein" ends the
// program, "Ja" hides it with every lock held, and only left Ctrl + left Shift + the letter
// brings it back. The letter is the user's choice in its own dialog.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const std::vector<Key> LeftCtrlLeftShiftX = {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'X', false}};
const std::vector<Key> RightCtrlLeftShiftX = {{VK_RCONTROL, true}, {VK_LSHIFT, false}, {'X', false}};
const std::vector<Key> LeftCtrlRightShiftX = {{VK_LCONTROL, false}, {VK_RSHIFT, true}, {'X', false}};

// Holds the keys through several polls of the watcher (every 100 ms), waiting for test.
template <class F> bool HoldWhile(const std::vector<Key>& keys, F test, int timeoutMs = 1500) {
    bool result = HoldKeysWhile(keys, test, timeoutMs);
    // GetAsyncKeyState keeps a key-up out of sight for about 50 ms under Wine.
    Sleep(300);
    return result;
}

// What the shortcut field shows: Ctrl and Shift, no key.
constexpr WORD CtrlShiftOnly = MAKEWORD(0, HOTKEYF_CONTROL | HOTKEYF_SHIFT);

WORD FieldValue(HWND field) { return LOWORD(SendMessageA(field, HKM_GETHOTKEY, 0, 0)); }

} // namespace

class Background : public VerriqTest {
  protected:
    void SetUp() override {
        held = box.MakeFile("vertraulich.txt", "streng geheim");
        // Line ends as another editor may leave them: the close request must write CR LF.
        WriteFileList(held + "\n");
    }
    std::string held;
};

TEST_F(Background, YesHidesTheLeftKeysBringItBackAsItWasAnotherLetterTakesOverAndNoEnds) {
    Start(1);
    HWND main = verriq.main();
    HWND question = AskToClose();
    ASSERT_NE(question, nullptr) << "no close question";
    // Written while the question is still on screen.
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n");
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\nFreigabe = 10\r\n");
    std::string text = MessageBoxText(question);
    EXPECT_NE(text.find("Strg + Shift + X"), std::string::npos) << text;
    SaveScreenshot("close_question");
    ASSERT_TRUE(PressButton(question, "Ja"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); })) << "the window was not hidden";
    EXPECT_TRUE(verriq.Running());
    EXPECT_TRUE(LockedAgainstOthers(held, "streng geheim", box.root)) << "hiding let the file go";
    // The right-hand keys do not count.
    EXPECT_FALSE(HoldWhile(RightCtrlLeftShiftX, [&] { return IsWindowVisible(main) != 0; }, 800));
    EXPECT_FALSE(HoldWhile(LeftCtrlRightShiftX, [&] { return IsWindowVisible(main) != 0; }, 800));
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return IsWindowVisible(main) && GetForegroundWindow() == main; }))
        << "left Ctrl + left Shift + X did not bring the window back in front";
    EXPECT_FALSE(IsZoomed(main));
    EXPECT_EQ(verriq.StatusText(), StatusFor(1));
    // Held while visible: it just stays in front.
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return GetForegroundWindow() == main; }));
    // A maximised window comes back maximised.
    PostMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(main) != 0; }));
    Hide();
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return IsWindowVisible(main) != 0; }));
    EXPECT_TRUE(IsZoomed(main)) << "the window came back restored";
    // Another letter: only a plain letter is taken, it survives a restart, the close question
    // stops naming X, and the new letter calls the hidden window back.
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
    EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), WS_CAPTION);
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
    for (const std::vector<Key>& keys :
         std::vector<std::vector<Key>>{{{'1', false}}, {{VK_F5, false}}, {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'A', false}}}) {
        Chord(keys);
        Sleep(400);
        EXPECT_TRUE(IsWindowVisible(dialog)) << keys.back().vk;
        EXPECT_EQ(FieldValue(field), CtrlShiftOnly) << keys.back().vk;
    }

    Tap('K');
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "K did not close the dialog";
    EXPECT_TRUE(IsWindowEnabled(main));
    Quit();
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 75\r\nFreigabe = 10\r\n");
    // The next start knows K, and the close question names no combination.
    Start(1);
    main = verriq.main();
    question = AskToClose();
    ASSERT_NE(question, nullptr);
    text = MessageBoxText(question);
    EXPECT_EQ(text.find("Strg + Shift"), std::string::npos) << text;
    ASSERT_TRUE(PressButton(question, "Ja"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
    EXPECT_FALSE(HoldWhile(LeftCtrlLeftShiftX, [&] { return IsWindowVisible(main) != 0; }, 800))
        << "X still calls the window back";
    EXPECT_TRUE(HoldWhile({{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'K', false}},
                          [&] { return IsWindowVisible(main) && GetForegroundWindow() == main; }));
    question = AskToClose();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(PressButton(question, "Nein"));
    EXPECT_EQ(verriq.WaitExit(), 0);
    EXPECT_TRUE(ReadableByOthers(held, "streng geheim", box.root));
}
