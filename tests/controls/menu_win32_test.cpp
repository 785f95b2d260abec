// Menus and image menus in a real framework window: what is owner-drawn, how entries are
// measured, pixels of entries drawn into a memory context, mnemonics and the menu font.
#include "controls/menu.h"

#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr Number TestWindow = 42;
constexpr Number TestMenu = 3;
constexpr unsigned ResizableWindow =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WindowCentreOnScreen;

void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

bool WaitForEvent(int code, int milliseconds = 2000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (WaitEventTimeout(20) == code) return true;
    return false;
}

// A top-down 32-bit surface whose pixels can be read directly.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        // A colour no entry uses, so that undrawn pixels show.
        for (int i = 0; i < width * height; ++i)
            bits_[i] = 0x00FF00FF;
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        std::uint32_t value = bits_[y * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }

  private:
    int width_, height_;
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

bool IsGrey(COLORREF colour) {
    return GetRValue(colour) == GetGValue(colour) && GetGValue(colour) == GetBValue(colour);
}

int TextWidth(const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx;
}

int FontHeight() {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SIZE size{};
    GetTextExtentPoint32A(dc, "Beenden", 7, &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cy;
}

// The entry's text, when asked for, comes back as the program's UTF-8.
MENUITEMINFOW ItemInfo(HMENU menu, int position, UINT mask, char* text = nullptr, UINT size = 0) {
    wchar_t wide[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.dwTypeData = text ? wide : nullptr;
    info.cch = text ? 256 : 0;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    if (text) {
        std::string narrow = FromWide(wide);
        narrow.resize(std::min<std::size_t>(narrow.size(), size - 1));
        std::memcpy(text, narrow.c_str(), narrow.size() + 1);
    }
    info.dwTypeData = nullptr;
    return info;
}

const MenuEntryRecord* EntryAt(HMENU menu, int position) {
    return reinterpret_cast<const MenuEntryRecord*>(ItemInfo(menu, position, MIIM_DATA).dwItemData);
}

HANDLE IconFromResource(Number image, int resource) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return nullptr;
    ImageFromMemory(image, LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found), 16);
    return ImageHandle(image);
}

class MenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitMenus();
        InitImages();
        window = reinterpret_cast<HWND>(
            OpenTopWindow(TestWindow, 0, 0, 400, 220, "Menü", ResizableWindow, nullptr));
        ASSERT_NE(window, nullptr);
        bar = reinterpret_cast<HMENU>(CreateImageMenuBar(TestMenu, window, MenuStyleShaded));
        ASSERT_NE(bar, nullptr);
        program = AddMenuTitle("Programm");
        AddMenuEntry(6, "Tastenkombination ändern", nullptr);
        AddMenuEntry(4, "&Beenden", nullptr);
        help = AddMenuTitle("Hilfe");
        AddMenuEntry(5, "Informationen", nullptr);
        ASSERT_NE(program, nullptr);
        ASSERT_NE(help, nullptr);
        DrainEvents();
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        DrainEvents();
    }

    MEASUREITEMSTRUCT Measure(const MenuEntryRecord* entry) {
        MEASUREITEMSTRUCT measure{};
        measure.CtlType = ODT_MENU;
        measure.itemData = reinterpret_cast<ULONG_PTR>(entry);
        EXPECT_EQ(SendMessageA(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), TRUE);
        return measure;
    }
    void Draw(const MenuEntryRecord* entry, const Canvas& canvas, int width, int height, UINT state = 0) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hDC = canvas.dc();
        item.rcItem = RECT{0, 0, width, height};
        item.itemData = reinterpret_cast<ULONG_PTR>(entry);
        EXPECT_EQ(SendMessageA(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
    }

    HWND window = nullptr;
    HMENU bar = nullptr;
    HMENU program = nullptr;
    HMENU help = nullptr;
};

