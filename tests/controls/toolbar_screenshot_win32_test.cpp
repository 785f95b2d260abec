// Screenshots of a window built like the main window: image menu bar, toolbar with three
// captioned 32x32 buttons, status bar, and an open image menu. They are saved under the build
// folder (screenshots/) to be looked at; the test checks that the menu was really open.
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"

#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr Number TestWindow = 45;
constexpr Number TestMenu = 6;
constexpr unsigned MainWindowFlags = 0xCD0001;

HANDLE IconFromResource(Number image, int resource) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return nullptr;
    ImageFromMemory(image, LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found));
    return ImageHandle(image);
}

std::string ScreenshotPath(const char* name) {
    std::string folder = std::string("Z:") + VERRIQ_BUILD_DIR + "/screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "/" + name;
}

bool SaveBitmap(HDC source, const RECT& area, const std::string& path) {
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC dc = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
    SelectObject(dc, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    GetDIBits(dc, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(dc);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    return std::fclose(out) == 0;
}

// What the timer found while the menu was open.
struct Capture {
    std::string path;
    HWND window;
    bool popupSeen;
    bool saved;
};
Capture capture;

BOOL CALLBACK FindPopup(HWND candidate, LPARAM found) {
    char name[16] = {};
    GetClassNameA(candidate, name, sizeof name);
    if (std::string(name) == "#32768" && IsWindowVisible(candidate)) *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

void CALLBACK CaptureOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumWindows(FindPopup, reinterpret_cast<LPARAM>(&capture.popupSeen));
    RECT area{};
    GetWindowRect(capture.window, &area);
    // Room for a popup that hangs below the window or reaches past its right edge.
    area.left -= 8;
    area.top -= 8;
    area.right += 120;
    area.bottom += 60;
    HDC screen = GetDC(nullptr);
    capture.saved = SaveBitmap(screen, area, capture.path);
    ReleaseDC(nullptr, screen);
    EndMenu();
}

void SetButtonText(HWND toolbar, int button, const char* text) {
    std::wstring wide = ToWide(text);
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_STYLE;
    info.fsStyle = BTNS_AUTOSIZE;
    info.pszText = wide.data();
    SendMessageW(toolbar, TB_SETBUTTONINFOW, button, reinterpret_cast<LPARAM>(&info));
}

class ScreenshotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImages();
        InitMenus();
        InitToolbars();
        InitStatusBars();
        window = reinterpret_cast<HWND>(
            OpenTopWindow(TestWindow, 0, 0, 400, 220, "Verriq 1.0.0", MainWindowFlags, nullptr));
        ASSERT_NE(window, nullptr);
        for (int image = 1; image <= 3; ++image)
            ASSERT_NE(IconFromResource(image, IDR_ICON_ADD + image - 1), nullptr);

        // The main window's own build-up.
        ASSERT_NE(CreateImageMenuBar(TestMenu, window, MenuStyleShaded), 0);
        AddMenuTitle("Programm");
        AddMenuEntry(6, "Tastenkombination ändern", nullptr);
        AddMenuEntry(4, "Beenden", nullptr);
        AddMenuTitle("Hilfe");
        AddMenuEntry(5, "Informationen", nullptr);

        ASSERT_NE(OpenToolbar(0, window), 0);
        HWND toolbar = ToolbarHandle(0);
        auto list = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
        ImageList_SetIconSize(list, 32, 32);
        SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
        SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
        SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, 500);
        SetWindowLongA(toolbar, GWL_STYLE, GetWindowLongA(toolbar, GWL_STYLE) | TBSTYLE_LIST);
        for (int button = 1; button <= 3; ++button)
            AddToolbarButton(button, ImageHandle(button));
        SetButtonText(toolbar, 1, "Hinzufügen");
        SetButtonText(toolbar, 2, "Entfernen");
        SetButtonText(toolbar, 3, "Beenden");
        SetToolbarButtonDisabled(0, 2, 1);

        ASSERT_NE(OpenStatusBar(1, window), 0);
        AddStatusField(KeepCurrent);
        SetStatusFieldText(1, 0, "0 Dateien werden geschützt");
        SetForegroundWindow(window);
        Pump(300);
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        Pump(50);
    }
    static void Pump(int milliseconds) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
            WaitEventTimeout(10);
    }
    // Opens title number `title` of the bar from the keyboard and saves the screen meanwhile.
    void CaptureMenu(int title, const char* name) {
        capture = Capture{ScreenshotPath(name), window, false, false};
        SetTimer(nullptr, 0, 600, CaptureOpenMenu);
        PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
        for (int i = 0; i < title; ++i)
            PostMessageA(window, WM_KEYDOWN, VK_RIGHT, 0);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        Pump(1200);
        EXPECT_TRUE(capture.popupSeen) << name;
        EXPECT_TRUE(capture.saved) << capture.path;
        std::printf("screenshot: %s\n", capture.path.c_str());
    }
    HWND window = nullptr;
};

TEST_F(ScreenshotTest, MainWindowWithTheProgramMenuOpen) {
    RECT area{};
    GetWindowRect(window, &area);
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(SaveBitmap(screen, area, ScreenshotPath("main_window.bmp")));
    ReleaseDC(nullptr, screen);
    CaptureMenu(0, "main_window_menu.bmp");
}

TEST_F(ScreenshotTest, ImageMenuWithPicturesSeparatorAndStates) {
    AddMenuTitle("Ansicht");
    AddMenuEntry(21, "&Hinzufügen\tStrg+N", ImageHandle(1));
    AddMenuEntry(22, "&Entfernen\tEntf", ImageHandle(2));
    AddMenuEntry(23, "Liste &sortieren", nullptr);
    HMENU view = GetSubMenu(GetMenu(window), 2);
    AppendMenuA(view, MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(24, "&Beenden", ImageHandle(3));
    BeginSubmenu("&Weitere");
    AddMenuEntry(25, "Eins", nullptr);
    EnableMenuItem(view, 22, MF_BYCOMMAND | MF_GRAYED);
    CheckMenuItem(view, 23, MF_BYCOMMAND | MF_CHECKED);
    CaptureMenu(2, "image_menu.bmp");
}

} // namespace
