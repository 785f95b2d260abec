// The close question's two texts and the hot-key dialog's choice of letter.
#include "app/background.h"

#include "app/storage.h"
#include "controls/gadget.h"
#include "tests/app/app_test_support.h"

#include <commctrl.h>

using namespace apptest;

TEST(CloseQuestion, NamesTheCombinationOnlyForX) {
    std::string forX = CloseQuestionText('X'), other = CloseQuestionText('K');
    EXPECT_NE(forX.find("Strg + Shift + X"), std::string::npos) << forX;
    // Any other letter, or none that could be one, is the user's own: never named.
    EXPECT_EQ(other.find("Strg + Shift"), std::string::npos) << other;
    EXPECT_EQ(std::string(CloseQuestionText(300)), other);
    EXPECT_EQ(std::string(CloseQuestionText(0)), other);
    // UTF-8 in the program: ä is two bytes.
    EXPECT_NE(forX.find("\xC3\xA4ndern"), std::string::npos);
}

TEST(HotKeyLetter, OnlyPlainLettersCount) {
    for (int letter = 'A'; letter <= 'Z'; ++letter) EXPECT_TRUE(IsHotKeyLetter(letter)) << letter;
    for (int refused : {0, int('1'), int('@'), int('['), VK_F5, VK_SPACE, 0x30000 + 'A', 0x10000 + 'K', 0x40000 + 'X', int('a')})
        EXPECT_FALSE(IsHotKeyLetter(refused)) << refused;
}

class HotKeyDialogTest : public MainWindowTest {
  protected:
    // What the field shows: a key counts as nothing until one is there, so ask the control.
    static WORD Shown() { return LOWORD(SendMessageA(GadgetHandle(GadgetHotKeyField), HKM_GETHOTKEY, 0, 0)); }
    static constexpr WORD CtrlShiftOnly = MAKEWORD(0, HOTKEYF_CONTROL | HOTKEYF_SHIFT);
};

TEST_F(HotKeyDialogTest, ARefusedKeyResetsTheFieldAndKeepsTheLetter) {
    EnsureStorageFolders(ProductName);
    EnsureSettingsDocument(ProductName, SettingsName);
    const std::string settings = ReadBytes(storage + SettingsName);
    SpecialKey = 'X';
    OpenHotKeyDialog();
    ASSERT_NE(WindowHandle(WindowHotKey), nullptr);
    EXPECT_FALSE(IsWindowEnabled(WindowHandle(WindowMain)));
    EXPECT_EQ(Shown(), CtrlShiftOnly);

    for (int refused : {int('1'), int(VK_F5), 0x30000 + 'A'}) {
        WriteGadgetState(GadgetHotKeyField, refused);
        OnHotKeyField();
        EXPECT_EQ(Shown(), CtrlShiftOnly) << refused;
        EXPECT_EQ(SpecialKey, 'X') << refused;
        EXPECT_NE(WindowHandle(WindowHotKey), nullptr) << refused;
    }
    EXPECT_EQ(ReadBytes(storage + SettingsName), settings) << "a refused key was written";

    WriteGadgetState(GadgetHotKeyField, 'K');
    OnHotKeyField();
    EXPECT_EQ(SpecialKey, 'K');
    // On disk at once: a crash or a kill must not bring the old letter back.
    SpecialKey = 0;
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 'K');
    EXPECT_EQ(WindowHandle(WindowHotKey), nullptr);
    EXPECT_TRUE(IsWindowEnabled(WindowHandle(WindowMain)));
}
