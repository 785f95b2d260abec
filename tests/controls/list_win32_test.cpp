// The report list in a real framework window: what goes in comes back, the extras follow their
// rows and columns, clicks and changes arrive as events, and what the list draws.
#include "controls/list_gadget.h"
#include "resources/resource_ids.h"
#include "tests/controls/controls_test_support.h"

#include <algorithm>
#include <string>

using namespace controls_test;

namespace {

constexpr Number TestList = 1;
using Events = std::vector<int>;

std::string Cell(int row, int column) {
    return ReadGadgetItemText(TestList, row, column);
}

void AddRows(int count, const char* text = "a\nb") {
    for (int i = 0; i < count; ++i)
        InsertGadgetItem(TestList, -1, text, nullptr, 0);
}

class ListTest : public WindowFixture {
  protected:
    void SetUp() override { Open(MainWindowFlags, 420, 320, "Liste"); }

    HWND MakeList(unsigned flags = ListFlagFullRowSelect | ListFlagGridLines, int columns = 1) {
        Number result = CreateListGadget(TestList, 0, 0, 400, 300, "Erste", 150, flags);
        list = GadgetHandle(TestList);
        EXPECT_EQ(result, reinterpret_cast<Number>(list));
        for (int column = 1; column < columns; ++column)
            InsertGadgetColumn(TestList, column, "Weitere", 80);
        return list;
    }
    RECT RowBounds(int row) const {
        RECT bounds{LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        return bounds;
    }
    int RowMiddle(int row) const {
        RECT r = RowBounds(row);
        return (r.top + r.bottom) / 2;
    }
    int HeaderBottom() const {
        RECT header{};
        GetWindowRect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);
        MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&header), 2);
        return header.bottom;
    }
    HWND list = nullptr;
};

TEST_F(ListTest, LineFeedsSplitARowIntoCellsThatComeBackWhole) {
    MakeList(ListFlagFullRowSelect, 3);
    std::string pages; // four bytes a character: the longest text is counted in bytes
    for (int i = 0; i < 100; ++i)
        pages += "\xF0\x9F\x93\x84";
    std::string scripts = "Datei.txt\nОтчёт łódź 日本\n" + pages;
    struct Case {
        int position;
        const char* text;
        int row;
        std::vector<std::string> cells;
    } cases[] = {
        {-1, "a\nbb\nccc", 0, {"a", "bb", "ccc"}},
        {-1, "x\n\nz", 1, {"x", "", "z"}}, // an empty field in the middle is a cell
        {-1, "p\n", 2, {"p", "", ""}},     // a line feed at the end adds none
        {-1, nullptr, 3, {"", "", ""}},
        {0, "first\nsecond", 0, {"first", "second", ""}}, // inserted before: the others move down
        {99, "end\nof\nlist", 5, {"end", "of", "list"}},  // past the end appends
        {-1, scripts.c_str(), 6, {"Datei.txt", "Отчёт łódź 日本", pages}},
    };
    for (const Case& c : cases) {
        InsertGadgetItem(TestList, c.position, c.text, nullptr, 0);
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(Cell(c.row, column), c.cells[column]) << (c.text ? c.text : "(none)") << " " << column;
    }
    // What the user sees is what the program gave, read past the program with the wide message.
    wchar_t shown[64] = {};
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = shown;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, 6, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(shown, L"Отчёт łódź 日本");

    // A text longer than any before is read back whole, also after the list was emptied.
    std::string longer = std::string(5000, 'x') + "Ende";
    WriteGadgetItemText(TestList, 0, longer.c_str(), 0);
    EXPECT_EQ(Cell(0, 0), longer);
    DeleteAllGadgetItems(TestList);
    AddRows(1, "abc");
    EXPECT_EQ(Cell(0, 0), "abc");
    EXPECT_EQ(Cell(7, 0), ""); // no such row

    // Row -1 is the column titles.
    EXPECT_EQ(Cell(-1, 0), "Erste");
    WriteGadgetItemText(TestList, -1, "Spalte ł", 1);
    EXPECT_EQ(Cell(-1, 1), "Spalte ł");
    EXPECT_EQ(Cell(-1, 5), "");

    // A list of one column keeps only the first field.
    MakeList();
    AddRows(1, "shown\nhidden");
    EXPECT_EQ(Cell(0, 1), "");
}

