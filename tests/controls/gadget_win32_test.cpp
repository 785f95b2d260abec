// What every gadget has, shown on lists; labels and their shared brushes; the shortcut field.
#include "controls/gadget.h"
#include "controls/label.h"
#include "controls/list_gadget.h"
#include "controls/shortcut_field.h"
#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <initializer_list>
#include <memory>
#include <string>

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
    EXPECT_EQ(GetDlgCtrlID(GadgetHandle(dynamic)), dynamic);
    FreeGadget(dynamic);
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
    List(1);
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
}

TEST_F(GadgetTest, LabelsShowTheirTextAndLabelsOfOneBackgroundShareOneBrush) {
    const char text[] = "Drücken Sie Отчёт łódź 日本 (a-z):";
    auto label = reinterpret_cast<HWND>(CreateLabelGadget(1, 10, 10, 220, 20, text, 0));
    ASSERT_NE(label, nullptr);
    wchar_t shown[64] = {};
    GetWindowTextW(label, shown, 64);
    EXPECT_EQ(FromWide(shown), text);
    EXPECT_EQ(ReadGadgetColor(1, LabelTextColor) + ReadGadgetColor(1, LabelBackColor), -2);
    HWND sunken = GadgetHandle(CreateLabelGadget(AnyNumber, 10, 40, 100, 20, nullptr, LabelSunken));
    EXPECT_NE(GetWindowLongA(sunken, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

    ASSERT_NE(CreateLabelGadget(2, 10, 40, 100, 20, "zweite", 0), 0);
    EXPECT_EQ(WriteGadgetColor(1, LabelBackColor, Green), 1);
    EXPECT_EQ(WriteGadgetColor(2, LabelBackColor, Green), 1);
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

    // A text colour alone draws on the button face.
    label = reinterpret_cast<HWND>(CreateLabelGadget(3, 10, 10, 200, 24, "WWWWWWWW", 0));
    WriteGadgetColor(3, LabelTextColor, Red);
    EXPECT_EQ(ReadGadgetColor(3, 7), -1);
    pixels = Render(label);
    EXPECT_GT(pixels->Count(GetSysColor(COLOR_BTNFACE)), pixels->width * pixels->height / 2);
    EXPECT_GT(pixels->Count(Red), 10);
}

RECT PlaceInParent(HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// A move that names only some of the four figures keeps the others where they are, for every
// kind of gadget.
TEST_F(GadgetTest, MovesKeepWhatTheyDoNotName) {
    auto label = reinterpret_cast<HWND>(CreateLabelGadget(1, 10, 20, 100, 30, "Bezeichnung", 0));
    HWND list = List(2);
    MoveGadget(2, 5, 60, 300, 150);
    struct Case {
        Number gadget;
        int x, y, width, height;
        RECT expected;
    } cases[] = {
        {1, KeepCurrent, KeepCurrent, 200, KeepCurrent, {10, 20, 210, 50}},
        {1, 50, KeepCurrent, KeepCurrent, 40, {50, 20, 250, 60}},
        {1, KeepCurrent, 0, KeepCurrent, KeepCurrent, {50, 0, 250, 40}},
        {2, KeepCurrent, 100, KeepCurrent, KeepCurrent, {5, 100, 305, 250}},
        {2, 0, 0, KeepCurrent, 80, {0, 0, 300, 80}},
    };
    for (const Case& c : cases) {
        MoveGadget(c.gadget, c.x, c.y, c.width, c.height);
        RECT place = PlaceInParent(c.gadget == 1 ? label : list);
        EXPECT_EQ(place.left, c.expected.left) << c.gadget;
        EXPECT_EQ(place.top, c.expected.top) << c.gadget;
        EXPECT_EQ(place.right, c.expected.right) << c.gadget;
        EXPECT_EQ(place.bottom, c.expected.bottom) << c.gadget;
    }
    // A number without a gadget moves nothing.
    MoveGadget(77, 1, 1, 1, 1);
    EXPECT_EQ(PlaceInParent(label).right, 250);
}

constexpr Number Field = 102;

// The modifier keys as GetKeyState will report them on this thread.
void HoldKeys(std::initializer_list<int> keys) {
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    SetKeyboardState(state);
}

class ShortcutFieldTest : public WindowFixture {
  protected:
    void SetUp() override {
        HoldKeys({});
        Open(WindowCentreOnScreen, 400, 40, "Tastenkombination ändern");
        field = reinterpret_cast<HWND>(
            CreateShortcutGadget(Field, 240, 10, 150, 20, ShortcutControl | ShortcutShift));
        ASSERT_NE(field, nullptr);
        DrainEvents();
    }
    void TearDown() override {
        HoldKeys({});
        WindowFixture::TearDown();
    }
    // As the keyboard delivers a key to the focused field; then one event of the field, type
    // 0, and nothing more.
    void Press(int key) {
        SendMessageA(field, WM_KEYDOWN, key, 0);
        ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000)) << key;
        EXPECT_EQ(EventGadgetNumber(), Field);
        EXPECT_EQ(EventType(), 0);
        EXPECT_FALSE(WaitForEvent(GadgetEvent, 100));
    }
    HWND field = nullptr;
};

TEST_F(ShortcutFieldTest, ValuesMapBothWaysAndModifiersAloneReadAsNothing) {
    EXPECT_EQ(ReadGadgetState(Field), 0);
    WriteGadgetState(Field, ShortcutAlt | ShortcutControl | ShortcutShift | 'K');
    EXPECT_EQ(SendMessageA(field, HKM_GETHOTKEY, 0, 0),
              MAKEWORD('K', HOTKEYF_ALT | HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    // The extended-key flag is no part of the value.
    SendMessageA(field, HKM_SETHOTKEY, MAKEWORD(VK_DELETE, HOTKEYF_EXT | HOTKEYF_SHIFT), 0);
    EXPECT_EQ(ReadGadgetState(Field), ShortcutShift | VK_DELETE);
    // An emptied field is news.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(Field, EN_CHANGE), reinterpret_cast<LPARAM>(field));
    ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000));
    EXPECT_EQ(EventGadgetNumber(), Field);
}

TEST_F(ShortcutFieldTest, KeysPressedBecomeTheValueWithTheModifiersHeld) {
    HoldKeys({VK_CONTROL, VK_SHIFT});
    SendMessageA(field, WM_KEYDOWN, VK_CONTROL, 0);
    SendMessageA(field, WM_KEYDOWN, VK_SHIFT, 0);
    // Only modifiers so far: nothing to report, and nothing to read.
    EXPECT_FALSE(WaitForEvent(GadgetEvent, 200));
    EXPECT_EQ(ReadGadgetState(Field), 0);
    Press('A');
    EXPECT_EQ(ReadGadgetState(Field), 0x30041);

    // Keys the control itself would pass on.
    for (int key : {VK_RETURN, VK_SPACE}) {
        HoldKeys({VK_CONTROL});
        Press(key);
        EXPECT_EQ(ReadGadgetState(Field), ShortcutControl | key) << key;
    }
    HoldKeys({});
    Press(VK_ESCAPE);
    EXPECT_EQ(ReadGadgetState(Field), VK_ESCAPE);
}

TEST_F(ShortcutFieldTest, TabThroughTheEventLoopStaysInTheFieldAndFocusGoesWhereAsked) {
    ASSERT_NE(CreateShortcutGadget(103, 240, 40, 150, 20, 0), 0);
    SetActiveWindow(window);
    FocusGadget(Field);
    ASSERT_EQ(GetFocus(), field);
    // With its scan code, as the keyboard sends it: the loop translates it into a WM_CHAR too.
    PostMessageA(field, WM_KEYDOWN, VK_TAB, MAKELPARAM(1, MapVirtualKeyA(VK_TAB, 0)));
    PostMessageA(field, WM_KEYUP, VK_TAB, MAKELPARAM(1, MapVirtualKeyA(VK_TAB, 0) | 0xC000));
    ASSERT_TRUE(WaitForEvent(GadgetEvent, 1000));
    EXPECT_EQ(EventGadgetNumber(), Field);
    DrainEvents();
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(ReadGadgetState(Field), VK_TAB);

    EXPECT_EQ(FocusGadget(555), nullptr);
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(FocusGadget(-1), field);
    EXPECT_EQ(GetFocus(), nullptr);
}

} // namespace
