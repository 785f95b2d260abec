// Starting with Windows, inside the test program: which Run commands count as this exe, what
// the system's own switch means, which command lines ask for a hidden start, and a write that
// fails. Values are named after the test program's product, never the real one's.
#include "app/autostart.h"

#include "app/application.h"
#include "app_test_support.h"
#include "controls/menu.h"
#include "settings/wide_text.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

std::vector<std::string> notices;
int RecordNotice(const char*, const char* text, unsigned) {
    notices.emplace_back(text);
    return IDOK;
}

bool Checked() { return GetMenuState(MenuHandle(MenuMain), ItemStartWithWindows, MF_BYCOMMAND) & MF_CHECKED; }

} // namespace

TEST(AutostartRules, CommandsThatStartThisExe) {
    std::wstring exe = L"C:\\Program Files\\Verriq\\Verriq.exe";
    EXPECT_TRUE(CommandStartsProgram(AutostartCommand(exe), exe));
    EXPECT_TRUE(CommandStartsProgram(L"\"c:\\program files\\verriq\\VERRIQ.EXE\"", exe));
    EXPECT_TRUE(CommandStartsProgram(L"C:\\Program Files\\Verriq\\Verriq.exe /hintergrund", exe));
    EXPECT_FALSE(CommandStartsProgram(L"\"C:\\Program Files\\Alt\\Verriq.exe\" /hintergrund", exe));
    EXPECT_FALSE(CommandStartsProgram(L"C:\\Program Files\\Verriq\\Verriq.exe.alt", exe));
    EXPECT_FALSE(CommandStartsProgram(L"", exe));

    // Off only where the system wrote something other than 0 or 2 first.
    const unsigned char on[] = {2, 0, 0, 0}, zero[] = {0}, off[] = {3, 0, 0, 0};
    EXPECT_TRUE(ApprovedAtStart(nullptr, 0));
    EXPECT_TRUE(ApprovedAtStart(on, sizeof on));
    EXPECT_TRUE(ApprovedAtStart(zero, sizeof zero));
    EXPECT_FALSE(ApprovedAtStart(off, sizeof off));

    EXPECT_TRUE(IsBackgroundStart(L"\"C:\\V\\Verriq.exe\" /HinterGrund"));
    EXPECT_TRUE(IsBackgroundStart(L"Verriq.exe weiter /hintergrund nochwas"));
    EXPECT_FALSE(IsBackgroundStart(L"\"C:\\V\\Verriq.exe\" /hintergrundx"));
    EXPECT_FALSE(IsBackgroundStart(L"\"C:\\x /hintergrund\\Verriq.exe\""));
    EXPECT_FALSE(IsBackgroundStart(L"/hintergrund"));
}

class Autostart : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        notices.clear();
        SetAutostartNotice(RecordNotice);
    }
    void TearDown() override {
        ProductName = savedName;
        if (Checked()) ToggleAutostart();
        SetAutostartNotice(nullptr);
        MainWindowTest::TearDown();
    }
    const char* savedName = ProductName;
};

TEST_F(Autostart, AWriteThatFailsIsToldAndTheMarkStays) {
    ShowAutostartState();
    ASSERT_FALSE(Checked());
    ToggleAutostart();
    EXPECT_TRUE(Checked());
    EXPECT_TRUE(notices.empty());
    ToggleAutostart();
    EXPECT_FALSE(Checked());

    // The registry refuses a value name longer than it allows.
    std::string tooLong(17000, 'V');
    ProductName = tooLong.c_str();
    ToggleAutostart();
    EXPECT_FALSE(Checked());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), std::string::npos);
    EXPECT_NE(notices[0].find(SystemErrorText(ERROR_INVALID_PARAMETER)), std::string::npos) << notices[0];
}