TEST_F(ListTest, StateIsTheLowestSelectedRowAndTextIsItsFirstCell) {
    MakeList(ListFlagMultiSelect | ListFlagFullRowSelect, 2);
    for (const char* text : {"0\na", "1\nb", "2\nc", "3\nd"})
        InsertGadgetItem(TestList, -1, text, nullptr, 0);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    WriteGadgetText(TestList, "nothing\nselected"); // nothing to write to
    EXPECT_EQ(Cell(0, 0), "0");

    WriteGadgetItemState(TestList, 3, 1);
    WriteGadgetItemState(TestList, 1, 1);
    EXPECT_EQ(ReadGadgetState(TestList), 1);

    // Setting the state selects that row alone and gives it the focus.
    WriteGadgetState(TestList, 2);
    EXPECT_EQ(ReadGadgetState(TestList), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
    EXPECT_STREQ(ReadGadgetText(TestList), "2");
    WriteGadgetText(TestList, "e\nf");
    EXPECT_EQ(Cell(2, 0), "e");
    EXPECT_EQ(Cell(2, 1), "f");

    WriteGadgetState(TestList, -1);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    EXPECT_STREQ(ReadGadgetText(TestList), "");
}

TEST_F(ListTest, CellColoursReadBackAsWritten) {
    MakeList(ListFlagFullRowSelect, 2);
    AddRows(2);
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(10, 20, 30), 1);
    WriteGadgetItemColor(TestList, 0, ColorBackground, RGB(0, 0, 0), 0); // black is a colour, not "unset"
    WriteGadgetItemColor(TestList, 5, ColorText, RGB(1, 1, 1), 0);       // outside the list: ignored
    WriteGadgetItemColor(TestList, 1, ColorText, RGB(1, 1, 1), 9);
    struct Read {
        int row, type, column, expected;
    } reads[] = {
        {0, ColorText, 1, RGB(10, 20, 30)},
        {0, ColorText, 0, -1},
        {0, ColorBackground, 0, 0},
        {0, ColorBackground, -1, 0}, // a negative column is column 0
        {0, 3, 1, -1},
        {1, ColorText, 0, -1},
    };
    for (const Read& r : reads)
        EXPECT_EQ(ReadGadgetItemColor(TestList, r.row, r.type, r.column), r.expected)
            << r.row << " " << r.type << " " << r.column;
    WriteGadgetItemColor(TestList, 0, ColorText, -1, 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 1), -1);

    // Row -1 and column -1 colour every cell there is, and no row that comes later.
    WriteGadgetItemColor(TestList, -1, ColorBackground, RGB(1, 2, 3), -1);
    for (int cell = 0; cell < 4; ++cell)
        EXPECT_EQ(ReadGadgetItemColor(TestList, cell / 2, ColorBackground, cell % 2), RGB(1, 2, 3));
    AddRows(1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 2, ColorBackground, 1), -1);
}

