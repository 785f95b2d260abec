// Toolbars in real framework windows: clicks as menu events, the owner's resize, right clicks
// and disabled buttons.
#include "controls/toolbar.h"

#include "controls/menu.h"
#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

constexpr Number TestWindow = 40;
constexpr unsigned ResizableWindow =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WindowCentreOnScreen;

HANDLE IconFromResource(Number image, int resource) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return nullptr;
    const void* data = LockResource(LoadResource(nullptr, found));
    ImageFromMemory(image, data, SizeofResource(nullptr, found));
    return ImageHandle(image);
}

// Events come out of the loop one per call; anything else that arrives meanwhile is skipped.
bool WaitForEvent(int code, int milliseconds = 2000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (WaitEventTimeout(20) == code) return true;
    return false;
}

void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

POINT ButtonCentre(HWND toolbar, int identifier) {
    RECT rect{};
    SendMessageA(toolbar, TB_GETRECT, identifier, reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void Click(HWND toolbar, int identifier, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP) {
    POINT at = ButtonCentre(toolbar, identifier);
    LPARAM position = MAKELPARAM(at.x, at.y);
    // Posted, as real input is, so that the toolbar's command comes out of the event loop.
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, position);
    PostMessageA(toolbar, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, position);
    PostMessageA(toolbar, up, 0, position);
}

class ToolbarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImages();
        InitToolbars();
        InitMenus();
        window = reinterpret_cast<HWND>(
            OpenTopWindow(TestWindow, 0, 0, 400, 220, "Toolbar", ResizableWindow, nullptr));
        ASSERT_NE(window, nullptr);
        Number opened = OpenToolbar(0, window);
        toolbar = ToolbarHandle(0);
        ASSERT_NE(toolbar, nullptr);
        ASSERT_EQ(opened, reinterpret_cast<Number>(toolbar));
        for (int button = 1; button <= 3; ++button)
            ASSERT_TRUE(AddToolbarButton(button, IconFromResource(button, IDR_ICON_ADD + button - 1)));
        DrainEvents();
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        DrainEvents();
    }
    HWND window = nullptr;
    HWND toolbar = nullptr;
};

TEST_F(ToolbarTest, ButtonClickIsTheSameMenuEventAsTheMenuEntry) {
    Click(toolbar, 2);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 2);
    EXPECT_EQ(EventWindow(), TestWindow);

    ASSERT_TRUE(CreateMenuBar(7, window));
    AddMenuTitle("Programm");
    AddMenuEntry(2, "Entfernen", nullptr);
    // What the menu sends when the entry is chosen.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, 0), 0);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 2);
    EXPECT_EQ(EventWindow(), TestWindow);
}

TEST_F(ToolbarTest, ButtonsHoldTheirImagesInTheToolbarsOwnList) {
    auto list = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(list, nullptr);
    int count = ImageList_GetImageCount(list);
    ASSERT_GE(count, 3);
    TBBUTTONINFOA info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_IMAGE | TBIF_STYLE;
    ASSERT_GE(SendMessageA(toolbar, TB_GETBUTTONINFOA, 3, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.iImage, count - 1);
    EXPECT_EQ(info.fsStyle & BTNS_CHECK, 0);
}

TEST_F(ToolbarTest, ResizingTheOwnerPostsAutosizeToTheToolbar) {
    MSG stale;
    while (PeekMessageA(&stale, toolbar, TB_AUTOSIZE, TB_AUTOSIZE, PM_REMOVE)) {
    }
    SetWindowPos(window, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Posted, so it waits in the queue until the owner's own resize handling is over.
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, toolbar, TB_AUTOSIZE, TB_AUTOSIZE, PM_REMOVE));
    DispatchMessageA(&posted);
    RECT client{}, bar{};
    GetClientRect(window, &client);
    GetWindowRect(toolbar, &bar);
    EXPECT_EQ(bar.right - bar.left, client.right);
}

TEST_F(ToolbarTest, RightClickLeavesNoButtonPressed) {
    ASSERT_TRUE(AddToolbarButton(9, IconFromResource(9, IDR_ICON_ADD), 1));
    TBBUTTONINFOA info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STYLE;
    SendMessageA(toolbar, TB_GETBUTTONINFOA, 9, reinterpret_cast<LPARAM>(&info));
    EXPECT_TRUE(info.fsStyle & BTNS_CHECK);

    // The left button holds the toggle button down; then the right one is clicked on it.
    POINT at = ButtonCentre(toolbar, 9);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(toolbar, TB_SETSTATE, 9, MAKELPARAM(TBSTATE_ENABLED | TBSTATE_PRESSED, 0));
    ASSERT_TRUE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, 9, 0));
    Click(toolbar, 9, WM_RBUTTONDOWN, WM_RBUTTONUP);
    DrainEvents();

    for (int button : {1, 2, 3, 9})
        EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, button, 0)) << button;
    EXPECT_NE(GetCapture(), toolbar);
}

TEST_F(ToolbarTest, DisabledButtonIsGreyAndSilent) {
    EXPECT_EQ(SetToolbarButtonDisabled(0, 2, 1), 1);
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, 2, 0));
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, 1, 0));
    Click(toolbar, 2);
    EXPECT_FALSE(WaitForEvent(MenuEvent, 300));

    EXPECT_EQ(SetToolbarButtonDisabled(0, 2, 0), 1);
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, 2, 0));
    Click(toolbar, 2);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 2);

    // A number without a toolbar changes nothing and still answers 1.
    EXPECT_EQ(SetToolbarButtonDisabled(33, 2, 1), 1);
    EXPECT_EQ(ToolbarHandle(33), nullptr);
}

TEST_F(ToolbarTest, NumbersAreFreedWithTheWindowAndOnReuse) {
    HWND first = toolbar;
    HWND second = reinterpret_cast<HWND>(OpenToolbar(0, window));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));

    Number dynamic = OpenToolbar(AnyNumber, window);
    ASSERT_NE(dynamic, 0);
    HWND dynamicWindow = ToolbarHandle(dynamic);
    EXPECT_TRUE(IsWindow(dynamicWindow));
    EXPECT_EQ(GetParent(dynamicWindow), window);
    EXPECT_EQ(GetWindowLongA(dynamicWindow, GWL_ID), ToolbarControlId);

    FreeToolbar(dynamic);
    EXPECT_FALSE(IsWindow(dynamicWindow));
    // The owner's subclass still names the freed number: a resize must not touch it.
    SetWindowPos(window, nullptr, 0, 0, 500, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    CloseTopWindow(TestWindow);
    EXPECT_EQ(ToolbarHandle(0), nullptr);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(OpenToolbar(1, nullptr), 0);
}

} // namespace
