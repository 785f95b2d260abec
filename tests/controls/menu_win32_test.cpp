// Menus and image menus in a real framework window: what is owner-drawn, how entries are
// measured and drawn, and mnemonics.
#include "controls/menu.h"

#include "resources/resource_ids.h"
#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace controls_test;

namespace {

constexpr Number TestMenu = 3;

bool IsGrey(COLORREF colour) {
    return GetRValue(colour) == GetGValue(colour) && GetGValue(colour) == GetBValue(colour);
}

SIZE TextSize(const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size;
}

MENUITEMINFOW ItemInfo(HMENU menu, int position, UINT mask, std::string* text = nullptr) {
    wchar_t wide[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.dwTypeData = text ? wide : nullptr;
    info.cch = text ? 256 : 0;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    if (text) *text = FromWide(wide);
    info.dwTypeData = nullptr;
    return info;
}

bool OwnerDrawn(HMENU menu, int position) {
    return ItemInfo(menu, position, MIIM_FTYPE).fType & MFT_OWNERDRAW;
}

const MenuEntryRecord* EntryAt(HMENU menu, int position) {
    return reinterpret_cast<const MenuEntryRecord*>(ItemInfo(menu, position, MIIM_DATA).dwItemData);
}

class MenuTest : public WindowFixture {
  protected:
    void SetUp() override {
        Open(ResizableWindow, 400, 220, "Menü");
        InitMenus();
        bar = reinterpret_cast<HMENU>(CreateImageMenuBar(TestMenu, window, MenuStyleShaded));
        ASSERT_NE(bar, nullptr);
        program = AddMenuTitle("Programm");
        AddMenuEntry(6, "Tastenkombination ändern", nullptr);
        AddMenuEntry(4, "&Beenden", nullptr);
        help = AddMenuTitle("Hilfe");
        AddMenuEntry(5, "Informationen", nullptr);
        DrainEvents();
    }

    SIZE Measure(const MenuEntryRecord* entry, WPARAM control = 0) {
        MEASUREITEMSTRUCT measure{};
        measure.CtlType = ODT_MENU;
        measure.itemData = reinterpret_cast<ULONG_PTR>(entry);
        SendMessageA(window, WM_MEASUREITEM, control, reinterpret_cast<LPARAM>(&measure));
        return SIZE{static_cast<LONG>(measure.itemWidth), static_cast<LONG>(measure.itemHeight)};
    }
    // The entry as the menu would draw it, at its measured size or at another one.
    std::unique_ptr<Surface> Draw(const MenuEntryRecord* entry, UINT state = 0, SIZE size = {}) {
        if (size.cx == 0) size = Measure(entry);
        auto surface = std::make_unique<Surface>(size.cx, size.cy);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hDC = surface->dc();
        item.rcItem = RECT{0, 0, size.cx, size.cy};
        item.itemData = reinterpret_cast<ULONG_PTR>(entry);
        EXPECT_EQ(SendMessageA(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
        return surface;
    }
    // Pixels of a colour in the text column, right of the picture strip.
    static int TextPixels(const Surface& s, COLORREF colour) {
        return s.Count(colour, RECT{28, 0, s.width, s.height});
    }

    HMENU bar = nullptr, program = nullptr, help = nullptr;
};

TEST_F(MenuTest, BarTitlesArePlainAndOnlyImageMenusEntriesAreDrawn) {
    EXPECT_EQ(GetMenu(window), bar);
    EXPECT_FALSE(OwnerDrawn(bar, 0));
    EXPECT_TRUE(OwnerDrawn(program, 1));
    EXPECT_STREQ(EntryAt(program, 1)->text, "&Beenden");

    // A plain bar's entries are the system's own, in UTF-16.
    HMENU plain = reinterpret_cast<HMENU>(CreateMenuBar(8, window));
    AddMenuTitle("Datei");
    AddMenuEntry(11, "&Отчёт łódź 日本", IconFromResource(1, IDR_ICON_ADD, 16));
    wchar_t text[64] = {};
    GetMenuStringW(GetSubMenu(plain, 0), 11, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Отчёт łódź 日本");
    EXPECT_FALSE(OwnerDrawn(GetSubMenu(plain, 0), 0));

    // An image popup draws from its top level on and leaves the bar alone.
    HMENU popup = MenuHandle(CreateImagePopup(AnyNumber, MenuStyleShaded));
    AddMenuEntry(12, nullptr, nullptr);
    BeginSubmenu("Weiter");
    AddMenuEntry(13, "Innen", nullptr);
    EXPECT_EQ(GetMenu(window), plain);
    EXPECT_STREQ(EntryAt(popup, 0)->text, ""); // an absent text is kept empty
    EXPECT_STREQ(EntryAt(GetSubMenu(popup, 1), 0)->text, "Innen");
}

TEST_F(MenuTest, MenusGoWithTheirNumberOrTheirWindow) {
    FreeMenu(TestMenu);
    EXPECT_FALSE(GetMenu(window) || IsMenu(bar));

    Number dynamic = CreateImageMenuBar(AnyNumber, window, MenuStyleShaded);
    AddMenuTitle("Programm");
    AddMenuEntry(4, "Beenden", nullptr);
    HMENU menu = MenuHandle(dynamic);
    EXPECT_EQ(GetMenu(window), menu);
    // A bar that was built for the window but never shown goes with the window too.
    HMENU hidden = reinterpret_cast<HMENU>(CreateMenuBar(9, window));
    CloseTopWindow(TestWindow);
    EXPECT_FALSE(MenuHandle(dynamic) || MenuHandle(9) || IsMenu(menu) || IsMenu(hidden));
    // Appends to a menu that is gone do nothing.
    AddMenuEntry(5, "Informationen", nullptr);
    EXPECT_EQ(AddMenuTitle("Hilfe"), nullptr);
}

int layouts = 0;

LRESULT CALLBACK CountLayouts(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCCALCSIZE) ++layouts;
    return DefSubclassProc(window, message, wParam, lParam);
}

// Each layout of the bar lays the whole frame out again, a cost paid per entry at start-up.
// Entries in the menus below the bar change nothing it shows; a new title does.
TEST_F(MenuTest, TheBarIsLaidOutAgainOnlyWhenTheBarChanges) {
    ASSERT_TRUE(SetWindowSubclass(window, CountLayouts, 1, 0));
    layouts = 0;
    AddMenuTitle("Programm"); // back at the top: the title opens a menu of its own
    for (int i = 0; i < 20; ++i) AddMenuEntry(40 + i, "Eintrag", nullptr);
    BeginSubmenu("Weiter");
    AddMenuEntry(60, "Innen", nullptr);
    EndSubmenu();
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 2)), 21);
    EXPECT_LE(layouts, 2); // the title's own

    layouts = 0;
    AddMenuTitle("Extras");
    EXPECT_GT(layouts, 0); // the bar shows the new title
    RECT title{};
    EXPECT_TRUE(GetMenuItemRect(window, bar, 3, &title));
    EXPECT_GT(title.right, title.left);
    RemoveWindowSubclass(window, CountLayouts, 1);
}

TEST_F(MenuTest, EntriesDrawTheirStyleAndStateAndTheCheckMarkGrowsWithTheEntry) {
    CreateImagePopup(10, 0);
    AddMenuEntry(30, "&Beenden", nullptr);
    const MenuEntryRecord* shaded = EntryAt(program, 1);
    const MenuEntryRecord* plain = EntryAt(MenuHandle(10), 0);
    SIZE size = Measure(shaded);
    int w = size.cx, h = size.cy;
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), menu = GetSysColor(COLOR_MENU);
    auto lighter = [](int c) { return static_cast<int>(c + (255 - c) * 0.5); };
    COLORREF light =
        RGB(lighter(GetRValue(highlight)), lighter(GetGValue(highlight)), lighter(GetBValue(highlight)));
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    struct Case {
        const MenuEntryRecord* entry;
        UINT state;
        std::vector<Probe> probes;
        COLORREF text; // the label's colour, right of the picture strip
    } cases[] = {
        // A gradient strip from white towards the highlight, then the menu colour.
        {shaded,
         0,
         {{0, 0, RGB(255, 255, 255)}, {0, h - 1, RGB(255, 255, 255)}, {20, h / 2, menu}},
         GetSysColor(COLOR_MENUTEXT)},
        // Selected: a light fill framed in black, dark text; the check mark framed in the highlight.
        {shaded,
         ODS_SELECTED | ODS_CHECKED,
         {{0, 0, RGB(0, 0, 0)},
          {w - 1, h / 2, RGB(0, 0, 0)},
          {1, 1, light},
          {w - 2, h - 2, light},
          {h / 2, h / 8 + 1, highlight}},
         GetSysColor(COLOR_MENUTEXT)},
        {plain, 0, {{0, h / 2, menu}}, GetSysColor(COLOR_MENUTEXT)},
        {plain,
         ODS_SELECTED,
         {{0, 0, highlight}, {w - 1, h - 1, highlight}},
         GetSysColor(COLOR_HIGHLIGHTTEXT)},
        {plain, ODS_GRAYED, {{0, h / 2, menu}}, GetSysColor(COLOR_GRAYTEXT)},
    };
    for (const Case& c : cases) {
        auto drawn = Draw(c.entry, c.state, size);
        SCOPED_TRACE(testing::Message() << (c.entry == plain ? "plain " : "shaded ") << c.state);
        for (const Probe& p : c.probes)
            EXPECT_EQ(drawn->At(p.x, p.y), p.colour) << p.x << "," << p.y;
        EXPECT_GT(TextPixels(*drawn, c.text), 10);
    }
    auto strip = Draw(shaded);
    EXPECT_NE(strip->At(19, h / 2), RGB(255, 255, 255));
    EXPECT_NE(strip->At(19, h / 2), menu);

