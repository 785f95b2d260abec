// A new user's first start: the storage folder and both documents are made, the window opens
// as it should look, the list follows the window as it is resized down to its minimum, the
// about box names the program, and quitting leaves with exit code 0.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// The list's place as the layout rule wants it for the window's present size: x 0, y 47,
// inner width, inner height (menu bar counted as the window library counts it) less 90.
void ExpectListFollows(HWND main, HWND list) {
    RECT client = {};
    GetClientRect(main, &client);
    RECT place = ChildRect(list);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 47);
    EXPECT_EQ(place.right - place.left, client.right);
    EXPECT_EQ(place.bottom - place.top, client.bottom + GetSystemMetrics(SM_CYMENU) - 90);
    RECT listClient = {};
    GetClientRect(list, &listClient);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) + SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), listClient.right);
}

} // namespace

class FirstStart : public VerriqTest {};

TEST_F(FirstStart, MakesTheDocumentsAndShowsAnEmptyListThatFollowsTheWindow) {
    Start(0);
    HWND main = verriq.main();
    EXPECT_TRUE(FolderExists(box.appdata + "\\Ondrak"));
    EXPECT_TRUE(FolderExists(box.storage()));
    bool read = false;
    EXPECT_EQ(ReadBytes(box.fileList(), &read), "");
    EXPECT_TRUE(read) << "no Dateien.ini";
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\nFreigabe = 10\r\n");
    EXPECT_EQ(WindowText(main), "Verriq 1.0.0");
    // Opened for an inner area of 400 x 220 without a menu; the menu bar takes its height from it.
    RECT client = {};
    GetClientRect(main, &client);
    int menu = MenuBarHeight(main);
    EXPECT_GT(menu, 0) << "no menu bar";
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 220 - menu);
    RECT outer = {};
    GetWindowRect(main, &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    EXPECT_EQ(GetWindowLongA(main, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX),
              WS_THICKFRAME | WS_MAXIMIZEBOX);
    EXPECT_EQ(verriq.RowCount(), 0);
    for (auto [id, caption] : {std::pair{ButtonAdd, "Hinzufügen"}, {ButtonRemove, "Entfernen"}, {ButtonQuit, "Beenden"}}) {
        EXPECT_EQ(verriq.ButtonText(id), caption);
        EXPECT_EQ(verriq.ButtonEnabled(id), id != ButtonRemove) << id;
    }
    // Captions stand beside the pictures.
    RECT add = verriq.ButtonRect(ButtonAdd);
    EXPECT_GT(add.right - add.left, add.bottom - add.top);
    HWND list = verriq.list();
    ASSERT_NE(list, nullptr);
    ExpectListFollows(main, list);
    EXPECT_EQ(ChildRect(list).bottom, 47 + 130);
    EXPECT_FALSE(IsWindowEnabled(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0))))
        << "the column title can be clicked or dragged";
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & (LVS_SHOWSELALWAYS | LVS_SINGLESEL), LVS_SHOWSELALWAYS);
    SaveScreenshot("first_start", main);
    GetWindowRect(main, &outer);
    BringToFront(main);
    MouseDrag(outer.right - 2, outer.bottom - 2, outer.right + 150, outer.bottom + 120);
    ASSERT_TRUE(WaitFor([&] {
        RECT now = {};
        GetWindowRect(main, &now);
        return now.right - now.left > outer.right - outer.left + 100;
    })) << "the window did not grow";
    Sleep(300);
    ExpectListFollows(main, list);
    SaveScreenshot("resized_larger", main);
    // Far smaller than allowed: it stops at 400 x 200. The window library stores the minimum as an
    // outer size that counts frame and menu bar on top of the 200, so the client area below the
    // menu bar keeps 200.
    GetWindowRect(main, &outer);
    MouseDrag(outer.right - 2, outer.bottom - 2, outer.left + 50, outer.top + 50);
    Sleep(500);
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 200);
    ExpectListFollows(main, list);
    // Maximised, the list fills the width as well.
    PostMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(main) != 0; }));
    Sleep(300);
    ExpectListFollows(main, list);
    ChooseMenuEntry(main, 1, 0); // Hilfe > Informationen
    HWND about = verriq.WaitWindow("Informationen", "#32770");
    ASSERT_NE(about, nullptr) << "the menu did not open the about box";
    std::string text = MessageBoxText(about);
    EXPECT_EQ(text.rfind("Verriq 1.0.0\r", 0), 0u) << text;
    // Message boxes may show a CR as CR LF.
    EXPECT_TRUE(text.find("\r\r") != std::string::npos || text.find("\r\n\r\n") != std::string::npos)
        << "the credits have no empty line";
    SaveScreenshot("about_box");
    ASSERT_TRUE(PressButton(about, "OK"));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    // The loop goes on: the program still answers.
    Quit();
    EXPECT_EQ(ReadBytes(box.fileList()), "");
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\nFreigabe = 10\r\n");
}
