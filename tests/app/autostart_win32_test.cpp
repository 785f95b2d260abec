// Starting with Windows inside the test program, under the test product's own value name: the
// entry turns it on and off, and a write the registry refuses is told while the mark stays.
#include "app/autostart.h"

#include "app/application.h"
#include "app/registry_entry.h"
#include "app_test_support.h"
#include "controls/menu.h"
#include "settings/wide_text.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {


bool Checked() { return GetMenuState(MenuHandle(MenuMain), ItemStartWithWindows, MF_BYCOMMAND) & MF_CHECKED; }

} // namespace

class Autostart : public MainWindowTest {};

TEST_F(Autostart, AWriteThatFailsIsToldAndTheMarkStays) {
    AnsweredBoxes boxes;
    const char* name = ProductName;
    ShowAutostartState();
    ASSERT_FALSE(Checked());
    ToggleAutostart();
    EXPECT_TRUE(Checked() && AutostartActive());
    ToggleAutostart();
    EXPECT_FALSE(Checked() || AutostartActive());
    EXPECT_TRUE(boxes.seen.empty());

    // The registry refuses a value name longer than it allows.
    std::string tooLong(17000, 'V');
    ProductName = tooLong.c_str();
    ToggleAutostart();
    ProductName = name;
    EXPECT_FALSE(Checked());
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), std::string::npos);
    EXPECT_NE(boxes.seen[0].text.find(SystemErrorText(ERROR_INVALID_PARAMETER)), std::string::npos) << boxes.seen[0].text;
}
