// Toolbars in a window built like the main window (image menu bar, toolbar of three buttons,
// status bar): clicks as menu events, the owner's resize, right clicks, disabled buttons, and
// screenshots of it all with its menus open. The screenshots are saved under the build folder
// (screenshots/) to be looked at; the test checks that the menu was really open.
#include "controls/toolbar.h"

#include "controls/menu.h"
#include "controls/status_bar.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <cstdio>
#include <string>

using namespace controls_test;

namespace {

POINT ButtonCentre(HWND toolbar, int identifier) {
    RECT rect{};
    SendMessageA(toolbar, TB_GETRECT, identifier, reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Posted, as real input is, so that the toolbar's command comes out of the event loop.
void ClickButton(HWND toolbar, int identifier, bool right = false) {
    POINT at = ButtonCentre(toolbar, identifier);
    LPARAM position = MAKELPARAM(at.x, at.y);
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, position);
    PostMessageA(toolbar, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, position);
    PostMessageA(toolbar, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, position);
}

bool SaveScreen(RECT area, const std::string& path) {
    int width = area.right - area.left, height = area.bottom - area.top;
    Surface shot(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    // The surface's rows are already what a top-down 32-bit file holds.
    BITMAPINFOHEADER header{sizeof header, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof header};
    file.bfSize = file.bfOffBits + static_cast<DWORD>(width * height * 4);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(shot.Bits(), 4, static_cast<size_t>(width) * height, out);
    return std::fclose(out) == 0;
}

// What the timer found while the menu was open.
struct MenuShot {
    std::string path;
    HWND window;
    bool popupSeen, saved;
} shot;

BOOL CALLBACK FindPopup(HWND candidate, LPARAM) {
    char name[16] = {};
    GetClassNameA(candidate, name, sizeof name);
    if (std::string(name) == "#32768" && IsWindowVisible(candidate)) shot.popupSeen = true;
    return TRUE;
}

void CALLBACK ShootOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumWindows(FindPopup, 0);
    RECT area{};
    GetWindowRect(shot.window, &area);
    // Room for a popup that hangs below the window or reaches past its right edge.
    shot.saved = SaveScreen(RECT{area.left - 8, area.top - 8, area.right + 120, area.bottom + 60}, shot.path);
    EndMenu();
}

class ToolbarTest : public WindowFixture {
  protected:
    void SetUp() override {
        InitMenus();
        InitToolbars();
        InitStatusBars();
        Open(MainWindowFlags, 400, 220, "Verriq 1.0.0");
        ASSERT_NE(CreateImageMenuBar(6, window, MenuStyleShaded), 0);
        AddMenuTitle("Programm");
        AddMenuEntry(6, "Tastenkombination ändern", nullptr);
        AddMenuEntry(4, "Beenden", nullptr);
        AddMenuTitle("Hilfe");
        AddMenuEntry(5, "Informationen", nullptr);
        Number opened = OpenToolbar(0, window);
        toolbar = ToolbarHandle(0);
        ASSERT_EQ(opened, reinterpret_cast<Number>(toolbar));
        for (int button = 1; button <= 3; ++button)
            ASSERT_TRUE(AddToolbarButton(button, IconFromResource(button, IDR_ICON_ADD + button - 1)));
        ASSERT_NE(OpenStatusBar(1, window), 0);
        AddStatusField(KeepCurrent);
        SetStatusFieldText(1, 0, "0 Dateien werden geschützt");
        DrainEvents();
    }
    bool ClickGivesMenuEvent(int button, int milliseconds = 2000) {
        ClickButton(toolbar, button);
        return WaitForEvent(MenuEvent, milliseconds) && EventMenuNumber() == button;
    }
    // Opens title number `title` of the bar from the keyboard and saves the screen meanwhile.
    void ShootMenu(int title, const char* name) {
        std::string folder = std::string("Z:") + VERRIQ_BUILD_DIR + "/screenshots";
        CreateDirectoryA(folder.c_str(), nullptr);
        shot = MenuShot{folder + "/" + name, window, false, false};
        SetForegroundWindow(window);
        Pump(300);
        SetTimer(nullptr, 0, 600, ShootOpenMenu);
        PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
        for (int i = 0; i < title; ++i)
            PostMessageA(window, WM_KEYDOWN, VK_RIGHT, 0);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        Pump(1200);
        EXPECT_TRUE(shot.popupSeen) << name;
        EXPECT_TRUE(shot.saved) << shot.path;
        std::printf("screenshot: %s\n", shot.path.c_str());
    }
    HWND toolbar = nullptr;
};

TEST_F(ToolbarTest, AButtonIsTheSameCommandAsTheMenuEntryAndSilentWhenDisabled) {
    EXPECT_TRUE(ClickGivesMenuEvent(2));
    EXPECT_EQ(EventWindow(), TestWindow);
    // What the menu sends when the entry is chosen.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, 0), 0);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 2);

    EXPECT_EQ(SetToolbarButtonDisabled(0, 2, 1), 1);
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, 2, 0));
    EXPECT_FALSE(ClickGivesMenuEvent(2, 300));
    SetToolbarButtonDisabled(0, 2, 0);
    EXPECT_TRUE(ClickGivesMenuEvent(2));
    // A number without a toolbar changes nothing and still answers 1.
    EXPECT_EQ(SetToolbarButtonDisabled(33, 2, 1), 1);
}

