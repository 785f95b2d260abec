// A new user's first start: the storage folder and both documents are made, the window opens
// as it should look, and both ways to quit leave with exit code 0.
#include "tests/e2e/app_steps.h"

using namespace e2e;

class FirstStart : public VerriqTest {};

TEST_F(FirstStart, MakesTheDocumentsAndShowsAnEmptyList) {
    Start("0 Dateien werden geschützt");
    HWND main = verriq.main();

    EXPECT_TRUE(FolderExists(box.appdata + "\\Ondrak"));
    EXPECT_TRUE(FolderExists(box.storage()));
    bool read = false;
    EXPECT_EQ(ReadBytes(box.fileList(), &read), "");
    EXPECT_TRUE(read) << "no Dateien.ini";
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\n");
    EXPECT_EQ(ReadBytes(box.settings()).size(), 34u);

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
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Centred for the outer size it had before the menu bar came: the vertical centre may be off
    // by the menu bar's height at most.
    EXPECT_NEAR((outer.left + outer.right) / 2, screenWidth / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, screenHeight / 2, 1);

    LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);

    EXPECT_EQ(verriq.RowCount(), 0);
    EXPECT_EQ(verriq.ButtonText(ButtonAdd), "Hinzufügen");
    EXPECT_EQ(verriq.ButtonText(ButtonRemove), "Entfernen");
    EXPECT_EQ(verriq.ButtonText(ButtonQuit), "Beenden");
    EXPECT_TRUE(verriq.ButtonEnabled(ButtonAdd));
    EXPECT_FALSE(verriq.ButtonEnabled(ButtonRemove));
    EXPECT_TRUE(verriq.ButtonEnabled(ButtonQuit));
    // Captions stand beside the pictures.
    RECT add = verriq.ButtonRect(ButtonAdd);
    EXPECT_GT(add.right - add.left, add.bottom - add.top);

    HWND list = verriq.list();
    ASSERT_NE(list, nullptr);
    RECT place = ChildRect(list);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 47);
    EXPECT_EQ(place.right - place.left, 400);
    EXPECT_EQ(place.bottom - place.top, 130);
    RECT listClient = {};
    GetClientRect(list, &listClient);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) + SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), listClient.right) << "the column does not fill the list";
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(header)) << "the column title can be clicked or dragged";
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & LVS_SHOWSELALWAYS);
    EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & LVS_SINGLESEL);

    SaveScreenshot("first_start", main);
    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
    EXPECT_EQ(ReadBytes(box.fileList()), "");
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\n");
}

TEST_F(FirstStart, AboutBoxNamesTheProgram) {
    Start("0 Dateien werden geschützt");
    ChooseMenuEntry(verriq.main(), 1, 0); // Hilfe > Informationen
    HWND about = verriq.WaitWindow("Informationen", "#32770");
    ASSERT_NE(about, nullptr) << "the menu did not open the about box";
    std::string text = Normalised(MessageBoxText(about));
    EXPECT_EQ(text.substr(0, text.find('\r')), "Verriq 1.0.0");
    EXPECT_NE(text.find("\r\r"), std::string::npos) << "the credits have no empty line";
    SaveScreenshot("about_box");
    ASSERT_TRUE(PressButton(about, "OK"));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    // The loop goes on: the program still answers.
    EXPECT_TRUE(verriq.Running());
    ChooseMenuEntry(verriq.main(), 0, EntryQuit); // Programm > Beenden
    EXPECT_EQ(verriq.WaitExit(), 0);
}