TEST_F(ListTest, RowExtrasMoveWithTheirRowsAndColumns) {
    MakeList(ListFlagMultiSelect, 2);
    for (const char* text : {"0", "1", "2", "3"})
        InsertGadgetItem(TestList, -1, text, nullptr, 0);
    WriteGadgetItemData(TestList, 1, -7);
    WriteGadgetItemData(TestList, 2, 0x7FFFFFFF);
    WriteGadgetItemData(TestList, 9, 99); // no such row
    WriteGadgetItemColor(TestList, 2, ColorText, RGB(1, 0, 0), 0);
    WriteGadgetItemColor(TestList, 2, ColorBackground, RGB(0, 0, 2), 1);
    WriteGadgetItemState(TestList, 3, 1);
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), -7);
    EXPECT_EQ(ReadGadgetItemData(TestList, 2), 0x7FFFFFFF); // the colours share the value's block
    EXPECT_EQ(ReadGadgetItemData(TestList, 9), 0);

    DeleteGadgetItem(TestList, 1);
    DeleteGadgetItem(TestList, 17); // no such row
    EXPECT_EQ(Cell(1, 0) + Cell(2, 0) + Cell(3, 0), "23");
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), 0x7FFFFFFF);
    EXPECT_EQ(ReadGadgetState(TestList), 2); // the others keep their selection

    // A column put in front shifts the cell colours right; taking it out shifts them back.
    EXPECT_EQ(InsertGadgetColumn(TestList, 1, "Neu", 60), 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorText, 0), RGB(1, 0, 0));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorBackground, 1), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorBackground, 2), RGB(0, 0, 2));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 0), -1); // never had extras
    DeleteGadgetColumn(TestList, 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorBackground, 1), RGB(0, 0, 2));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorBackground, 2), -1);
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), 0x7FFFFFFF);

    // New rows after emptying the list start without the old rows' extras.
    DeleteAllGadgetItems(TestList);
    AddRows(3);
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), 0);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorBackground, 1), -1);
}

TEST_F(ListTest, RowPicturesShareOneEntryPerPictureAndOutliveNoList) {
    MakeList();
    auto imageOf = [&](int row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    };
    auto small = [&] {
        return reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    };
    HICON icons[] = {LoadIconA(nullptr, MAKEINTRESOURCEA(32512)),
                     LoadIconA(nullptr, MAKEINTRESOURCEA(32516))};
    std::vector<HBITMAP> bitmaps;
    for (int i = 0; i < 60; ++i)
        bitmaps.push_back(CreateBitmap(i ? 16 : 40, i ? 16 : 40, 1, 32, nullptr));
    // Entry 0 is the placeholder for rows without a picture; a picture seen before is reused.
    HANDLE pictures[] = {icons[0], icons[0], icons[1], bitmaps[0], bitmaps[0]};
    int expected[] = {1, 1, 2, 3, 3};
    for (int row = 0; row < 5; ++row) {
        InsertGadgetItem(TestList, -1, "row", pictures[row], 0);
        EXPECT_EQ(imageOf(row), expected[row]) << row;
    }
    EXPECT_EQ(ImageList_GetImageCount(small()), 4);
    int width = 0, height = 0;
    ImageList_GetIconSize(small(), &width, &height);
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSMICON)); // the 40x40 bitmap was scaled
    DeleteAllGadgetItems(TestList);
    EXPECT_EQ(ImageList_GetImageCount(small()), 1);

    // More pictures than the first room for them, then one seen before.
    for (HBITMAP b : bitmaps)
        InsertGadgetItem(TestList, -1, "row", b, 0);
    EXPECT_EQ(imageOf(59), 60);
    InsertGadgetItem(TestList, -1, "again", bitmaps[27], 0);
    EXPECT_EQ(imageOf(60), 28);

    // A picture of the image table: a destroyed list takes its image lists, not the image.
    InsertGadgetItem(TestList, -1, "icon", IconFromResource(9, IDR_ICON_ADD), 0);
    EXPECT_EQ(imageOf(61), 61);
    FreeGadget(TestList);
    EXPECT_NE(ImageHandle(9), nullptr);
    ReleaseImage(9);
    for (HBITMAP b : bitmaps)
        DeleteObject(b);
}