    auto markPixels = [&](int tall) {
        auto checked = Draw(shaded, ODS_SELECTED | ODS_CHECKED, SIZE{w, tall});
        auto unchecked = Draw(shaded, ODS_SELECTED, SIZE{w, tall});
        int count = 0;
        for (int x = 1; x < tall && x < w; ++x)
            for (int y = 1; y < tall - 1; ++y)
                count += checked->At(x, y) == GetSysColor(COLOR_MENUTEXT) &&
                         unchecked->At(x, y) != checked->At(x, y);
        return count;
    };
    int small = markPixels(h), large = markPixels(2 * h);
    EXPECT_GT(small, h / 2);
    EXPECT_GT(large, small * 3 / 2);
    FreeMenu(10);
}

TEST_F(MenuTest, EntriesMeasureTheirTextPlusMarginsAndShortcutsStandRight) {
    const MenuEntryRecord* quit = EntryAt(program, 1);
    SIZE text = TextSize("&Beenden");
    EXPECT_EQ(Measure(quit).cx, text.cx + 28);
    EXPECT_EQ(Measure(quit).cy, text.cy + 6);
    // Only menus are ours: a control's item (wParam non-zero) goes on unmeasured.
    EXPECT_EQ(Measure(quit, 1).cx, 0);

    AddMenuEntry(7, "Beenden\tStrg+Q", nullptr);
    const MenuEntryRecord* entry = EntryAt(help, 1);
    SIZE size = Measure(entry);
    EXPECT_EQ(size.cx, TextSize("Beenden\tStrg+Q").cx + 48);
    size.cx += 60; // wider than measured, as a menu with a longer entry would draw it
    auto drawn = Draw(entry, 0, size);
    int rightmost = -1, leftmost = size.cx;
    for (int x = 0; x < size.cx; ++x)
        for (int y = 0; y < size.cy; ++y)
            if (drawn->At(x, y) == GetSysColor(COLOR_MENUTEXT)) {
                rightmost = std::max(rightmost, x);
                leftmost = std::min(leftmost, x);
            }
    // Eight pixels from the edge; glyphs may keep a pixel or two of their cell empty.
    EXPECT_LE(rightmost, size.cx - 8 - 1);
    EXPECT_GE(rightmost, size.cx - 8 - 4);
    EXPECT_GE(leftmost, 28);
    EXPECT_LE(leftmost, 28 + 3);
}