TEST_F(ToolbarTest, ResizingTheOwnerPostsAutosizeToTheToolbar) {
    MSG posted;
    while (PeekMessageA(&posted, toolbar, TB_AUTOSIZE, TB_AUTOSIZE, PM_REMOVE)) {
    }
    SetWindowPos(window, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Posted, so it waits in the queue until the owner's own resize handling is over.
    ASSERT_TRUE(PeekMessageA(&posted, toolbar, TB_AUTOSIZE, TB_AUTOSIZE, PM_REMOVE));
    DispatchMessageA(&posted);
    RECT bar{};
    GetWindowRect(toolbar, &bar);
    EXPECT_EQ(bar.right - bar.left, ClientOf(window).right);
}

TEST_F(ToolbarTest, RightClickLeavesNoButtonPressed) {
    ASSERT_TRUE(AddToolbarButton(9, IconFromResource(9, IDR_ICON_ADD), 1));
    // The left button holds the toggle button down; then the right one is clicked on it.
    POINT at = ButtonCentre(toolbar, 9);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(toolbar, TB_SETSTATE, 9, MAKELPARAM(TBSTATE_ENABLED | TBSTATE_PRESSED, 0));
    ASSERT_TRUE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, 9, 0));
    ClickButton(toolbar, 9, true);
    DrainEvents();
    for (int button : {1, 2, 3, 9})
        EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, button, 0)) << button;
    EXPECT_NE(GetCapture(), toolbar);
}

TEST_F(ToolbarTest, NumbersAreFreedWithTheWindowAndOnReuse) {
    HWND second = reinterpret_cast<HWND>(OpenToolbar(0, window));
    EXPECT_FALSE(IsWindow(toolbar));
    Number dynamic = OpenToolbar(AnyNumber, window);
    HWND dynamicWindow = ToolbarHandle(dynamic);
    EXPECT_EQ(GetParent(dynamicWindow), window);
    FreeToolbar(dynamic);
    EXPECT_FALSE(IsWindow(dynamicWindow));
    // A resize must not touch the freed toolbar.
    SetWindowPos(window, nullptr, 0, 0, 500, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(50);
    CloseTopWindow(TestWindow);
    EXPECT_EQ(ToolbarHandle(0), nullptr);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(OpenToolbar(1, nullptr), 0);
}

TEST_F(ToolbarTest, ScreenshotsOfTheMainWindowAndItsMenus) {
    // Captioned 32x32 buttons, as the main window has them.
    while (SendMessageA(toolbar, TB_DELETEBUTTON, 0, 0)) {
    }
    auto list = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    ImageList_SetIconSize(list, 32, 32);
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, 500);
    SetWindowLongA(toolbar, GWL_STYLE, GetWindowLongA(toolbar, GWL_STYLE) | TBSTYLE_LIST);
    for (int button = 1; button <= 3; ++button) {
        AddToolbarButton(button, ImageHandle(button));
        std::wstring text = ToWide(button == 1 ? "Hinzufügen" : button == 2 ? "Entfernen" : "Beenden");
        TBBUTTONINFOW info{sizeof info, TBIF_TEXT | TBIF_STYLE};
        info.fsStyle = BTNS_AUTOSIZE;
        info.pszText = text.data();
        SendMessageW(toolbar, TB_SETBUTTONINFOW, button, reinterpret_cast<LPARAM>(&info));
    }
    SetToolbarButtonDisabled(0, 2, 1);
    ShootMenu(0, "main_window_menu.bmp");

    // An image menu with pictures, shortcuts, a separator, a grey and a checked entry, a submenu.
    HMENU view = AddMenuTitle("Ansicht");
    AddMenuEntry(21, "&Hinzufügen\tStrg+N", ImageHandle(1));
    AddMenuEntry(22, "&Entfernen\tEntf", ImageHandle(2));
    AddMenuEntry(23, "Liste &sortieren", nullptr);
    AppendMenuA(view, MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(24, "&Beenden", ImageHandle(3));
    BeginSubmenu("&Weitere");
    AddMenuEntry(25, "Eins", nullptr);
    EnableMenuItem(view, 22, MF_BYCOMMAND | MF_GRAYED);
    SetMenuEntryChecked(6, 23, 1);
    ShootMenu(2, "image_menu.bmp");
}

} // namespace
