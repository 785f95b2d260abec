// What every gadget has, shown on lists: numbers, their lifetime, placement, the event hook and
// batches of rows.
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
        Number made = CreateListGadget(number, 0, 0, 400, 300, "Erste", 100, ListFlagGridLines);
        return number == AnyNumber ? GadgetHandle(made) : reinterpret_cast<HWND>(made);
    }
};

TEST_F(GadgetTest, NumbersNameTheirWindowUntilReusedFreedOrClosed) {
    HWND first = List(3);
    EXPECT_EQ(GadgetHandle(3), first);
    EXPECT_EQ(GetParent(first), window);
    EXPECT_EQ(GetDlgCtrlID(first), 3);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(first, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    InsertGadgetItem(3, -1, "alt", nullptr, 0);
    HWND second = List(3);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(GadgetItemCount(3), 0);
    DestroyWindow(second);
    EXPECT_EQ(GadgetHandle(3), nullptr);

    Number dynamic = CreateListGadget(AnyNumber, 0, 0, 50, 50, "", 0, 0);
    HWND dynamicWindow = GadgetHandle(dynamic);
    ASSERT_NE(dynamicWindow, nullptr);
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
    EXPECT_EQ(InsertGadgetItem(55, -1, "x", nullptr, 0), 0);
    EXPECT_EQ(ReadGadgetState(55), 0);
    EXPECT_STREQ(ReadGadgetItemText(55, 0, 0), "");
    EXPECT_STREQ(ReadGadgetText(55), "");
    EXPECT_EQ(ReadGadgetItemColor(55, 0, 1, 0), 0);
    EXPECT_EQ(InsertGadgetColumn(-1, 0, "x", 1), 0);
    MoveGadget(55, 1, 2, 3, 4);
    DeleteAllGadgetItems(55);
    BeginGadgetBatch(55);
    EndGadgetBatch(55);
    EXPECT_EQ(AddGadgetItems(55, nullptr, 3), 0);
}

TEST_F(GadgetTest, MoveKeepsWhatIsKeepCurrent) {
    HWND list = List(2);
    struct Case {
        int x, y, width, height;
        RECT expected;
    } cases[] = {
        {10, 20, 200, 100, {10, 20, 210, 120}},
        {KeepCurrent, KeepCurrent, 250, 120, {10, 20, 260, 140}},
        {30, KeepCurrent, KeepCurrent, KeepCurrent, {30, 20, 280, 140}},
    };
    for (const Case& c : cases) {
        MoveGadget(2, c.x, c.y, c.width, c.height);
        RECT r{};
        GetWindowRect(list, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
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

TEST_F(GadgetTest, VisualStylesFollowTheCommonControlsVersion) {
    List(1);
    // The test programs carry the program's manifest, which asks for common controls 6; Windows
    // then reports 6.x. Wine's one comctl32 always reports 5.81, so visual styles stay off there.
    int version = CommonControlsVersion();
    EXPECT_GE(version, 0x50051);
    if (version < 0x60000) {
        EXPECT_EQ(VisualStylesActive(), 0);
    }
    EXPECT_EQ(DetectVisualStyles(), version);
}

TEST_F(GadgetTest, BatchesAppendManyRowsNestAndDrawAgainAfterwards) {
    HWND list = List(1);
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i)
        texts.push_back("Datei " + std::to_string(i) + "\nmehr");
    std::vector<const char*> pointers;
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