TEST_F(ListTest, ClicksNotificationsAndChangesBecomeGadgetEvents) {
    MakeList(0x4001000C);
    AddRows(3, "Zeile");
    POINT empty{40, RowBounds(2).bottom + 40}; // below the rows
    GadgetEvents(TestList, 50);
    // The very first click: no selection was ever seen, so its absence is news.
    Click(list, empty.x, empty.y);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange, GadgetEventLeftClick}));
    Click(list, empty.x, empty.y);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventLeftClick}));

    Click(list, 40, RowMiddle(1));
    Events events = GadgetEvents(TestList);
    EXPECT_EQ(ReadGadgetState(TestList), 1);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), GadgetEventLeftClick);
    EXPECT_EQ(std::count(events.begin(), events.end(), GadgetEventChange), 1);

    Click(list, empty.x, empty.y);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange, GadgetEventLeftClick}));
    Click(list, empty.x, empty.y, true);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventRightClick}));

    // The control's own notifications, as it sends them to its parent.
    struct Case {
        UINT code;
        int event;
    } cases[] = {{static_cast<UINT>(NM_DBLCLK), GadgetEventLeftDoubleClick},
                 {static_cast<UINT>(NM_RDBLCLK), GadgetEventRightDoubleClick},
                 {static_cast<UINT>(LVN_BEGINDRAG), GadgetEventDragStart}};
    for (const Case& c : cases) {
        NMLISTVIEW notice{};
        notice.hdr = {list, static_cast<UINT_PTR>(TestList), c.code};
        SendMessageA(window, WM_NOTIFY, TestList, reinterpret_cast<LPARAM>(&notice));
        EXPECT_EQ(GadgetEvents(TestList), (Events{c.event})) << c.code;
    }

    WriteGadgetState(TestList, 2);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));
    // Clearing the selection alone reports nothing; the next click does.
    WriteGadgetState(TestList, -1);
    EXPECT_EQ(GadgetEvents(TestList), Events{});
    // Writing a selected row's text or colours changes no selection.
    WriteGadgetState(TestList, 0);
    GadgetEvents(TestList, 50);
    WriteGadgetItemText(TestList, 0, "neu", 0);
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(200, 0, 0), -1);
    EXPECT_EQ(GadgetEvents(TestList), Events{});

    // A list inside a nested window still reports to the framework window.
    HWND panel = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, window, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(FindTopWindow(panel), window);
    PostGadgetEvent(list, GadgetEventRightClick);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventRightClick}));
    DestroyWindow(panel);
}

TEST_F(ListTest, CheckBoxesAreTheItemStateAndCheckingOneIsAChange) {
    MakeList(ListFlagCheckboxes | ListFlagFullRowSelect);
    AddRows(2);
    EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    for (int state : {2, 1, 0}) {
        WriteGadgetItemState(TestList, 1, state);
        EXPECT_EQ(ReadGadgetItemState(TestList, 1), state);
    }
    GadgetEvents(TestList, 50);
    for (int state : {2, 0}) {
        WriteGadgetItemState(TestList, 0, state);
        EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange})) << state;
    }
    WriteGadgetItemState(TestList, 0, 0);
    EXPECT_EQ(GadgetEvents(TestList), Events{});
}

class ListDrawing : public ListTest {
  protected:
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF back = RGB(250, 250, 240); // unlike the button face, so that lines and fill tell apart

    void SetUp() override {
        ListTest::SetUp();
        MakeList(ListFlagFullRowSelect | ListFlagGridLines, 2);
        WriteGadgetColor(TestList, ColorBackground, back);
    }
    RECT Below(const Surface& pixels) const {
        return RECT{0, HeaderBottom() + 1, pixels.width, pixels.height};
    }
};

TEST_F(ListDrawing, GridLinesRunBetweenRowsAndOnBelowTheLast) {
    {
        // Without rows the area under the header is background only.
        Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
        Capture(list, pixels);
        RECT below = Below(pixels);
        EXPECT_EQ(pixels.Count(back, below), (below.right - below.left) * (below.bottom - below.top));
    }
    AddRows(3, "Zeile");
    RECT first = RowBounds(0);
    int pitch = first.bottom - first.top;
    ASSERT_GT(pitch, 4);
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    Capture(list, pixels);
    for (int row = 0; row < 8; ++row) {
        int y = first.bottom - 1 + row * pitch;
        if (y >= pixels.height) break;
        EXPECT_EQ(pixels.At(100, y), face) << "line under row " << row;
        EXPECT_EQ(pixels.At(100, y - pitch / 2), back) << "inside row " << row;
    }
    // The columns' right edges, from the header down to the bottom.
    int below = first.bottom + 5 * pitch;
    for (int edge : {150, 230}) {
        EXPECT_EQ(pixels.At(edge, RowMiddle(0)), face) << edge;
        EXPECT_EQ(pixels.At(edge, below + 2), face) << edge;
    }
    EXPECT_EQ(pixels.At(160, below + 2), back);

    // Lines in a colour of their own leave no button face under the header.
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    Capture(list, pixels);
    EXPECT_EQ(pixels.At(100, first.bottom - 1), RGB(255, 0, 0));
    EXPECT_EQ(pixels.At(230, below + 2), RGB(255, 0, 0));
    EXPECT_EQ(pixels.Count(face, Below(pixels)), 0);

    // A list made without grid lines draws none in any colour.
    CreateListGadget(TestList, 0, 0, 400, 300, "Ohne", 150, ListFlagFullRowSelect);
    AddRows(3, "Zeile");
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    Capture(GadgetHandle(TestList), pixels);
    EXPECT_EQ(pixels.Count(RGB(255, 0, 0)), 0);
}

