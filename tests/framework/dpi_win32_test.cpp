// Display scale without moving a window to another screen: the fonts, icons and metrics of a
// scale, the scale a window was told of, and children following a window to a new scale.
#include "framework/dpi.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int FontHeight(HFONT font) {
    LOGFONTW description{};
    return GetObjectW(font, sizeof description, &description) ? std::abs(description.lfHeight) : 0;
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP picture{};
    GetObjectW(info.hbmMask, sizeof picture, &picture);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return picture.bmWidth;
}

RECT PlaceInParent(HWND child) {
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

HWND Child(HWND parent, int x, int y, int width, int height) {
    return CreateWindowExW(0, L"Static", L"x", WS_CHILD | WS_VISIBLE, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

class DpiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        system = SystemDpi();
        ASSERT_GT(system, 0);
        twice = 2 * system;
    }
    void TearDown() override { EndDpiResources(); }
    int system = 0;
    int twice = 0;
};

// A scale's font is made once, sized to the scale, and deleted only at the end; the system's
// own scale keeps the stock font, and a program that visits more scales than are kept still
// gets a font it can draw with.
TEST_F(DpiTest, FontsOfAScaleAreSizedSharedAndFreedAtTheEnd) {
    auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(GadgetFontForDpi(system), stock);

    HFONT doubled = GadgetFontForDpi(twice);
    ASSERT_NE(doubled, nullptr);
    EXPECT_NE(doubled, stock);
    EXPECT_NEAR(FontHeight(doubled), 2 * FontHeight(stock), 1);
    EXPECT_EQ(GadgetFontForDpi(twice), doubled);

    for (int step = 3; step <= 8; ++step) {
        HFONT font = GadgetFontForDpi(system * step / 2);
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT)) << step;
    }
    // The earlier scale's font is still the same one, not replaced by the later visits.
    EXPECT_EQ(GadgetFontForDpi(twice), doubled);

    EndDpiResources();
    EXPECT_EQ(GetObjectType(doubled), 0u);
    EXPECT_EQ(GetObjectType(stock), static_cast<DWORD>(OBJ_FONT));
    HFONT again = GadgetFontForDpi(twice);
    EXPECT_EQ(GetObjectType(again), static_cast<DWORD>(OBJ_FONT));
    EXPECT_NEAR(FontHeight(again), 2 * FontHeight(stock), 1);
}

TEST_F(DpiTest, ProgramIconsHaveTheSizesOfTheirScale) {
    HICON big = ProgramIconForDpi(twice, false);
    HICON small = ProgramIconForDpi(twice, true);
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_NE(big, small);
    EXPECT_EQ(IconWidth(big), SystemMetricForDpi(SM_CXICON, twice));
    EXPECT_EQ(IconWidth(small), SystemMetricForDpi(SM_CXSMICON, twice));
    EXPECT_EQ(IconWidth(ProgramIconForDpi(system, false)), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(ProgramIconForDpi(twice, true), small);
}

// What the system's metrics become at another scale: frames, icons and fonts all grow.
TEST_F(DpiTest, MetricsAndFramesGrowWithTheScale) {
    EXPECT_EQ(SystemMetricForDpi(SM_CXICON, system), GetSystemMetrics(SM_CXICON));
    EXPECT_NEAR(SystemMetricForDpi(SM_CXICON, twice), 2 * GetSystemMetrics(SM_CXICON), 1);

    NONCLIENTMETRICSW here{}, there{};
    ASSERT_TRUE(NonClientMetricsForDpi(&here, system));
    ASSERT_TRUE(NonClientMetricsForDpi(&there, twice));
    ASSERT_NE(here.lfMessageFont.lfHeight, 0);
    EXPECT_NEAR(std::abs(there.lfMessageFont.lfHeight), 2 * std::abs(here.lfMessageFont.lfHeight), 1);
    EXPECT_NEAR(std::abs(there.lfMenuFont.lfHeight), 2 * std::abs(here.lfMenuFont.lfHeight), 1);

    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT normal{0, 0, 100, 100}, large{0, 0, 100, 100};
    AdjustWindowRectForDpi(&normal, style, true, 0, system);
    AdjustWindowRectForDpi(&large, style, true, 0, twice);
    RECT plain{0, 0, 100, 100};
    AdjustWindowRectEx(&plain, style, TRUE, 0);
    EXPECT_EQ(normal.top, plain.top);
    EXPECT_EQ(normal.right, plain.right);
    // The caption and menu bar above the inner area grow with the scale (borders may stay thin).
    EXPECT_GT(-large.top, -normal.top * 3 / 2);
    EXPECT_GT(large.right, normal.right);
}

// A window told of a new scale answers with it, so do its children, until the window is gone.
TEST_F(DpiTest, ANotedScaleHoldsForTheWindowAndItsChildren) {
    EXPECT_EQ(DpiForWindow(nullptr), system);
    HWND top = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(top, nullptr);
    HWND child = Child(top, 0, 0, 10, 10);
    int before = DpiForWindow(child);
    EXPECT_GT(before, 0);
    NoteWindowDpi(top, twice);
    EXPECT_EQ(DpiForWindow(top), twice);
    EXPECT_EQ(DpiForWindow(child), twice);
    EXPECT_EQ(DpiScale(child, 10), 20);
    NoteWindowDpi(top, system);
    EXPECT_EQ(DpiForWindow(child), system);
    DestroyWindow(top);

    HWND other = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(DpiForWindow(other), before);
    DestroyWindow(other);
}

// Children move and grow with the scale; those in the controls' font take the font of the new
// scale, one with a font of its own keeps it; and the way back puts everything where it was.
TEST_F(DpiTest, ChildrenFollowTheWindowToANewScaleAndBack) {
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HWND plain = Child(parent, 10, 20, 100, 30);
    HWND styled = Child(parent, 5, 60, 40, 15);
    HWND bare = Child(parent, 0, 100, 50, 10);
    SendMessageW(plain, WM_SETFONT, reinterpret_cast<WPARAM>(GadgetFontForDpi(system)), FALSE);
    HFONT own = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    SendMessageW(styled, WM_SETFONT, reinterpret_cast<WPARAM>(own), FALSE);
    SendMessageW(bare, WM_SETFONT, 0, FALSE);

    // The same scale, or an unknown old one, moves nothing.
    RescaleChildren(parent, system, system);
    RescaleChildren(parent, 0, twice);
    RECT place = PlaceInParent(plain);
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.right, 110);

    RescaleChildren(parent, system, twice);
    place = PlaceInParent(plain);
    EXPECT_EQ(place.left, 20);
    EXPECT_EQ(place.top, 40);
    EXPECT_EQ(place.right - place.left, 200);
    EXPECT_EQ(place.bottom - place.top, 60);
    place = PlaceInParent(bare);
    EXPECT_EQ(place.top, 200);
    EXPECT_EQ(place.right - place.left, 100);
    HFONT large = GadgetFontForDpi(twice);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(plain, WM_GETFONT, 0, 0)), large);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(bare, WM_GETFONT, 0, 0)), large);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(styled, WM_GETFONT, 0, 0)), own);

    RescaleChildren(parent, twice, system);
    place = PlaceInParent(styled);
    EXPECT_EQ(place.left, 5);
    EXPECT_EQ(place.top, 60);
    EXPECT_EQ(place.right - place.left, 40);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(plain, WM_GETFONT, 0, 0)), GadgetFontForDpi(system));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(styled, WM_GETFONT, 0, 0)), own);

    DestroyWindow(parent);
    DeleteObject(own);
}

} // namespace
