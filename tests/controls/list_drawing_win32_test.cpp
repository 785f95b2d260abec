#include "controls/list_gadget.h"
#include "tests/controls/list_test_support.h"

using namespace list_test;

namespace {

class ListDrawing : public ListFixture {
  protected:
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF Back() const { return static_cast<COLORREF>(SendMessageA(list, LVM_GETBKCOLOR, 0, 0)); }

    void SetUp() override {
        ListFixture::SetUp();
        // A background unlike the button face, so that lines and fill tell apart.
        MakeList(ListFlagFullRowSelect | ListFlagGridLines, 150);
        WriteGadgetColor(TestList, ColorBackground, RGB(250, 250, 240));
    }
    void AddRows(int count) {
        for (int i = 0; i < count; ++i)
            InsertGadgetItem(TestList, -1, "Zeile", nullptr, 0);
    }
};

TEST_F(ListDrawing, GridLinesBetweenRowsContinueBelowTheLastRow) {
    AddRows(3);
    RECT first = RowBounds(0);
    int pitch = first.bottom - first.top;
    ASSERT_GT(pitch, 4);
    Pixels pixels = Capture(list);
    int x = first.right - 20; // inside the first column, right of the text
    for (int row = 0; row < 8; ++row) {
        int y = first.bottom - 1 + row * pitch;
        if (y >= pixels.height) break;
        EXPECT_EQ(pixels.At(x, y), face) << "line under row " << row;
        EXPECT_EQ(pixels.At(x, y - pitch / 2), Back()) << "inside row " << row;
    }
    // The first column's right edge, from the header down to the bottom.
    int below = first.bottom + 5 * pitch;
    ASSERT_LT(below, pixels.height);
    EXPECT_EQ(pixels.At(first.right, (first.top + first.bottom) / 2), face);
    EXPECT_EQ(pixels.At(first.right, below + 2), face);
    EXPECT_EQ(pixels.At(first.right + 10, below + 2), Back());
}

TEST_F(ListDrawing, GridColourAndColumnEdges) {
    InsertGadgetColumn(TestList, 1, "Zweite", 80);
    AddRows(2);
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    EXPECT_EQ(ReadGadgetColor(TestList, ColorGridLines), RGB(255, 0, 0));
    RECT first = RowBounds(0);
    Pixels pixels = Capture(list);
    EXPECT_EQ(pixels.At(100, first.bottom - 1), RGB(255, 0, 0));
    EXPECT_EQ(pixels.At(150, first.bottom + 40), RGB(255, 0, 0)); // column 1 starts at 150
    EXPECT_EQ(pixels.At(230, first.bottom + 40), RGB(255, 0, 0)); // the last column's right edge
    EXPECT_EQ(pixels.Count(face, RECT{0, HeaderBottom() + 1, pixels.width, pixels.height}), 0);
}

TEST_F(ListDrawing, WithoutRowsTheAreaUnderTheHeaderIsBackgroundOnly) {
    Pixels pixels = Capture(list);
    RECT below{0, HeaderBottom(), pixels.width, pixels.height};
    int area = (below.right - below.left) * (below.bottom - below.top);
    EXPECT_EQ(pixels.Count(Back(), below), area);
    EXPECT_EQ(pixels.Count(face, below), 0);
}

TEST_F(ListDrawing, CellColourShowsWhereItWasSet) {
    InsertGadgetColumn(TestList, 1, "Zweite", 100);
    AddRows(3);
    WriteGadgetItemColor(TestList, 1, ColorBackground, RGB(0, 0, 255), 0);
    WriteGadgetItemColor(TestList, 2, ColorBackground, RGB(0, 255, 0), 1);
    RECT row1 = RowBounds(1), row2 = RowBounds(2);
    Pixels pixels = Capture(list);
    int middle1 = (row1.top + row1.bottom) / 2, middle2 = (row2.top + row2.bottom) / 2;
    EXPECT_EQ(pixels.At(120, middle1), RGB(0, 0, 255));
    EXPECT_NE(pixels.At(200, middle1), RGB(0, 0, 255)); // column 1 of that row is not coloured
    EXPECT_EQ(pixels.At(200, middle2), RGB(0, 255, 0));
    EXPECT_NE(pixels.At(120, middle2), RGB(0, 255, 0));
    RECT row0 = RowBounds(0);
    EXPECT_EQ(pixels.At(120, (row0.top + row0.bottom) / 2), Back());
}

TEST_F(ListDrawing, DisabledListHasNoGridAndNoRowColours) {
    AddRows(3);
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    WriteGadgetItemColor(TestList, 1, ColorBackground, RGB(0, 0, 255), -1);
    Pixels enabled = Capture(list);
    RECT all{0, 0, enabled.width, enabled.height};
    ASSERT_GT(enabled.Count(RGB(255, 0, 0), all), 0);
    ASSERT_GT(enabled.Count(RGB(0, 0, 255), all), 0);

    EnableWindow(list, FALSE);
    Pixels disabled = Capture(list);
    EXPECT_EQ(disabled.Count(RGB(255, 0, 0), all), 0);
    EXPECT_EQ(disabled.Count(RGB(0, 0, 255), all), 0);
}

TEST_F(ListDrawing, GridOnlyWhenAskedFor) {
    Number plain = 2;
    CreateListGadget(plain, 0, 0, 400, 300, "Ohne", 150, ListFlagFullRowSelect);
    HWND other = GadgetHandle(plain);
    ShowWindow(list, SW_HIDE);
    for (int i = 0; i < 3; ++i)
        InsertGadgetItem(plain, -1, "Zeile", nullptr, 0);
    WriteGadgetColor(plain, ColorGridLines, RGB(255, 0, 0));
    Pixels pixels = Capture(other);
    EXPECT_EQ(pixels.Count(RGB(255, 0, 0), RECT{0, 0, pixels.width, pixels.height}), 0);
}

} // namespace