TEST_F(MenuTest, BarTitlesArePlainStringsAndOnlyPopupEntriesAreDrawn) {
    EXPECT_EQ(GetMenu(window), bar);
    MenuRecord* record = FindMenuRecord(bar);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->image, 1);
    EXPECT_EQ(record->window, window);
    EXPECT_EQ(FindMenuRecord(program), nullptr);

    ASSERT_EQ(GetMenuItemCount(bar), 2);
    char title[32] = {};
    MENUITEMINFOW info = ItemInfo(bar, 0, MIIM_TYPE | MIIM_SUBMENU, title, sizeof title);
    EXPECT_EQ(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_STREQ(title, "Programm");
    EXPECT_EQ(info.hSubMenu, program);

    ASSERT_EQ(GetMenuItemCount(program), 2);
    info = ItemInfo(program, 1, MIIM_FTYPE | MIIM_ID | MIIM_DATA);
    EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_EQ(info.wID, 4u);
    auto* entry = reinterpret_cast<const MenuEntryRecord*>(info.dwItemData);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->text, "&Beenden");
    EXPECT_EQ(entry->flags, MenuStyleShaded);
    EXPECT_EQ(entry->image, nullptr);
}

TEST_F(MenuTest, PlainMenusAndImagePopupsBuildAsTheirKindSays) {
    HMENU plain = reinterpret_cast<HMENU>(CreateMenuBar(8, window));
    ASSERT_NE(plain, nullptr);
    AddMenuTitle("Datei");
    AddMenuEntry(11, "Öffnen", IconFromResource(1, IDR_ICON_ADD));
    EXPECT_EQ(GetMenu(window), plain);
    HMENU file = GetSubMenu(plain, 0);
    char text[32] = {};
    MENUITEMINFOW info = ItemInfo(file, 0, MIIM_TYPE | MIIM_ID, text, sizeof text);
    EXPECT_EQ(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_STREQ(text, "Öffnen");
    EXPECT_EQ(info.wID, 11u);

    Number popup = CreateImagePopup(AnyNumber, MenuStyleShaded);
    ASSERT_NE(popup, 0);
    HMENU popupMenu = MenuHandle(popup);
    ASSERT_NE(popupMenu, nullptr);
    EXPECT_EQ(FindMenuRecord(popupMenu)->window, nullptr);
    AddMenuEntry(12, nullptr, nullptr);
    HMENU nested = BeginSubmenu("Weiter");
    ASSERT_NE(nested, nullptr);
    AddMenuEntry(13, "Innen", nullptr);
    // Creating the popup did not touch the window's bar.
    EXPECT_EQ(GetMenu(window), plain);

    // An image popup draws its entries from the top level on; an absent text is kept empty.
    const MenuEntryRecord* empty = EntryAt(popupMenu, 0);
    ASSERT_NE(empty, nullptr);
    ASSERT_NE(empty->text, nullptr);
    EXPECT_STREQ(empty->text, "");
    const MenuEntryRecord* submenu = EntryAt(popupMenu, 1);
    ASSERT_NE(submenu, nullptr);
    EXPECT_STREQ(submenu->text, "Weiter");
    EXPECT_EQ(submenu->flags, MenuStyleShaded | SubmenuMark);
    EXPECT_EQ(GetSubMenu(popupMenu, 1), nested);
    const MenuEntryRecord* inner = EntryAt(nested, 0);
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(inner->text, "Innen");

    FreeMenu(popup);
    EXPECT_EQ(MenuHandle(popup), nullptr);
    EXPECT_FALSE(IsMenu(popupMenu));
}

TEST_F(MenuTest, EntriesMeasureTheirTextPlusTheMargins) {
    const MenuEntryRecord* quit = EntryAt(program, 1);
    MEASUREITEMSTRUCT measure = Measure(quit);
    EXPECT_EQ(static_cast<int>(measure.itemWidth), TextWidth("&Beenden") + 28);
    EXPECT_EQ(static_cast<int>(measure.itemHeight), FontHeight() + 6);

    AddMenuEntry(7, "Beenden\tStrg+Q", nullptr);
    measure = Measure(EntryAt(help, 1));
    EXPECT_EQ(static_cast<int>(measure.itemWidth), TextWidth("Beenden\tStrg+Q") + 48);

    // Only menus are ours: a control's item (wParam non-zero) goes on unmeasured.
    MEASUREITEMSTRUCT control{};
    control.CtlType = ODT_MENU;
    control.itemData = reinterpret_cast<ULONG_PTR>(quit);
    SendMessageA(window, WM_MEASUREITEM, 1, reinterpret_cast<LPARAM>(&control));
    EXPECT_EQ(control.itemWidth, 0u);
}

TEST_F(MenuTest, ShadedEntriesHaveAGradientFromWhiteToTheHighlight) {
    const MenuEntryRecord* quit = EntryAt(program, 1);
    MEASUREITEMSTRUCT measure = Measure(quit);
    int width = static_cast<int>(measure.itemWidth), height = static_cast<int>(measure.itemHeight);
    Canvas canvas(width, height);
    Draw(quit, canvas, width, height);

    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    auto towards = [](int c, int column) {
        return static_cast<int>(255.0 - 5.0 * column * (255 - c) / 100.0);
    };
    for (int y : {0, height / 2, height - 1}) {
        EXPECT_EQ(canvas.At(0, y), RGB(255, 255, 255)) << y;
        EXPECT_EQ(canvas.At(19, y), RGB(towards(GetRValue(highlight), 19), towards(GetGValue(highlight), 19),
                                        towards(GetBValue(highlight), 19)))
            << y;
        EXPECT_EQ(canvas.At(20, y), GetSysColor(COLOR_MENU)) << y;
    }
    // The text stands right of the strip, in the menu's text colour.
    bool textFound = false;
    for (int x = 28; x < width && !textFound; ++x)
        for (int y = 0; y < height && !textFound; ++y)
            textFound = canvas.At(x, y) == GetSysColor(COLOR_MENUTEXT);
    EXPECT_TRUE(textFound);
}

TEST_F(MenuTest, SelectionIsLightAndFramedAndTheCheckMarkIsDrawn) {
    const MenuEntryRecord* quit = EntryAt(program, 1);
    MEASUREITEMSTRUCT measure = Measure(quit);
    int width = static_cast<int>(measure.itemWidth), height = static_cast<int>(measure.itemHeight);
    Canvas canvas(width, height);
    Draw(quit, canvas, width, height, ODS_SELECTED | ODS_CHECKED);

    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    auto lighter = [](int c) { return static_cast<int>(c + (255 - c) * 0.5); };
    COLORREF selection =
        RGB(lighter(GetRValue(highlight)), lighter(GetGValue(highlight)), lighter(GetBValue(highlight)));
    EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(width - 1, height / 2), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(1, 1), selection);
    EXPECT_EQ(canvas.At(width - 2, height - 2), selection);
    // The mark sits in the picture column, framed in the highlight colour, and grows with the
    // entry's height (which follows the menu font).
    EXPECT_EQ(canvas.At(height / 2, height / 8 + 1), highlight);
    auto markPixels = [&](int tall) {
        Canvas checked(width, tall), plain(width, tall);
        Draw(quit, checked, width, tall, ODS_SELECTED | ODS_CHECKED);
        Draw(quit, plain, width, tall, ODS_SELECTED);
        int count = 0;
        for (int x = 1; x < tall && x < width; ++x)
            for (int y = 1; y < tall - 1; ++y)
                count += checked.At(x, y) == GetSysColor(COLOR_MENUTEXT) && plain.At(x, y) != checked.At(x, y);
        return count;
    };
    int small = markPixels(height), large = markPixels(2 * height);
    EXPECT_GT(small, height / 2);
    EXPECT_GT(large, small * 3 / 2);
    // Dark text on the light selection; the plain style keeps the highlight's own colours.
    int text = 0;
    for (int x = 28; x < width - 8; ++x)
        for (int y = 2; y < height - 2; ++y)
            text += canvas.At(x, y) == GetSysColor(COLOR_MENUTEXT);
    EXPECT_GT(text, 10);
}