TEST_F(ListDrawing, CellColoursShowWhereSetAndNotWhenDisabled) {
    AddRows(3, "Zeile");
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    WriteGadgetItemColor(TestList, 1, ColorBackground, RGB(0, 0, 255), 0);
    WriteGadgetItemColor(TestList, 2, ColorBackground, RGB(0, 255, 0), 1);
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    Capture(list, pixels);
    struct Spot {
        int x, row;
        COLORREF colour;
        bool there;
    } spots[] = {{120, 1, RGB(0, 0, 255), true},
                 {200, 1, RGB(0, 0, 255), false},
                 {200, 2, RGB(0, 255, 0), true},
                 {120, 2, RGB(0, 255, 0), false},
                 {120, 0, back, true}};
    for (const Spot& s : spots)
        EXPECT_EQ(pixels.At(s.x, RowMiddle(s.row)) == s.colour, s.there) << s.x << " " << s.row;

    EnableWindow(list, FALSE);
    Capture(list, pixels);
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0)})
        EXPECT_EQ(pixels.Count(colour), 0) << colour;
}

// The list's own colours: a row that colours only its text still shows the list's background
// in every cell, and giving a colour up brings back the system's.
TEST_F(ListTest, ListColoursFillUncolouredCellsAndGoBackToTheSystemsOnes) {
    MakeList(ListFlagFullRowSelect | ListFlagGridLines, 2);
    AddRows(3, "Zeile");
    const int startText = ReadGadgetColor(TestList, ColorText);
    const int startBack = ReadGadgetColor(TestList, ColorBackground);
    const COLORREF back = RGB(250, 250, 240);
    EXPECT_EQ(WriteGadgetColor(TestList, ColorBackground, back), 1);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorBackground), static_cast<int>(back));
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(200, 0, 0), -1);
    EXPECT_EQ(WriteGadgetColor(TestList, ColorText, RGB(0, 0, 160)), 1);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorText), static_cast<int>(RGB(0, 0, 160)));
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    Capture(list, pixels);
    for (int x : {120, 200})
        EXPECT_EQ(pixels.At(x, RowMiddle(0)), back) << x;

    WriteGadgetColor(TestList, ColorBackground, -1);
    WriteGadgetColor(TestList, ColorText, -1);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorBackground), startBack);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorText), startText);
    Capture(list, pixels);
    EXPECT_EQ(pixels.Count(back), 0);
    for (int x : {120, 200})
        EXPECT_EQ(pixels.At(x, RowMiddle(0)), GetSysColor(COLOR_WINDOW)) << x;
    // The grid lines keep their colour however often the others are read.
    WriteGadgetColor(TestList, ColorGridLines, RGB(255, 0, 0));
    EXPECT_EQ(ReadGadgetColor(TestList, ColorGridLines), static_cast<int>(RGB(255, 0, 0)));
    EXPECT_EQ(ReadGadgetColor(TestList, 99), -1);
}

