// What every gadget has, shown on lists: numbers, their lifetime, the event hook and batches.
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "tests/controls/controls_test_support.h"

#include <string>

using namespace controls_test;

namespace {

class GadgetTest : public WindowFixture {
  protected:
    void SetUp() override { Open(); }
    HWND List(Number number) {
        return reinterpret_cast<HWND>(
            CreateListGadget(number, 0, 0, 400, 300, "Erste", 100, ListFlagGridLines));
    }
};

TEST_F(GadgetTest, NumbersNameTheirWindowUntilReusedFreedOrClosed) {
    HWND first = List(3);
    EXPECT_EQ(GadgetHandle(3), first);
    EXPECT_EQ(GetParent(first), window);
    EXPECT_EQ(GetDlgCtrlID(first), 3);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(first, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    InsertGadgetItem(3, -1, "alt", nullptr, 0);
    HWND second = List(3);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(GadgetItemCount(3), 0);
    DestroyWindow(second);
    EXPECT_EQ(GadgetHandle(3), nullptr);

    Number dynamic = CreateListGadget(AnyNumber, 0, 0, 50, 50, "", 0, 0);
    HWND dynamicWindow = GadgetHandle(dynamic);
    EXPECT_EQ(GetDlgCtrlID(dynamicWindow), dynamic);
    InsertGadgetItem(dynamic, -1, "dynamisch", nullptr, 0);
    EXPECT_STREQ(ReadGadgetItemText(dynamic, 0, 0), "dynamisch");
    FreeGadget(dynamic);
    EXPECT_FALSE(IsWindow(dynamicWindow));
    EXPECT_EQ(GadgetHandle(dynamic), nullptr);

    // Closing the owner window takes its gadgets with it.
    HWND third = List(4);
    CloseTopWindow(TestWindow);
    EXPECT_FALSE(IsWindow(third));
    EXPECT_EQ(GadgetHandle(4), nullptr);

    // Numbers without a gadget do nothing.
    EXPECT_EQ(InsertGadgetItem(55, -1, "x", nullptr, 0) + ReadGadgetState(55) +
                  ReadGadgetItemColor(55, 0, 1, 0) + InsertGadgetColumn(-1, 0, "x", 1) +
                  AddGadgetItems(55, nullptr, 3),
              0);
    EXPECT_STREQ(ReadGadgetItemText(55, 0, 0), "");
    EXPECT_STREQ(ReadGadgetText(55), "");
    MoveGadget(55, 1, 2, 3, 4);
    DeleteAllGadgetItems(55);
    BeginGadgetBatch(55);
    EndGadgetBatch(55);
}

TEST_F(GadgetTest, OnlyTheGadgetsOwnLiveControlReportsEvents) {
    HWND list = List(5);
    // A control that claims gadget 5's number but is not its window.
    HWND impostor = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 10, 10, window,
                                    reinterpret_cast<HMENU>(5), nullptr, nullptr);
    NMHDR click{impostor, 5, static_cast<UINT>(NM_CLICK)};
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(GadgetEvents(5).empty());
    // The real control, with an identifier that names no gadget of its own.
    SetWindowLongPtrA(list, GWLP_ID, 6);
    click.hwndFrom = list;
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(GadgetEvents(5).empty());
    SetWindowLongPtrA(list, GWLP_ID, 5);
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_FALSE(GadgetEvents(5).empty());
    DestroyWindow(impostor);
}

TEST_F(GadgetTest, BatchesAppendManyRowsNestAndDrawAgainAfterwards) {
    HWND list = List(1);
    std::vector<std::string> texts;
    std::vector<const char*> pointers;
    for (int i = 0; i < 500; ++i)
        texts.push_back("Datei " + std::to_string(i) + "\nmehr");
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());
    EXPECT_EQ(AddGadgetItems(1, pointers.data(), static_cast<int>(pointers.size())), 500);
    EXPECT_STREQ(ReadGadgetItemText(1, 499, 0), "Datei 499");

    BeginGadgetBatch(1);
    BeginGadgetBatch(1);
    InsertGadgetItem(1, -1, "innen", nullptr, 0);
    EndGadgetBatch(1);
    EndGadgetBatch(1);
    EndGadgetBatch(1); // one too many: ignored
    BeginGadgetBatch(1);
    EndGadgetBatch(1);
    EXPECT_EQ(GadgetItemCount(1), 501);
    // Drawing is back on: the last rows show, with their grid lines, when scrolled to.
    SendMessageA(list, LVM_ENSUREVISIBLE, 500, FALSE);
    Surface pixels(ClientOf(list).right, ClientOf(list).bottom);
    Capture(list, pixels);
    EXPECT_GT(pixels.Count(GetSysColor(COLOR_BTNFACE)), 100);
}

} // namespace