TEST_F(MenuTest, PlainStyleSelectionUsesTheHighlightColours) {
    CreateImagePopup(10, 0);
    AddMenuEntry(30, "Beenden", nullptr);
    const MenuEntryRecord* entry = EntryAt(MenuHandle(10), 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->flags, 0);
    MEASUREITEMSTRUCT measure = Measure(entry);
    int width = static_cast<int>(measure.itemWidth), height = static_cast<int>(measure.itemHeight);

    Canvas normal(width, height);
    Draw(entry, normal, width, height);
    EXPECT_EQ(normal.At(0, height / 2), GetSysColor(COLOR_MENU));

    Canvas selected(width, height);
    Draw(entry, selected, width, height, ODS_SELECTED);
    EXPECT_EQ(selected.At(0, 0), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(selected.At(width - 1, height - 1), GetSysColor(COLOR_HIGHLIGHT));
    int text = 0;
    for (int x = 28; x < width - 8; ++x)
        for (int y = 0; y < height; ++y)
            text += selected.At(x, y) == GetSysColor(COLOR_HIGHLIGHTTEXT);
    EXPECT_GT(text, 10);
    FreeMenu(10);
}

TEST_F(MenuTest, ShortcutTextIsRightAlignedEightPixelsFromTheEdge) {
    AddMenuEntry(7, "Beenden\tStrg+Q", nullptr);
    const MenuEntryRecord* entry = EntryAt(help, 1);
    MEASUREITEMSTRUCT measure = Measure(entry);
    // Wider than measured, as a menu with a longer entry would draw it.
    int width = static_cast<int>(measure.itemWidth) + 60, height = static_cast<int>(measure.itemHeight);
    Canvas canvas(width, height);
    Draw(entry, canvas, width, height);

    COLORREF text = GetSysColor(COLOR_MENUTEXT);
    int rightmost = -1, leftmost = width;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (canvas.At(x, y) == text) {
                rightmost = x > rightmost ? x : rightmost;
                leftmost = x < leftmost ? x : leftmost;
            }
    // Glyphs may keep a pixel or two of their cell empty.
    EXPECT_LE(rightmost, width - 8 - 1);
    EXPECT_GE(rightmost, width - 8 - 4);
    EXPECT_GE(leftmost, 28);
    EXPECT_LE(leftmost, 28 + 3);
}

TEST_F(MenuTest, PlainEntriesOfAPopupBecomeDrawnEntriesWhenItOpens) {
    AppendMenuA(help, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(help, MF_STRING | MF_GRAYED, 77, "Nachgetragen");
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(1, 0));

    MENUITEMINFOW separator = ItemInfo(help, 1, MIIM_FTYPE | MIIM_DATA);
    EXPECT_NE(separator.fType & MFT_OWNERDRAW, 0u);
    EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);
    auto* line = reinterpret_cast<const MenuEntryRecord*>(separator.dwItemData);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text, nullptr);

    MENUITEMINFOW added = ItemInfo(help, 2, MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_STATE);
    EXPECT_NE(added.fType & MFT_OWNERDRAW, 0u);
    EXPECT_EQ(added.wID, 77u);
    EXPECT_NE(added.fState & MFS_GRAYED, 0u);
    auto* entry = reinterpret_cast<const MenuEntryRecord*>(added.dwItemData);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->text, "Nachgetragen");
    EXPECT_EQ(entry->flags, MenuStyleShaded);

    // A separator is 50 x 9 with a one-pixel shadow line at y 4, right of the strip.
    MEASUREITEMSTRUCT measure = Measure(line);
    EXPECT_EQ(measure.itemWidth, 50u);
    EXPECT_EQ(measure.itemHeight, 9u);
    Canvas canvas(50, 9);
    Draw(line, canvas, 50, 9);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    for (int x = 24; x < 50; ++x)
        EXPECT_EQ(canvas.At(x, 4), shadow) << x;
    EXPECT_EQ(canvas.At(23, 4), GetSysColor(COLOR_MENU));
    EXPECT_EQ(canvas.At(30, 3), GetSysColor(COLOR_MENU));
    EXPECT_EQ(canvas.At(30, 5), GetSysColor(COLOR_MENU));
    EXPECT_EQ(canvas.At(0, 4), RGB(255, 255, 255));

    // The window menu is left alone.
    AppendMenuA(help, MF_STRING, 78, "System");
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(0, 1));
    EXPECT_EQ(ItemInfo(help, 3, MIIM_FTYPE).fType & MFT_OWNERDRAW, 0u);
}