// The list shown as icons, small icons, a list or a report, and its columns' widths: the rows
// and their colours stay through every change of view.
TEST_F(ListDrawing, ViewsAndColumnWidthsChangeTheShowingNotTheRows) {
    AddRows(3, "Zeile\nzwei");
    WriteGadgetItemColor(TestList, 1, ColorBackground, RGB(0, 255, 0), 0);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 3);
    struct Case {
        int asked, read;
        DWORD view;
    } cases[] = {{2, 2, LV_VIEW_LIST},
                 {1, 1, LV_VIEW_SMALLICON},
                 {0, 0, LV_VIEW_ICON},
                 {7, 0, LV_VIEW_ICON},
                 {3, 3, LV_VIEW_DETAILS}};
    for (const Case& c : cases) {
        WriteGadgetAttribute(TestList, ListAttributeDisplayMode, c.asked);
        EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), c.read) << c.asked;
        EXPECT_EQ(SendMessageA(list, LVM_GETVIEW, 0, 0), static_cast<LRESULT>(c.view)) << c.asked;
        EXPECT_EQ(GadgetItemCount(TestList), 3) << c.asked;
        EXPECT_EQ(Cell(2, 1), "zwei") << c.asked;
    }

    // Shown as a list, the coloured row still shows its colour.
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 2);
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    Capture(list, pixels);
    RECT label{LVIR_LABEL, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&label));
    EXPECT_GT(pixels.Count(RGB(0, 255, 0), label), 0);
    EXPECT_EQ(pixels.Count(RGB(0, 255, 0)), pixels.Count(RGB(0, 255, 0), label));
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 3);

    WriteGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 1, 123);
    EXPECT_EQ(ReadGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 1), 123);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), 123);
    EXPECT_EQ(ReadGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 0), 150);
    // Attribute numbers the list does not know change nothing and read as 0.
    WriteGadgetItemAttribute(TestList, 9, 1, 40);
    WriteGadgetAttribute(TestList, 9, 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), 123);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 3);
    EXPECT_EQ(ReadGadgetItemAttribute(TestList, 9, 1) + ReadGadgetAttribute(TestList, 9), 0);
}

// An owner-data list of ten thousand rows: every row is asked of the source when it is drawn or
// read, the selection and colours follow the row numbers, and nothing is kept per row.
constexpr int ManyRows = 10000;
constexpr int TypedRow = 7777;
constexpr COLORREF Red = RGB(255, 0, 0);
std::string longText(300, 'w');

std::string SourceText(int row, int column) {
    if (column == 1) return "Stufe " + std::to_string(row % 3);
    if (row == TypedRow) return "Quelle";
    if (row == 5) return longText;
    return "Zeile " + std::to_string(row);
}
int SourceColor(int row) { return row % 3 == 1 ? static_cast<int>(Red) : -1; }
const ListRowSource source{SourceText, SourceColor};

class OwnerDataList : public ListDrawing {
  protected:
    void SetUp() override {
        ListTest::SetUp();
        MakeList(ListFlagFullRowSelect | ListFlagGridLines | ListFlagMultiSelect | ListFlagOwnerData, 2);
        WriteGadgetColor(TestList, ColorBackground, back);
        SetListRowSource(TestList, &source);
        SetListRowCount(TestList, ManyRows);
    }
    std::wstring ControlText(int row, int column, int size) {
        std::wstring buffer(static_cast<std::size_t>(size), L'#');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = size;
        int length = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
        EXPECT_EQ(buffer.find(L'\0'), static_cast<std::size_t>(length)) << "ends where it says";
        return buffer.substr(0, static_cast<std::size_t>(length));
    }
    // Text is anti-aliased: its red is near red, not always exactly.
    static bool Reddish(COLORREF c) { return GetRValue(c) >= 140 && GetGValue(c) <= 70 && GetBValue(c) <= 70; }
    int RedPixels(const Surface& pixels, int row) {
        RECT bounds = RowBounds(row);
        RECT inside{0, std::max<LONG>(bounds.top + 1, 0), pixels.width, std::min<LONG>(bounds.bottom - 1, pixels.height)};
        return pixels.CountIf(inside, Reddish);
    }
};

