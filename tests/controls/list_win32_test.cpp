#include "controls/list_gadget.h"
#include "tests/controls/list_test_support.h"

#include <string>

using namespace list_test;

namespace {

using ListTest = ListFixture;

std::string Cell(int row, int column) {
    return ReadGadgetItemText(TestList, row, column);
}

TEST_F(ListTest, LineFeedsSplitARowIntoColumns) {
    MakeList();
    ASSERT_EQ(InsertGadgetColumn(TestList, 1, "Zweite", 80), 1);
    ASSERT_EQ(InsertGadgetColumn(TestList, 2, "Dritte", 80), 2);
    EXPECT_EQ(InsertGadgetItem(TestList, -1, "a\nbb\nccc", nullptr, 0), 0);
    EXPECT_EQ(Cell(0, 0), "a");
    EXPECT_EQ(Cell(0, 1), "bb");
    EXPECT_EQ(Cell(0, 2), "ccc");

    // An empty field in the middle is a cell; a line feed at the end adds none.
    InsertGadgetItem(TestList, -1, "x\n\nz", nullptr, 0);
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_EQ(Cell(1, 2), "z");
    InsertGadgetItem(TestList, -1, "p\n", nullptr, 0);
    EXPECT_EQ(Cell(2, 0), "p");
    EXPECT_EQ(Cell(2, 1), "");
    // No text is an empty row.
    InsertGadgetItem(TestList, -1, nullptr, nullptr, 0);
    EXPECT_EQ(GadgetItemCount(TestList), 4);
    EXPECT_EQ(Cell(3, 0), "");

    // Inserting before a row moves it down; cells land in the new row.
    InsertGadgetItem(TestList, 0, "first\nsecond", nullptr, 0);
    EXPECT_EQ(Cell(0, 1), "second");
    EXPECT_EQ(Cell(1, 0), "a");
    // A position past the end appends, with all its cells.
    InsertGadgetItem(TestList, 99, "end\nof\nlist", nullptr, 0);
    EXPECT_EQ(Cell(5, 0), "end");
    EXPECT_EQ(Cell(5, 2), "list");
}

TEST_F(ListTest, OneColumnListShowsOnlyTheFirstField) {
    MakeList();
    InsertGadgetItem(TestList, -1, "shown\nhidden\nhidden too", nullptr, 0);
    EXPECT_EQ(Cell(0, 0), "shown");
    EXPECT_EQ(Cell(0, 1), "");
    EXPECT_EQ(GadgetItemCount(TestList), 1);
}

TEST_F(ListTest, ReadingBackNeverTruncates) {
    MakeList();
    std::string path = "C:\\" + std::string(300, 'p') + "\\Datei.txt";
    std::string longer(5000, 'x');
    longer += "Ende";
    InsertGadgetItem(TestList, -1, "short", nullptr, 0);
    InsertGadgetItem(TestList, -1, path.c_str(), nullptr, 0);
    EXPECT_EQ(Cell(1, 0), path);
    EXPECT_EQ(Cell(0, 0), "short");
    WriteGadgetItemText(TestList, 0, longer.c_str(), 0);
    EXPECT_EQ(Cell(0, 0), longer);
    // Umlauts are two bytes of UTF-8 in the program and come back as they went in.
    InsertGadgetItem(TestList, -1, "Geschützte Dateien", nullptr, 0);
    EXPECT_EQ(Cell(2, 0), "Geschützte Dateien");

    EXPECT_EQ(FindGadget(TestList)->longestText, longer.size());
    DeleteAllGadgetItems(TestList);
    EXPECT_EQ(GadgetItemCount(TestList), 0);
    EXPECT_EQ(FindGadget(TestList)->longestText, 0u);
    InsertGadgetItem(TestList, -1, "abc", nullptr, 0);
    EXPECT_EQ(FindGadget(TestList)->longestText, 3u);
    EXPECT_EQ(Cell(0, 0), "abc");
    // A row that is not there reads as empty.
    EXPECT_EQ(Cell(7, 0), "");
}

TEST_F(ListTest, ColumnTitlesThroughRowMinusOne) {
    MakeList();
    EXPECT_EQ(Cell(-1, 0), "Erste");
    WriteGadgetItemText(TestList, -1, "Geschützte Dateien", 0);
    EXPECT_EQ(Cell(-1, 0), "Geschützte Dateien");
    EXPECT_EQ(Cell(-1, 3), ""); // no such column
}

TEST_F(ListTest, StateIsTheLowestSelectedRow) {
    MakeList(ListFlagMultiSelect | ListFlagFullRowSelect);
    EXPECT_EQ(ReadGadgetState(TestList), -1); // empty
    for (const char* text : {"0", "1", "2", "3"})
        InsertGadgetItem(TestList, -1, text, nullptr, 0);
    EXPECT_EQ(ReadGadgetState(TestList), -1); // nothing selected
    WriteGadgetItemState(TestList, 3, 1);
    WriteGadgetItemState(TestList, 1, 1);
    EXPECT_EQ(ReadGadgetState(TestList), 1);
    EXPECT_EQ(ReadGadgetItemState(TestList, 3), 1);

    WriteGadgetState(TestList, 2);
    EXPECT_EQ(ReadGadgetState(TestList), 2);
    EXPECT_EQ(ReadGadgetItemState(TestList, 1), 0);
    EXPECT_EQ(ReadGadgetItemState(TestList, 3), 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
    EXPECT_EQ(std::string(ReadGadgetText(TestList)), "2");

    WriteGadgetState(TestList, -1);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    EXPECT_EQ(std::string(ReadGadgetText(TestList)), "");
}

TEST_F(ListTest, SingleSelectionUnlessAskedForMore) {
    MakeList(0);
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & LVS_SINGLESEL);
    Number multi = 2;
    CreateListGadget(multi, 0, 0, 100, 100, "", 0, ListFlagMultiSelect | LVS_SHOWSELALWAYS);
    LONG style = GetWindowLongA(GadgetHandle(multi), GWL_STYLE);
    EXPECT_FALSE(style & LVS_SINGLESEL);
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(GetWindowLongA(GadgetHandle(multi), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(ListTest, TheProgramsOwnListStyle) {
    MakeList(0x4001000C);
    LONG style = GetWindowLongA(list, GWL_STYLE);
    EXPECT_EQ(
        style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS),
        static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS));
    EXPECT_EQ(style & (LVS_SINGLESEL | LVS_TYPEMASK), LVS_REPORT);
    auto extended = SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(extended & (LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES),
              LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(FindGadget(TestList)->flags, ListGridLines);
    EXPECT_EQ(FindGadget(TestList)->gridColor, -1);
}

TEST_F(ListTest, TextOfTheSelectedRow) {
    MakeList();
    InsertGadgetColumn(TestList, 1, "Zweite", 80);
    InsertGadgetItem(TestList, -1, "a\nb", nullptr, 0);
    InsertGadgetItem(TestList, -1, "c\nd", nullptr, 0);
    WriteGadgetText(TestList, "nothing selected"); // does nothing
    EXPECT_EQ(Cell(0, 0), "a");
    WriteGadgetState(TestList, 1);
    WriteGadgetText(TestList, "e\nf");
    EXPECT_EQ(Cell(1, 0), "e");
    EXPECT_EQ(Cell(1, 1), "f");
    EXPECT_EQ(std::string(ReadGadgetText(TestList)), "e");
}

TEST_F(ListTest, CheckBoxesInTheItemState) {
    MakeList(ListFlagCheckboxes | ListFlagFullRowSelect);
    EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT); // the flag is no view bit
    InsertGadgetItem(TestList, -1, "a", nullptr, 0);
    InsertGadgetItem(TestList, -1, "b", nullptr, 0);
    EXPECT_EQ(ReadGadgetItemState(TestList, 0), 0);
    WriteGadgetItemState(TestList, 0, 2);
    EXPECT_EQ(ReadGadgetItemState(TestList, 0), 2);
    WriteGadgetItemState(TestList, 1, 3);
    EXPECT_EQ(ReadGadgetItemState(TestList, 1), 3);
    WriteGadgetItemState(TestList, 1, 1);
    EXPECT_EQ(ReadGadgetItemState(TestList, 1), 1);
    WriteGadgetItemState(TestList, 0, 0);
    EXPECT_EQ(ReadGadgetItemState(TestList, 0), 0);
}

TEST_F(ListTest, DeletingRows) {
    MakeList(ListFlagMultiSelect);
    for (const char* text : {"0", "1", "2", "3"})
        InsertGadgetItem(TestList, -1, text, nullptr, 0);
    WriteGadgetItemData(TestList, 1, 11);
    WriteGadgetItemData(TestList, 2, 22);
    WriteGadgetItemState(TestList, 3, 1);
    DeleteGadgetItem(TestList, 1);
    EXPECT_EQ(GadgetItemCount(TestList), 3);
    EXPECT_EQ(Cell(1, 0), "2");
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), 22); // the extras move with their row
    EXPECT_EQ(ReadGadgetState(TestList), 2);        // the others keep their selection
    DeleteGadgetItem(TestList, 17);                 // no such row
    EXPECT_EQ(GadgetItemCount(TestList), 3);
    DeleteAllGadgetItems(TestList);
    EXPECT_EQ(GadgetItemCount(TestList), 0);
    // New rows start without the old rows' extras.
    InsertGadgetItem(TestList, -1, "neu", nullptr, 0);
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), 0);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 0), -1);
}

TEST_F(ListTest, ColumnChangesReshapeTheRowExtras) {
    MakeList();
    InsertGadgetColumn(TestList, 1, "B", 60);
    InsertGadgetItem(TestList, -1, "a\nb", nullptr, 0);
    InsertGadgetItem(TestList, -1, "plain", nullptr, 0);
    WriteGadgetItemData(TestList, 0, 5);
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(1, 0, 0), 0);
    WriteGadgetItemColor(TestList, 0, ColorBackground, RGB(0, 0, 2), 1);

    EXPECT_EQ(InsertGadgetColumn(TestList, 1, "Neu", 60), 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 0), RGB(1, 0, 0));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 1), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 2), RGB(0, 0, 2));
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), 5);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorText, 0), -1); // never had extras

    DeleteGadgetColumn(TestList, 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 1), RGB(0, 0, 2));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 2), -1); // column gone
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), 5);
}

} // namespace
