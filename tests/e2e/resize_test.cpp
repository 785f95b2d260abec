// Resizing the main window: the list keeps its top-left corner and follows the window, its one
// column fills it, and the window cannot be made smaller than its minimum.
#include "tests/e2e/app_steps.h"

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

class Resize : public VerriqTest {};

TEST_F(Resize, ListFollowsTheWindowWhichKeepsItsMinimum) {
    std::string file = box.MakeFile("a.txt", "A");
    WriteFileList(file + "\r\n");
    Start("1 Datei wird geschützt");
    HWND main = verriq.main();
    HWND list = verriq.list();
    ASSERT_NE(list, nullptr);

    // Larger, by dragging the bottom-right corner.
    RECT outer = {};
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

    // Far smaller than allowed: it stops at 400 x 200.
    GetWindowRect(main, &outer);
    MouseDrag(outer.right - 2, outer.bottom - 2, outer.left + 50, outer.top + 50);
    Sleep(500);
    RECT client = {};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 400);
    // The window library stores the minimum as an outer size that counts frame and menu bar on
    // top of the 200, so the client area below the menu bar keeps 200.
    EXPECT_EQ(client.bottom, 200);
    ExpectListFollows(main, list);

    // Maximised, the list fills the width as well.
    PostMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(main) != 0; }));
    Sleep(300);
    ExpectListFollows(main, list);

    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
}