TEST_F(MenuTest, PlainEntriesOfAPopupBecomeDrawnWhenItOpensAndSeparatorsAreALine) {
    AppendMenuA(help, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(help, MF_STRING | MF_GRAYED, 77, "Nachgetragen");
    AppendMenuW(help, MF_STRING, 79, L"Отчёт łódź 日本"); // in UTF-16, by someone else
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(1, 0));
    EXPECT_TRUE(OwnerDrawn(help, 1));
    EXPECT_NE(ItemInfo(help, 1, MIIM_FTYPE).fType & MFT_SEPARATOR, 0u);
    EXPECT_TRUE(OwnerDrawn(help, 2));
    MENUITEMINFOW added = ItemInfo(help, 2, MIIM_ID | MIIM_STATE);
    EXPECT_EQ(added.wID, 77u);
    EXPECT_NE(added.fState & MFS_GRAYED, 0u);
    EXPECT_STREQ(EntryAt(help, 2)->text, "Nachgetragen");
    EXPECT_STREQ(EntryAt(help, 3)->text, "Отчёт łódź 日本");

    // A separator is 50 x 9 with a one-pixel shadow line at y 4, right of the strip.
    const MenuEntryRecord* line = EntryAt(help, 1);
    EXPECT_EQ(Measure(line).cx, 50);
    EXPECT_EQ(Measure(line).cy, 9);
    auto drawn = Draw(line);
    EXPECT_EQ(drawn->Count(GetSysColor(COLOR_BTNSHADOW), RECT{24, 4, 50, 5}), 26);
    for (POINT p : {POINT{23, 4}, POINT{30, 3}, POINT{30, 5}})
        EXPECT_EQ(drawn->At(p.x, p.y), GetSysColor(COLOR_MENU)) << p.x << "," << p.y;
    EXPECT_EQ(drawn->At(0, 4), RGB(255, 255, 255));

    // The window menu is left alone.
    AppendMenuA(help, MF_STRING, 78, "System");
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(0, 1));
    EXPECT_FALSE(OwnerDrawn(help, 4));
}