TEST_F(OwnerDataList, TextsComeFromTheSourceWholeOrCutToTheCallersBuffer) {
    EXPECT_EQ(GadgetItemCount(TestList), ManyRows);
    EXPECT_EQ(Cell(ManyRows - 1, 0), "Zeile 9999");
    EXPECT_EQ(Cell(ManyRows - 1, 1), "Stufe 0");
    EXPECT_EQ(Cell(5, 0), longText) << "no guessed buffer cuts a long text";
    EXPECT_EQ(std::string(ReadGadgetItemText(TestList, ManyRows, 0)), "") << "past the end";
    // Another program reads the rows the way the control hands them out.
    EXPECT_EQ(ControlText(42, 0, 64), L"Zeile 42");
    EXPECT_EQ(ControlText(42, 0, 5), L"Zeil");
    EXPECT_EQ(ControlText(5, 0, 400).size(), longText.size());
    // The colour a row is drawn in reads back; rows past the end have none.
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorText, 0), static_cast<int>(Red));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 3, ColorText, 1), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, ManyRows + 1, ColorText, 0), -1);
    // Writing into rows the program owns does nothing and breaks nothing.
    WriteGadgetItemColor(TestList, 3, ColorText, Red, -1);
    WriteGadgetItemData(TestList, 3, 7);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 3, ColorText, 0), -1);
    EXPECT_EQ(ReadGadgetItemData(TestList, 3), 0);
}

TEST_F(OwnerDataList, SelectionFollowsRowNumbersAndShrinksWithTheCount) {
    GadgetEvents(TestList, 50);
    WriteGadgetState(TestList, ManyRows - 2);
    EXPECT_EQ(ReadGadgetState(TestList), ManyRows - 2);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));
    int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_GE(ManyRows - 2, top);
    EXPECT_LT(ManyRows - 2, top + page + 1) << "brought into sight";
    WriteGadgetItemState(TestList, ManyRows - 1, 1);
    EXPECT_EQ(ReadGadgetItemState(TestList, ManyRows - 1) & 1, 1);
    EXPECT_EQ(ReadGadgetItemState(TestList, ManyRows - 3) & 1, 0);
    EXPECT_EQ(ReadGadgetText(TestList), std::string("Zeile 9998"));

    // A range chosen at once is one notice from the control; it is a change like any other.
    NMLVODSTATECHANGE range{};
    range.hdr = {list, static_cast<UINT_PTR>(TestList), static_cast<UINT>(LVN_ODSTATECHANGED)};
    range.iFrom = 10;
    range.iTo = 20;
    range.uNewState = LVIS_SELECTED;
    GadgetEvents(TestList, 50);
    SendMessageW(window, WM_NOTIFY, TestList, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));

    // Fewer rows: the selection past the new end is gone, the row texts still come from the source.
    SetListRowCount(TestList, 5000);
    EXPECT_EQ(GadgetItemCount(TestList), 5000);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    EXPECT_EQ(Cell(4999, 0), "Zeile 4999");

    // Typing a row's start goes there, although the control holds no text to compare.
    SetListRowCount(TestList, ManyRows);
    SetFocus(list);
    SendMessageW(list, WM_CHAR, L'q', 1); // typed once: a repeat count of 1
    EXPECT_EQ(ReadGadgetState(TestList), TypedRow);
    SendMessageW(list, WM_CHAR, L'u', 1);
    EXPECT_EQ(ReadGadgetState(TestList), TypedRow) << "the longer start still matches";
}

TEST_F(OwnerDataList, RowsAreDrawnInTheSourcesColoursWhereverTheyAreScrolled) {
    for (int row : {0, ManyRows - 9}) {
        SendMessageW(list, LVM_ENSUREVISIBLE, ManyRows - 1, FALSE);
        SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
        UpdateWindow(list);
        Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
        Capture(list, pixels);
        for (int shown = row; shown < row + 6; ++shown)
            EXPECT_EQ(RedPixels(pixels, shown) > 0, SourceColor(shown) != -1) << shown;
    }
    // Disabled, the list draws no colour of the source at all.
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    EnableWindow(list, FALSE);
    Capture(list, pixels);
    EXPECT_EQ(pixels.CountIf(pixels.All(), Reddish), 0);
}

} // namespace
