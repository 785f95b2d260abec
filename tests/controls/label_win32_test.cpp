// Labels in a real framework window: their text, colours, the shared brush cache and what a
// label draws.
#include "controls/label.h"

#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <memory>

using namespace controls_test;

namespace {

constexpr COLORREF Green = RGB(10, 200, 30);
constexpr COLORREF Red = RGB(255, 0, 0);

// What the label paints, through the same WM_CTLCOLORSTATIC round trip as on screen.
std::unique_ptr<Surface> Render(HWND label) {
    RECT client = ClientOf(label);
    auto surface = std::make_unique<Surface>(client.right, client.bottom);
    SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface->dc()), PRF_CLIENT | PRF_ERASEBKGND);
    return surface;
}

class LabelTest : public WindowFixture {
  protected:
    void SetUp() override { Open(WindowCentreOnScreen, 400, 100, "Label"); }
};

TEST_F(LabelTest, ShowsItsTextInAnyScriptAndTakesItsFlags) {
    const char text[] = "Drücken Sie Отчёт łódź 日本 (a-z):";
    auto label = reinterpret_cast<HWND>(CreateLabelGadget(101, 10, 10, 220, 20, text, 0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GadgetHandle(101), label);
    wchar_t shown[64] = {};
    GetWindowTextW(label, shown, 64);
    EXPECT_EQ(FromWide(shown), text);
    EXPECT_EQ(ReadGadgetColor(101, LabelTextColor), -1);
    EXPECT_EQ(ReadGadgetColor(101, LabelBackColor), -1);
    HWND sunken = GadgetHandle(CreateLabelGadget(AnyNumber, 10, 40, 100, 20, nullptr, LabelSunken));
    EXPECT_NE(GetWindowLongA(sunken, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(LabelTest, LabelsOfOneBackgroundShareOneBrushUntilTheLastLetsGo) {
    ASSERT_NE(CreateLabelGadget(1, 10, 10, 100, 20, "erste", 0), 0);
    ASSERT_NE(CreateLabelGadget(2, 10, 40, 100, 20, "zweite", 0), 0);
    EXPECT_EQ(WriteGadgetColor(1, LabelBackColor, Green), 1);
    EXPECT_EQ(WriteGadgetColor(2, LabelBackColor, Green), 1);
    EXPECT_EQ(ReadGadgetColor(2, LabelBackColor), static_cast<int>(Green));
    HBRUSH brush = AcquireCachedBrush(Green);
    EXPECT_EQ(CachedBrushUsers(brush), 3);
    ReleaseCachedBrush(brush);

    // The second label still draws its background after the first has gone.
    FreeGadget(1);
    EXPECT_EQ(CachedBrushUsers(brush), 1);
    auto pixels = Render(GadgetHandle(2));
    EXPECT_GT(pixels->Count(Green), pixels->width * pixels->height / 2);

    // The last user gives the brush back, and the cache deletes it; brushes it never made it
    // leaves alone.
    WriteGadgetColor(2, LabelBackColor, -1);
    EXPECT_EQ(CachedBrushUsers(brush), 0);
    EXPECT_EQ(GetObjectType(brush), 0u);
    ReleaseCachedBrush(nullptr);
    ReleaseCachedBrush(reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
    HBRUSH one = AcquireCachedBrush(RGB(1, 2, 3)), other = AcquireCachedBrush(RGB(3, 2, 1));
    EXPECT_NE(one, other);
    ReleaseCachedBrush(one);
    ReleaseCachedBrush(other);
}

TEST_F(LabelTest, ATextColourAloneDrawsOnTheButtonFace) {
    auto label = reinterpret_cast<HWND>(CreateLabelGadget(3, 10, 10, 200, 24, "WWWWWWWW", 0));
    WriteGadgetColor(3, LabelTextColor, Red);
    EXPECT_EQ(ReadGadgetColor(3, LabelTextColor), static_cast<int>(Red));
    EXPECT_EQ(ReadGadgetColor(3, 7), -1);
    auto pixels = Render(label);
    EXPECT_GT(pixels->Count(GetSysColor(COLOR_BTNFACE)), pixels->width * pixels->height / 2);
    EXPECT_GT(pixels->Count(Red), 10);
}

} // namespace