TEST_F(MenuTest, DisabledEntriesShowAGreyPicture) {
    AddMenuEntry(8, "Hinzufügen", IconFromResource(1, IDR_ICON_ADD, 16));
    const MenuEntryRecord* entry = EntryAt(help, 1);
    SIZE size = Measure(entry);
    int top = (size.cy - 16) / 2 + 1;
    RECT picture{2, top, 18, top + 16};
    auto enabled = Draw(entry);
    EXPECT_GT(enabled->CountIf(picture, [](COLORREF c) { return !IsGrey(c); }), 20);

    auto disabled = Draw(entry, ODS_GRAYED);
    auto background = Draw(EntryAt(help, 0), 0, size);
    int greyed = 0;
    for (int y = picture.top; y < picture.bottom; ++y)
        for (int x = picture.left; x < picture.right; ++x) {
            COLORREF pixel = disabled->At(x, y);
            if (pixel == background->At(x, y)) continue;
            ++greyed;
            EXPECT_TRUE(IsGrey(pixel) && GetRValue(pixel) >= 20 && GetRValue(pixel) <= 236) << x << "," << y;
        }
    EXPECT_GT(greyed, 20);
}

// Sent as W, as the menu loop sends it to a Unicode window: Wine's A-to-W mapping of
// WM_MENUCHAR overwrites the high word with the second byte's character and so loses MF_SYSMENU.
TEST_F(MenuTest, TheLetterAfterTheAmpersandChoosesTheEntryInEitherCase) {
    struct Case {
        WPARAM letter;
        WORD kind;
        bool chosen;
    } cases[] = {
        {'b', MF_POPUP, true}, {'B', MF_POPUP, true}, {'x', MF_POPUP, false}, {'b', MF_SYSMENU, false}};
    for (const Case& c : cases) {
        LRESULT result = SendMessageW(window, WM_MENUCHAR, MAKEWPARAM(c.letter, c.kind),
                                      reinterpret_cast<LPARAM>(program));
        EXPECT_EQ(result == MAKELRESULT(1, MNC_EXECUTE), c.chosen) << static_cast<char>(c.letter) << c.kind;
    }
    // A Cyrillic mnemonic, typed in the other case.
    AddMenuEntry(33, "&Отчёт łódź", nullptr);
    EXPECT_EQ(SendMessageW(window, WM_MENUCHAR, MAKEWPARAM(L'о', MF_POPUP), reinterpret_cast<LPARAM>(help)),
              MAKELRESULT(1, MNC_EXECUTE));
    // The same through the real menu: open the bar from the keyboard, open "Programm", type b.
    PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_CHAR, 'b', 0);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 4);
}

} // namespace
