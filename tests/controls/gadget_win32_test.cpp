#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "tests/controls/list_test_support.h"

#include <string>

using namespace list_test;

namespace {

using GadgetTest = ListFixture;

RECT PlaceInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(GadgetTest, RegistrationMarksTheWindowWithItsNumber) {
    HWND made = MakeList(0, 100, 7);
    EXPECT_EQ(GetParent(made), window);
    EXPECT_EQ(GetWindowLongPtrA(made, GWLP_ID), 7);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(made, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    Gadget* gadget = FindGadget(7);
    ASSERT_NE(gadget, nullptr);
    EXPECT_EQ(gadget->gadgetClass->kind, GadgetKindList);
    EXPECT_EQ(gadget->number, 7);

    Number dynamic = CreateListGadget(AnyNumber, 0, 0, 50, 50, "", 0, 0);
    ASSERT_NE(dynamic, 0);
    HWND dynamicWindow = GadgetHandle(dynamic);
    ASSERT_NE(dynamicWindow, nullptr);
    EXPECT_NE(reinterpret_cast<Number>(dynamicWindow), dynamic);
    EXPECT_EQ(GetWindowLongPtrA(dynamicWindow, GWLP_ID), dynamic);
    InsertGadgetItem(dynamic, -1, "dynamisch", nullptr, 0);
    EXPECT_EQ(std::string(ReadGadgetItemText(dynamic, 0, 0)), "dynamisch");
    FreeGadget(dynamic);
    EXPECT_FALSE(IsWindow(dynamicWindow));
    EXPECT_EQ(GadgetHandle(dynamic), nullptr);
}

TEST_F(GadgetTest, ReusingANumberOrDestroyingTheWindowFreesTheGadget) {
    HWND first = MakeList(0, 100, 3);
    InsertGadgetItem(3, -1, "alt", nullptr, 0);
    WriteGadgetItemColor(3, 0, ColorText, RGB(1, 2, 3), 0);
    HWND second = MakeList(0, 100, 3);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_NE(first, second);
    EXPECT_EQ(GadgetItemCount(3), 0);

    DestroyWindow(second);
    EXPECT_EQ(GadgetHandle(3), nullptr);
    EXPECT_EQ(FindGadget(3), nullptr);
    // Closing the owner window takes its gadgets with it.
    HWND third = MakeList(0, 100, 4);
    CloseTopWindow(TestWindow);
    EXPECT_FALSE(IsWindow(third));
    EXPECT_EQ(GadgetHandle(4), nullptr);
}

TEST_F(GadgetTest, NumbersWithoutAGadgetDoNothing) {
    EXPECT_EQ(GadgetHandle(55), nullptr);
    EXPECT_EQ(GadgetItemCount(55), 0);
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
    MakeList(0, 100, 2);
    MoveGadget(2, 10, 20, 200, 100);
    RECT r = PlaceInParent(list);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    MoveGadget(2, KeepCurrent, KeepCurrent, 250, 120);
    r = PlaceInParent(list);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 250);
    EXPECT_EQ(r.bottom - r.top, 120);
    MoveGadget(2, 30, KeepCurrent, KeepCurrent, KeepCurrent);
    r = PlaceInParent(list);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 250);
}

TEST_F(GadgetTest, HookTakesOnlyLiveGadgetsWhoseWindowIsTheControl) {
    MakeList(0, 100, 5);
    // A control that claims gadget 5's number but is not its window.
    HWND impostor = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 10, 10, window,
                                    reinterpret_cast<HMENU>(5), nullptr, nullptr);
    NMHDR click{impostor, 5, static_cast<UINT>(NM_CLICK)};
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(GadgetEvents(5).empty());
    // The real control, but with an identifier that names no gadget of its own.
    SetWindowLongPtrA(list, GWLP_ID, 6);
    click.hwndFrom = list;
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(GadgetEvents(5).empty());
    SetWindowLongPtrA(list, GWLP_ID, 5);
    SendMessageA(window, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&click));
    EXPECT_FALSE(GadgetEvents(5).empty());
    DestroyWindow(impostor);
}

TEST_F(GadgetTest, VisualStylesAreDetectedOnce) {
    MakeList();
    int version = CommonControlsVersion();
    // The test programs carry the program's manifest, which asks for common controls 6; Windows
    // then reports 6.x. Wine's one comctl32 always reports 5.81, so visual styles stay off there.
    EXPECT_GE(version, 0x50051);
    if (version < 0x60000) {
        EXPECT_EQ(VisualStylesActive(), 0);
    }
    EXPECT_EQ(DetectVisualStyles(), version);
    EXPECT_TRUE(VisualStylesActive() == 0 || VisualStylesActive() == 1);
}

TEST_F(GadgetTest, BatchesAppendManyRowsAndNest) {
    MakeList();
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i)
        texts.push_back("Datei " + std::to_string(i) + "\nmehr");
    std::vector<const char*> pointers;
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());
    EXPECT_EQ(AddGadgetItems(TestList, pointers.data(), static_cast<int>(pointers.size())), 500);
    EXPECT_EQ(GadgetItemCount(TestList), 500);
    EXPECT_STREQ(ReadGadgetItemText(TestList, 499, 0), "Datei 499");

    BeginGadgetBatch(TestList);
    BeginGadgetBatch(TestList);
    InsertGadgetItem(TestList, -1, "innen", nullptr, 0);
    EndGadgetBatch(TestList);
    EXPECT_EQ(FindGadget(TestList)->batchDepth, 1);
    EndGadgetBatch(TestList);
    EndGadgetBatch(TestList); // one too many: ignored
    EXPECT_EQ(FindGadget(TestList)->batchDepth, 0);
    EXPECT_EQ(GadgetItemCount(TestList), 501);
    // Drawing is back on: the last rows show when scrolled to.
    SendMessageA(list, LVM_ENSUREVISIBLE, 500, FALSE);
    Pixels pixels = Capture(list);
    RECT all{0, 0, pixels.width, pixels.height};
    EXPECT_GT(pixels.Count(GetSysColor(COLOR_BTNFACE), all), 100); // the grid lines
}

} // namespace
