// The main window's contents as the program builds them: the pictures, the menu tree, the
// toolbar, the status bar and the list.
#include "app/layout.h"

#include "app/background.h"

#include "controls/gadget.h"
#include "controls/toolbar.h"
#include "framework/dpi.h"
#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "tests/app/app_test_support.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <set>

using namespace apptest;

namespace {

template <class T> T At(const unsigned char* data, size_t offset) {
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

} // namespace

TEST(ToolbarPictures, AreCompleteIconFilesOfTheAgreedLayout) {
    for (int resource : {IDR_ICON_ADD, IDR_ICON_REMOVE, IDR_ICON_QUIT, IDR_ICON_FOLDER}) {
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10));
        ASSERT_NE(found, nullptr) << resource;
        auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
        // Directory: reserved 0, type 1, a picture for every scale from 100 % to 200 %.
        EXPECT_EQ(At<std::uint16_t>(data, 0), 0);
        EXPECT_EQ(At<std::uint16_t>(data, 2), 1);
        int count = At<std::uint16_t>(data, 4);
        std::set<int> sides;
        for (int i = 0; i < count; ++i)
            sides.insert(data[6 + 16 * i]);
        EXPECT_EQ(sides, (std::set<int>{16, 24, 32, 48, 64})) << resource;
        // Every picture lies inside the bounds the directory gives; the smallest is a plain
        // bitmap with alpha, every larger one a whole PNG of its directory's size with alpha.
        size_t total = SizeofResource(nullptr, found);
        for (int i = 0; i < count; ++i) {
            const unsigned char* entry = data + 6 + 16 * i;
            size_t bytes = At<std::uint32_t>(entry, 8), at = At<std::uint32_t>(entry, 12);
            ASSERT_LE(at + bytes, total) << resource;
            ASSERT_GT(bytes, 33u) << resource;
            if (entry[0] == 16) {
                EXPECT_EQ(At<std::uint32_t>(data, at), 40u) << resource;
                EXPECT_EQ(At<std::uint16_t>(data, at + 14), 32) << resource;
                continue;
            }
            EXPECT_EQ(std::memcmp(data + at, "\x89PNG\r\n\x1a\n", 8), 0) << resource;
            auto big = [&](size_t offset) {
                return (data[offset] << 24) | (data[offset + 1] << 16) | (data[offset + 2] << 8) | data[offset + 3];
            };
            EXPECT_EQ(big(at + 16), entry[0]) << resource;
            EXPECT_EQ(big(at + 20), entry[1]) << resource;
            EXPECT_EQ(data[at + 25], 6) << resource; // RGBA
        }
    }
}

class Layout : public MainWindowTest {};

namespace {

// Tells the window it now stands on a screen of that DPI, with a place of the scaled size, as
// the system does when it is dragged there, and lets the events that follow run.
void MoveToScreenOfDpi(HWND window, int dpi, bool followMain) {
    RECT outer = {};
    GetWindowRect(window, &outer);
    int old = DpiForWindow(window);
    RECT suggested = {outer.left, outer.top, outer.left + MulDiv(outer.right - outer.left, dpi, old),
                      outer.top + MulDiv(outer.bottom - outer.top, dpi, old)};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    for (int event; (event = WaitEventTimeout(50)) != 0;)
        if (followMain && event == DpiChangedWindowEvent && EventWindow() == WindowMain) FollowNewScale();
}

int ToolbarPictureSideOf(HWND toolbar) {
    int width = 0, height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)), &width,
                          &height);
    return width == height ? width : -1;
}

int FontHeight(HWND control) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

} // namespace

// The first start proves the captions, the list's place and styles end to end; here, what it
// cannot read from another process: the menu's end and the toolbar's order and pictures.
TEST_F(Layout, TheMenuEndsWithQuittingAndTheToolbarAddsFirst) {
    HMENU program = GetSubMenu(GetMenu(WindowHandle(WindowMain)), 0);
    int last = GetMenuItemCount(program) - 1;
    EXPECT_EQ(GetMenuItemID(program, last), static_cast<UINT>(ItemQuitMenu));
    EXPECT_TRUE(GetMenuState(program, last - 1, MF_BYPOSITION) & MF_SEPARATOR);

    HWND toolbar = ToolbarHandle(ToolbarMain);
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    const int order[] = {ItemAddFiles, ItemAddFolder, ItemRemoveFiles, ItemQuitButton};
    for (int index = 0; index < 4; ++index) {
        TBBUTTON button = {};
        SendMessageA(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(button.idCommand, order[index]) << index;
    }
    EXPECT_EQ(ToolbarPictureSideOf(toolbar), 32);
}

// A move to a screen at 150 %: the window takes the place offered, the toolbar comes back with
// pictures of the larger size and the same buttons, the bars and the list keep out of each
// other's way, fonts grow, and an open dialog follows to its own new scale.
TEST_F(Layout, FollowsTheWindowToAScreenOfAnotherScale) {
    HWND main = WindowHandle(WindowMain);
    HWND list = GadgetHandle(GadgetFileList);
    int listFont = FontHeight(list);
    OpenHotKeyDialog();
    HWND dialog = WindowHandle(WindowHotKey);
    HWND label = GadgetHandle(GadgetHotKeyText);
    RECT labelBefore = {};
    GetClientRect(label, &labelBefore);
    int labelFont = FontHeight(label);

    MoveToScreenOfDpi(main, 144, true);
    EXPECT_EQ(DpiForWindow(main), 144);
    EXPECT_EQ(DpiForWindow(list), 144);
    RECT client = {};
    GetClientRect(main, &client);
    EXPECT_GE(client.right, 600);

    HWND toolbar = ToolbarHandle(ToolbarMain);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(ToolbarPictureSideOf(toolbar), 48);
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, ItemRemoveFiles, 0));
    EXPECT_LE(ToolbarButtonsRight(ToolbarMain), client.right);

    auto place = [main](HWND child) {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    HWND status = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
    RECT bar = place(toolbar), rows = place(list), foot = place(status);
    EXPECT_LE(bar.bottom, rows.top);
    EXPECT_LE(rows.bottom, foot.top);
    EXPECT_GE(foot.bottom - foot.top, 27);
    EXPECT_GT(FontHeight(list), listFont);

    // Not below the new minimum, frame and menu bar of the new scale counted on top.
    MINMAXINFO limits = {};
    SendMessageW(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT frame = {0, 0, 600, 300};
    AdjustWindowRectForDpi(&frame, GetWindowLongW(main, GWL_STYLE), true, GetWindowLongW(main, GWL_EXSTYLE),
                           144);
    EXPECT_EQ(limits.ptMinTrackSize.x, frame.right - frame.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);

    // And back at 100 %: the place offered is taken, not held at the larger minimum.
    MoveToScreenOfDpi(main, 96, true);
    GetClientRect(main, &client);
    EXPECT_NEAR(client.right, 400, 1);
    EXPECT_EQ(ToolbarPictureSideOf(ToolbarHandle(ToolbarMain)), 32);

    // The dialog moves on its own: its children and their font grow with it.
    MoveToScreenOfDpi(dialog, 144, false);
    RECT labelAfter = {};
    GetClientRect(label, &labelAfter);
    EXPECT_NEAR(labelAfter.right, labelBefore.right * 3 / 2, 1);
    EXPECT_NEAR(labelAfter.bottom, labelBefore.bottom * 3 / 2, 1);
    EXPECT_GT(FontHeight(label), labelFont);
}
