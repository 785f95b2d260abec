// Labels in a real framework window: colours, the shared brush cache and what a label draws.
#include "controls/label.h"

#include "controls/gadget.h"
#include "framework/window.h"
#include "settings/wide_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr Number TestWindow = 43;
constexpr COLORREF Green = RGB(10, 200, 30);
constexpr COLORREF Red = RGB(255, 0, 0);

void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

// What the label paints, through the same WM_CTLCOLORSTATIC round trip as on screen.
std::vector<COLORREF> Render(HWND label) {
    RECT client{};
    GetClientRect(label, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    std::vector<COLORREF> pixels;
    auto* values = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < client.right * client.bottom; ++i)
        pixels.push_back(RGB((values[i] >> 16) & 0xFF, (values[i] >> 8) & 0xFF, values[i] & 0xFF));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return pixels;
}

int Count(const std::vector<COLORREF>& pixels, COLORREF colour) {
    int count = 0;
    for (COLORREF pixel : pixels)
        count += pixel == colour;
    return count;
}

class LabelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitGadgets();
        window = reinterpret_cast<HWND>(
            OpenTopWindow(TestWindow, 0, 0, 400, 100, "Label", WindowCentreOnScreen, nullptr));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        DrainEvents();
    }
    HWND window = nullptr;
};

TEST_F(LabelTest, IsAStaticControlWithTheFlagsAsStyle) {
    HWND label = reinterpret_cast<HWND>(
        CreateLabelGadget(101, 10, 10, 220, 20, "Drücken Sie jetzt eine beliebige Taste (a-z):", 0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GadgetHandle(101), label);
    EXPECT_EQ(GetParent(label), window);
    EXPECT_EQ(GetDlgCtrlID(label), 101);
    wchar_t text[64] = {};
    GetWindowTextW(label, text, 64);
    EXPECT_EQ(FromWide(text), "Drücken Sie jetzt eine beliebige Taste (a-z):");
    EXPECT_EQ(GetWindowLongA(label, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(ReadGadgetColor(101, LabelTextColor), -1);
    EXPECT_EQ(ReadGadgetColor(101, LabelBackColor), -1);

    Number dynamic = CreateLabelGadget(AnyNumber, 10, 40, 100, 20, nullptr, SS_CENTER | LabelSunken);
    ASSERT_NE(dynamic, 0);
    HWND sunken = GadgetHandle(dynamic);
    ASSERT_NE(sunken, nullptr);
    EXPECT_NE(GetWindowLongA(sunken, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(GetWindowLongA(sunken, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(GetWindowTextLengthA(sunken), 0);
}

TEST_F(LabelTest, LabelsOfOneBackgroundShareOneBrush) {
    ASSERT_NE(CreateLabelGadget(1, 10, 10, 100, 20, "erste", 0), 0);
    ASSERT_NE(CreateLabelGadget(2, 10, 40, 100, 20, "zweite", 0), 0);
    EXPECT_EQ(WriteGadgetColor(1, LabelBackColor, Green), 1);
    EXPECT_EQ(WriteGadgetColor(2, LabelBackColor, Green), 1);
    HBRUSH brush = FindGadget(1)->backBrush;
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(FindGadget(2)->backBrush, brush);
    EXPECT_EQ(CachedBrushUsers(brush), 2);
    EXPECT_EQ(ReadGadgetColor(2, LabelBackColor), static_cast<int>(Green));

    // The second label still draws its background after the first has gone.
    FreeGadget(1);
    EXPECT_EQ(GadgetHandle(1), nullptr);
    EXPECT_EQ(CachedBrushUsers(brush), 1);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    std::vector<COLORREF> pixels = Render(GadgetHandle(2));
    EXPECT_GT(Count(pixels, Green), static_cast<int>(pixels.size()) / 2);

    // The last user gives the brush back, and the cache deletes it.
    WriteGadgetColor(2, LabelBackColor, -1);
    EXPECT_EQ(FindGadget(2)->backBrush, nullptr);
    EXPECT_EQ(CachedBrushUsers(brush), 0);
    EXPECT_EQ(GetObjectType(brush), 0u);
}

TEST_F(LabelTest, ATextColourAloneDrawsOnTheButtonFace) {
    HWND label = reinterpret_cast<HWND>(CreateLabelGadget(3, 10, 10, 200, 24, "WWWWWWWW", 0));
    ASSERT_NE(label, nullptr);
    WriteGadgetColor(3, LabelTextColor, Red);
    EXPECT_EQ(ReadGadgetColor(3, LabelTextColor), static_cast<int>(Red));
    EXPECT_EQ(ReadGadgetColor(3, 7), -1);

    HDC dc = GetDC(label);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
        window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)));
    EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc), Red);
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(label, dc);

    std::vector<COLORREF> pixels = Render(label);
    EXPECT_GT(Count(pixels, GetSysColor(COLOR_BTNFACE)), static_cast<int>(pixels.size()) / 2);
    EXPECT_GT(Count(pixels, Red), 10);
}

TEST_F(LabelTest, BrushCacheCountsUsersPerColour) {
    HBRUSH first = AcquireCachedBrush(RGB(1, 2, 3));
    HBRUSH second = AcquireCachedBrush(RGB(1, 2, 3));
    HBRUSH other = AcquireCachedBrush(RGB(3, 2, 1));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
    EXPECT_EQ(CachedBrushUsers(first), 2);
    ReleaseCachedBrush(first);
    ReleaseCachedBrush(nullptr);
    ReleaseCachedBrush(reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(CachedBrushUsers(first), 1);
    ReleaseCachedBrush(second);
    ReleaseCachedBrush(other);
    EXPECT_EQ(CachedBrushUsers(first), 0);
    EXPECT_EQ(CachedBrushUsers(other), 0);
}

} // namespace
