#include "controls/list_gadget.h"
#include "tests/controls/list_test_support.h"

#include <algorithm>

using namespace list_test;

namespace {

using ListEventsTest = ListFixture;

using Events = std::vector<int>;

std::intptr_t LastSelected(HWND list) {
    return FindGadget(GetWindowLongPtrA(list, GWLP_ID))->lastSelected;
}

class ListEvents : public ListFixture {
  protected:
    POINT empty{}; // a point in the list below its rows

    void SetUp() override {
        ListFixture::SetUp();
        MakeList(0x4001000C);
        for (const char* text : {"eins", "zwei", "drei"})
            InsertGadgetItem(TestList, -1, text, nullptr, 0);
        RECT last = RowBounds(2);
        empty = {40, last.bottom + 40};
        GadgetEvents(TestList, 50);
    }
};

TEST_F(ListEvents, VeryFirstClickIntoEmptySpaceReportsOneChange) {
    // Nothing was reported yet, which is not -1, so the missing selection counts as new.
    EXPECT_EQ(LastSelected(list), 0);
    Click(list, empty.x, empty.y);
    Events events = GadgetEvents(TestList);
    EXPECT_EQ(events, (Events{GadgetEventChange, GadgetEventLeftClick}));
    EXPECT_EQ(LastSelected(list), -1);
    Click(list, empty.x, empty.y);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventLeftClick}));
}

TEST_F(ListEvents, ClickIntoEmptySpaceAfterASelectionReportsOneChange) {
    RECT row = RowBounds(1);
    Click(list, 40, (row.top + row.bottom) / 2);
    Events events = GadgetEvents(TestList);
    EXPECT_EQ(ReadGadgetState(TestList), 1);
    EXPECT_EQ(LastSelected(list), 1);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), GadgetEventLeftClick);
    EXPECT_EQ(std::count(events.begin(), events.end(), GadgetEventChange), 1);

    Click(list, empty.x, empty.y);
    EXPECT_EQ(ReadGadgetState(TestList), -1);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange, GadgetEventLeftClick}));
    EXPECT_EQ(LastSelected(list), -1);

    Click(list, empty.x, empty.y);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventLeftClick}));
}

TEST_F(ListEvents, RightClicksAndDoubleClicks) {
    Click(list, empty.x, empty.y, true);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange, GadgetEventRightClick}));

    // The control's own notifications, as it sends them to its parent.
    NMHDR header{list, static_cast<UINT_PTR>(TestList), static_cast<UINT>(NM_DBLCLK)};
    SendMessageA(window, WM_NOTIFY, TestList, reinterpret_cast<LPARAM>(&header));
    header.code = NM_RDBLCLK;
    SendMessageA(window, WM_NOTIFY, TestList, reinterpret_cast<LPARAM>(&header));
    header.code = LVN_BEGINDRAG;
    NMLISTVIEW drag{};
    drag.hdr = header;
    SendMessageA(window, WM_NOTIFY, TestList, reinterpret_cast<LPARAM>(&drag));
    EXPECT_EQ(GadgetEvents(TestList),
              (Events{GadgetEventLeftDoubleClick, GadgetEventRightDoubleClick, GadgetEventDragStart}));
}

TEST_F(ListEvents, SelectionChangesReportAChange) {
    WriteGadgetState(TestList, 2); // LVM_SETITEMSTATE: the control reports LVN_ITEMCHANGED
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));
    EXPECT_EQ(LastSelected(list), 2);
    // Clearing the selection alone reports nothing; the next click does.
    WriteGadgetState(TestList, -1);
    EXPECT_EQ(GadgetEvents(TestList), Events{});
    // Writing a selected row's text or colours changes no selection.
    WriteGadgetState(TestList, 0);
    GadgetEvents(TestList, 50);
    WriteGadgetItemText(TestList, 0, "neu", 0);
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(200, 0, 0), -1);
    EXPECT_EQ(GadgetEvents(TestList), Events{});
}

TEST_F(ListEventsTest, CheckingABoxReportsAChange) {
    MakeList(ListFlagCheckboxes);
    InsertGadgetItem(TestList, -1, "a", nullptr, 0);
    GadgetEvents(TestList, 50);
    WriteGadgetItemState(TestList, 0, 2);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));
    WriteGadgetItemState(TestList, 0, 0);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventChange}));
    WriteGadgetItemState(TestList, 0, 0); // no change, no event
    EXPECT_EQ(GadgetEvents(TestList), Events{});
}

TEST_F(ListEvents, EventsOfAListInANestedWindowReachTheFrameworkWindow) {
    HWND panel = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, window, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(FindTopWindow(panel), window);
    EXPECT_EQ(FindTopWindow(list), window);
    PostGadgetEvent(list, GadgetEventRightClick);
    EXPECT_EQ(GadgetEvents(TestList), (Events{GadgetEventRightClick}));
    DestroyWindow(panel);
}

} // namespace