TEST_F(MenuTest, DisabledEntriesShowAGreyPictureAndGreyText) {
    AddMenuEntry(8, "Hinzufügen", IconFromResource(1, IDR_ICON_ADD));
    const MenuEntryRecord* entry = EntryAt(help, 1);
    MEASUREITEMSTRUCT measure = Measure(entry);
    int width = static_cast<int>(measure.itemWidth), height = static_cast<int>(measure.itemHeight);
    int top = (height - 16) / 2 + 1;

    Canvas enabled(width, height);
    Draw(entry, enabled, width, height);
    int coloured = 0;
    for (int y = top; y < top + 16; ++y)
        for (int x = 2; x < 18; ++x)
            coloured += !IsGrey(enabled.At(x, y));
    EXPECT_GT(coloured, 20);

    Canvas disabled(width, height);
    Draw(entry, disabled, width, height, ODS_GRAYED);
    Canvas background(width, height);
    Draw(EntryAt(help, 0), background, width, height);
    int greyed = 0;
    for (int y = top; y < top + 16; ++y) {
        for (int x = 2; x < 18; ++x) {
            COLORREF pixel = disabled.At(x, y);
            if (pixel == background.At(x, y)) continue;
            ++greyed;
            EXPECT_TRUE(IsGrey(pixel)) << x << "," << y;
            EXPECT_GE(GetRValue(pixel), 20);
            EXPECT_LE(GetRValue(pixel), 236);
        }
    }
    EXPECT_GT(greyed, 20);
    bool greyText = false;
    for (int x = 28; x < width && !greyText; ++x)
        for (int y = 0; y < height && !greyText; ++y)
            greyText = disabled.At(x, y) == GetSysColor(COLOR_GRAYTEXT);
    EXPECT_TRUE(greyText);
}

// Sent as W, as the menu loop sends it to a Unicode window: Wine's A-to-W mapping of
// WM_MENUCHAR overwrites the high word with the second byte's character and so loses MF_SYSMENU.
TEST_F(MenuTest, TheLetterAfterTheAmpersandChoosesTheEntryInEitherCase) {
    for (WPARAM letter : {WPARAM('b'), WPARAM('B')}) {
        LRESULT result = SendMessageW(window, WM_MENUCHAR, MAKEWPARAM(letter, MF_POPUP),
                                      reinterpret_cast<LPARAM>(program));
        EXPECT_EQ(HIWORD(result), MNC_EXECUTE);
        EXPECT_EQ(LOWORD(result), 1);
    }
    EXPECT_NE(HIWORD(SendMessageW(window, WM_MENUCHAR, MAKEWPARAM('x', MF_POPUP),
                                  reinterpret_cast<LPARAM>(program))),
              MNC_EXECUTE);
    EXPECT_NE(HIWORD(SendMessageW(window, WM_MENUCHAR, MAKEWPARAM('b', MF_SYSMENU),
                                  reinterpret_cast<LPARAM>(program))),
              MNC_EXECUTE);

    // The same through the real menu: open the bar from the keyboard, open "Programm", type b.
    PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_CHAR, 'b', 0);
    ASSERT_TRUE(WaitForEvent(MenuEvent));
    EXPECT_EQ(EventMenuNumber(), 4);
}

TEST_F(MenuTest, AChangeOfSystemSettingsBringsTheNewMenuFont) {
    NONCLIENTMETRICSA original{};
    original.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, original.cbSize, &original, 0));
    const MenuEntryRecord* quit = EntryAt(program, 1);
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    int before = static_cast<int>(Measure(quit).itemHeight);

    NONCLIENTMETRICSA larger = original;
    larger.lfMenuFont.lfHeight = -40;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, larger.cbSize, &larger, 0));
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    int after = static_cast<int>(Measure(quit).itemHeight);
    LOGFONTA font{};
    GetObjectA(MenuFont(), sizeof font, &font);
    SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, original.cbSize, &original, 0);
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);

    EXPECT_EQ(font.lfHeight, -40);
    EXPECT_GT(after, before + 20);
    EXPECT_EQ(static_cast<int>(Measure(quit).itemHeight), before);
}

TEST_F(MenuTest, MenusGoWithTheirNumberOrTheirWindow) {
    FreeMenu(TestMenu);
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_EQ(FindMenuRecord(bar), nullptr);

    Number dynamic = CreateImageMenuBar(AnyNumber, window, MenuStyleShaded);
    ASSERT_NE(dynamic, 0);
    AddMenuTitle("Programm");
    AddMenuEntry(4, "Beenden", nullptr);
    HMENU menu = MenuHandle(dynamic);
    EXPECT_EQ(GetMenu(window), menu);
    // A bar that was built for the window but never shown goes with the window too.
    HMENU hidden = reinterpret_cast<HMENU>(CreateMenuBar(9, window));
    ASSERT_NE(hidden, nullptr);

    CloseTopWindow(TestWindow);
    EXPECT_EQ(MenuHandle(dynamic), nullptr);
    EXPECT_EQ(MenuHandle(9), nullptr);
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_FALSE(IsMenu(hidden));
    // Appends to a menu that is gone do nothing.
    AddMenuEntry(5, "Informationen", nullptr);
    EXPECT_EQ(AddMenuTitle("Hilfe"), nullptr);
}

} // namespace
