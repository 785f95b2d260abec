#include "controls/menu.h"

#include "core/handles_win32.h"
#include "core/object_table.h"
#include "framework/dpi.h"
#include "framework/owner_subclass.h"
#include "images/alpha.h"
#include "settings/wide_text.h"


#include <cstddef>
#include <cstring>
#include <string>

namespace {


// Owner-drawn entries of other code carry item data of their own; only records with this tag
// are ours to measure and draw.
constexpr unsigned EntryTag = 0x4F5A4D45;

struct MenuBuildState {
    ObjectTable* table;
    // Held as a number, not a record address: the table's slots move when it grows.
    Number current;
    HMENU target;
    HMENU stack[MaxOpenSubmenus];
    int depth;
};

MenuBuildState* state = nullptr;
HFONT menuFont = nullptr; // ownedMenuFont's, or the stock font when none could be made
UniqueFont ownedMenuFont;
int menuFontDpi = 0;

MenuBuildState* State() {
    if (!state) InitMenus();
    return state;
}

MenuRecord* CurrentRecord() {
    return FindRecord<MenuRecord>(State()->table, State()->current);
}

void DeleteMenuFont() {
    ownedMenuFont.reset();
    menuFont = nullptr;
}

void CreateMenuFont(int dpi = SystemDpi()) {
    DeleteMenuFont();
    menuFontDpi = dpi;
    NONCLIENTMETRICSW metrics{};
    if (NonClientMetricsForDpi(&metrics, dpi)) {
        ownedMenuFont.reset(CreateFontIndirectW(&metrics.lfMenuFont));
        menuFont = ownedMenuFont.get();
    }
    if (!menuFont) menuFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

const MenuEntryRecord* EntryOf(ULONG_PTR itemData) {
    auto* entry = reinterpret_cast<const MenuEntryRecord*>(itemData);
    return entry && entry->tag == EntryTag ? entry : nullptr;
}

MenuEntryRecord* NewEntry(HANDLE heap, const char* text, std::size_t textLength, HANDLE image, int flags) {
    auto* entry = static_cast<MenuEntryRecord*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(MenuEntryRecord)));
    if (!entry) return nullptr;
    entry->tag = EntryTag;
    entry->image = image;
    entry->flags = flags;
    if (text) {
        entry->text = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, textLength + 1));
        if (!entry->text) {
            HeapFree(heap, 0, entry);
            return nullptr;
        }
        std::memcpy(entry->text, text, textLength);
    }
    return entry;
}

MenuEntryRecord* NewEntry(HANDLE heap, const char* text, HANDLE image, int flags) {
    if (!text) text = "";
    return NewEntry(heap, text, std::strlen(text), image, flags);
}

// The bar becomes the window's once. After that only a change of the bar itself (a title, or an
// entry on it) is drawn again: an entry in a menu below changes nothing the bar shows, and each
// redraw of the bar lays the window's whole frame out anew.
void ShowBar(const MenuRecord* record, bool barChanged) {
    if (!record->window) return;
    if (GetMenu(record->window) != record->menu)
        SetMenu(record->window, record->menu);
    else if (barChanged)
        DrawMenuBar(record->window);
}

// Blended (greyed when disabled), or false where the platform cannot blend.
bool DrawAlphaPicture(HDC dc, HBITMAP bitmap, int x, int y, int side, int disabled) {
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    HBITMAP copy = MakeAlphaCopy(bitmap, source.get(), disabled);
    int drawn = copy ? DrawAlphaBitmap(dc, x, y, side, side, copy, source.get(), 255) : 0;
    if (copy) FreeAlphaCopy(copy);
    return drawn != 0;
}

// The picture at (x, y), of the metrics' size: alpha bitmaps blended, other bitmaps and icons
// drawn plainly.
void DrawPicture(HDC dc, HANDLE image, int x, int y, const MenuMetrics& m) {
    const int side = m.pictureSize;
    if (!image) return;
    if (GetObjectType(image) != OBJ_BITMAP) {
        DrawIconEx(dc, x, y, static_cast<HICON>(image), side, side, 0, nullptr, DI_NORMAL);
        return;
    }
    auto bitmap = static_cast<HBITMAP>(image);
    if (BitmapHasAlpha(bitmap) && DrawAlphaPicture(dc, bitmap, x, y, side, 0)) return;
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap), 0, x, y, side, side, DST_BITMAP);
}

// Luminance pushed towards the middle, so that a greyed picture looks flat next to the text.
int CompressedGrey(int red, int green, int blue) {
    int level = (3 * red + 6 * green + blue) / 10;
    if (level < 64) return 64 + (level - 64) * 7 / 10;
    if (level > 192) return 192 + (level - 192) * 7 / 10;
    return level;
}

// Whether any mask pixel under picture pixel (px, py) is opaque (black).
bool CoversOpaque(HDC mask, int px, int py, int maskWidth, int maskHeight, int side) {
    int left = px * maskWidth / side, right = (px + 1) * maskWidth / side;
    int top = py * maskHeight / side, bottom = (py + 1) * maskHeight / side;
    if (right <= left) right = left + 1;
    if (bottom <= top) bottom = top + 1;
    for (int my = top; my < bottom; ++my)
        for (int mx = left; mx < right; ++mx)
            if (GetPixel(mask, mx, my) == RGB(0, 0, 0)) return true;
    return false;
}

void DrawGreyIcon(HDC dc, HICON icon, int x, int y, const MenuMetrics& m) {
    const int side = m.pictureSize;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return;
    // The icon's bitmaps are copies made for the caller.
    UniqueBitmap colourBits(info.hbmColor), maskBits(info.hbmMask);
    BITMAP maskShape{};
    GetObjectW(info.hbmMask, sizeof maskShape, &maskShape);
    int maskWidth = maskShape.bmWidth;
    // A monochrome icon keeps its AND and XOR masks one above the other.
    int maskHeight = info.hbmColor ? maskShape.bmHeight : maskShape.bmHeight / 2;

    UniqueMemoryDc work(CreateCompatibleDC(dc));
    UniqueMemoryDc maskDc(CreateCompatibleDC(dc));
    UniqueBitmap canvas(CreateCompatibleBitmap(dc, side, side));
    if (work && maskDc && canvas && maskWidth > 0 && maskHeight > 0) {
        ScopedSelect canvasSelected(work.get(), canvas.get());
        ScopedSelect maskSelected(maskDc.get(), info.hbmMask);
        // The menu's background behind the picture, taken clear of the selection frame.
        BitBlt(work.get(), 0, 0, side, side, dc, m.pictureLeft, m.pictureTop, SRCCOPY);
        DrawIconEx(work.get(), 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
        // Each picture pixel is greyed once, whatever the mask's own size: greying a grey
        // again would push it further towards the middle every time.
        for (int py = 0; py < side; ++py) {
            for (int px = 0; px < side; ++px) {
                if (!CoversOpaque(maskDc.get(), px, py, maskWidth, maskHeight, side)) continue;
                COLORREF colour = GetPixel(work.get(), px, py);
                int grey = CompressedGrey(GetRValue(colour), GetGValue(colour), GetBValue(colour));
                SetPixel(work.get(), px, py, RGB(grey, grey, grey));
            }
        }
        BitBlt(dc, x, y, side, side, work.get(), 0, 0, SRCCOPY);
    }
}

void DrawDisabledPicture(HDC dc, HANDLE image, int x, int y, const MenuMetrics& m) {
    const int side = m.pictureSize;
    if (!image) return;
    if (GetObjectType(image) != OBJ_BITMAP) {
        DrawGreyIcon(dc, static_cast<HICON>(image), x, y, m);
        return;
    }
    auto bitmap = static_cast<HBITMAP>(image);
    if (BitmapHasAlpha(bitmap) && DrawAlphaPicture(dc, bitmap, x, y, side, 1)) return;
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap), 0, x, y, 0, 0,
               DST_BITMAP | DSS_DISABLED);
}

// The label left-aligned, the part after the first tab (a shortcut text) right-aligned.
void DrawEntryText(HDC dc, const char* text, RECT area, UINT itemState, const MenuMetrics& m) {
    area.left += m.textInset;
    area.right -= m.textInset;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    BOOL cues = TRUE;
    if (SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0) && !cues && (itemState & ODS_NOACCEL))
        format |= DT_HIDEPREFIX;
    SetBkMode(dc, TRANSPARENT);
    std::wstring wide = ToWide(text);
    std::size_t tab = wide.find(L'\t');
    int labelLength = tab != std::wstring::npos ? static_cast<int>(tab) : static_cast<int>(wide.size());
    DrawTextW(dc, wide.c_str(), labelLength, &area, format);
    if (tab != std::wstring::npos) DrawTextW(dc, wide.c_str() + tab + 1, -1, &area, format | DT_RIGHT);
}

COLORREF GradientColour(COLORREF highlight, int column) {
    auto channel = [column](int c) { return static_cast<int>(255.0 - 5.0 * column * (255 - c) / 100.0); };
    return RGB(channel(GetRValue(highlight)), channel(GetGValue(highlight)), channel(GetBValue(highlight)));
}

COLORREF LightSelection(COLORREF highlight) {
    auto channel = [](int c) { return static_cast<int>(c + (255 - c) * 0.5); };
    return RGB(channel(GetRValue(highlight)), channel(GetGValue(highlight)), channel(GetBValue(highlight)));
}

void FillColour(HDC dc, const RECT& area, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A light square framed in the highlight colour with a tick in the text colour, in the picture
// column. Every figure follows the entry's height, which follows the menu font, so the mark
// grows with the font.
void DrawCheckMark(HDC dc, int height, COLORREF highlight) {
    int inset = height / 8 + 1;
    int side = height - 2 * inset;
    if (side < 4) return;
    RECT box{inset, inset, inset + side, inset + side};
    FillColour(dc, box, LightSelection(highlight));
    SetDCBrushColor(dc, highlight);
    FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    UniqueGdiObject pen(CreatePen(PS_SOLID, side / 7 + 1, GetTextColor(dc)));
    if (!pen) return;
    ScopedSelect selected(dc, pen.get());
    POINT tick[3] = {{inset + side * 2 / 9, inset + side / 2},
                     {inset + side * 4 / 9, inset + side * 3 / 4},
                     {inset + side * 7 / 9, inset + side / 4}};
    Polyline(dc, tick, 3);
}

void MeasureEntry(HWND window, const MenuEntryRecord* entry, MEASUREITEMSTRUCT* measure) {
    MenuMetrics m = MenuMetricsFor(window);
    if (!entry->text) {
        measure->itemWidth = static_cast<UINT>(m.separatorWidth);
        measure->itemHeight = static_cast<UINT>(m.separatorHeight);
        return;
    }
    SIZE size{};
    {
        ScopedGetDc dc(window);
        ScopedSelect font(dc.get(), MenuFontForDpi(m.dpi));
        std::wstring wide = ToWide(entry->text);
        GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    }
    int width = size.cx + m.textMargin;
    if (std::strchr(entry->text, '\t') || (entry->flags & SubmenuMark)) width += m.shortcutGap;
    measure->itemWidth = static_cast<UINT>(width);
    measure->itemHeight = static_cast<UINT>(size.cy + m.textPadding);
}

// Drawn off-screen and copied in one piece, so that moving through the menu does not flicker.
void DrawEntry(const MenuEntryRecord* entry, const DRAWITEMSTRUCT* item, const MenuMetrics& m) {
    int width = item->rcItem.right - item->rcItem.left;
    int height = item->rcItem.bottom - item->rcItem.top;
    UniqueMemoryDc memory(CreateCompatibleDC(item->hDC));
    if (!memory) return;
    UniqueBitmap canvas(CreateCompatibleBitmap(item->hDC, width, height));
    if (!canvas) return;
    HDC dc = memory.get();
    ScopedSelect canvasSelected(dc, canvas.get());
    ScopedSelect fontSelected(dc, MenuFontForDpi(m.dpi));
    RECT frame{0, 0, width, height};
    bool shaded = entry->flags & MenuStyleShaded;
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);

    FillRect(dc, &frame, GetSysColorBrush(COLOR_MENU));
    if (shaded) {
        // The gradient keeps its twenty steps of colour however wide the scale makes it.
        for (int column = 0; column < m.gradientWidth; ++column) {
            RECT strip{column, 0, column + 1, height};
            FillColour(dc, strip, GradientColour(highlight, column * GradientSteps / m.gradientWidth));
        }
    }

    if (!entry->text) {
        RECT line{shaded ? m.scale(24) : 0, m.scale(4), width, height - m.scale(4)};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        if (item->itemState & ODS_SELECTED) {
            if (shaded) {
                COLORREF selection = LightSelection(highlight);
                FillColour(dc, frame, selection);
                FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                SetBkColor(dc, selection);
                // The light selection is halfway to white: the highlight's own text colour
                // (white with the usual schemes) would hardly stand out on it.
                SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
            } else {
                FillRect(dc, &frame, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetBkColor(dc, highlight);
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            }
        } else {
            SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
        }

        int pictureTop = (height - m.pictureSize) / 2 + m.scale(1);
        RECT textArea{m.pictureColumn, 0, width, height};
        if (item->itemState & (ODS_GRAYED | ODS_DISABLED)) {
            DrawDisabledPicture(dc, entry->image, m.pictureLeft, pictureTop, m);
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        } else {
            DrawPicture(dc, entry->image, m.pictureLeft, pictureTop, m);
        }
        DrawEntryText(dc, entry->text, textArea, item->itemState, m);
        if (item->itemState & ODS_CHECKED) DrawCheckMark(dc, height, highlight);
    }

    BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, width, height, dc, 0, 0, SRCCOPY);
}

// Entries that someone appended to a popup with the plain menu calls become drawn entries
// too, so that an image menu looks the same all through.
void ConvertPopupEntries(HWND window, HMENU popup) {
    const MenuRecord* bar = FindMenuRecord(GetMenu(window));
    // An image popup of its own takes plain entries (its separators) into its own heap.
    const MenuRecord* own = FindMenuRecord(popup);
    if (own && (!own->image || !own->heap)) return;
    if (own) bar = own;
    if (!bar || !bar->image || !bar->heap) return;
    int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(popup, position, TRUE, &info) || (info.fType & MFT_OWNERDRAW)) continue;

        int flags = bar->style | (info.hSubMenu ? SubmenuMark : 0);
        MenuEntryRecord* entry = nullptr;
        if (!(info.fType & (MFT_SEPARATOR | MFT_BITMAP))) {
            std::wstring text(info.cch + 1, L'\0');
            MENUITEMINFOW textInfo{};
            textInfo.cbSize = sizeof textInfo;
            textInfo.fMask = MIIM_TYPE;
            textInfo.dwTypeData = text.data();
            textInfo.cch = info.cch + 1;
            GetMenuItemInfoW(popup, position, TRUE, &textInfo);
            std::string narrow = FromWide(text.c_str());
            entry = NewEntry(bar->heap, narrow.c_str(), narrow.size(), nullptr, flags);
        } else {
            entry = NewEntry(bar->heap, nullptr, 0, nullptr, flags);
        }
        if (!entry) continue;

        // The identifier, the submenu, the state and the separator bit all stay as they were;
        // only the drawing changes hands.
        MENUITEMINFOW drawn{};
        drawn.cbSize = sizeof drawn;
        drawn.fMask = MIIM_FTYPE | MIIM_DATA;
        drawn.fType = (info.fType & ~MFT_BITMAP) | MFT_OWNERDRAW;
        drawn.dwItemData = reinterpret_cast<ULONG_PTR>(entry);
        SetMenuItemInfoW(popup, position, TRUE, &drawn);
    }
}

// The mnemonic after the first "&" of a drawn entry, since the system cannot see the text of
// an owner-drawn entry.
// The system's case mapping: the C library's knows only A to Z.
wchar_t Lower(wchar_t c) {
    CharLowerBuffW(&c, 1);
    return c;
}

LRESULT FindMnemonic(HWND window, wchar_t typed, HMENU menu) {
    const MenuRecord* bar = FindMenuRecord(GetMenu(window));
    if (!bar || !bar->image) return NotHandled;
    int count = GetMenuItemCount(menu);
    wchar_t wanted = Lower(typed);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        if (!GetMenuItemInfoW(menu, position, TRUE, &info) || !(info.fType & MFT_OWNERDRAW)) continue;
        const MenuEntryRecord* entry = EntryOf(info.dwItemData);
        if (!entry || !entry->text) continue;
        // The mnemonic is a character, not a byte: "&Ä" in UTF-8 is more than one.
        std::wstring text = ToWide(entry->text);
        std::size_t amp = text.find(L'&');
        if (amp != std::wstring::npos && amp + 1 < text.size() && Lower(text[amp + 1]) == wanted)
            return MAKELRESULT(position, MNC_EXECUTE);
    }
    return NotHandled;
}

// The system keeps the size an entry was measured at; setting its type again makes it ask
// anew, at the window's new scale.
void RemeasureEntries(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, position, TRUE, &info)) continue;
        if (info.hSubMenu) RemeasureEntries(info.hSubMenu);
        if (!(info.fType & MFT_OWNERDRAW)) continue;
        info.fMask = MIIM_FTYPE;
        SetMenuItemInfoW(menu, position, TRUE, &info);
    }
}

// The drawing comes with the first picture on an entry of the window's menus.
bool WatchOwnerDraw(HWND window, Number, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_SETTINGCHANGE:
        CreateMenuFont(menuFontDpi ? menuFontDpi : SystemDpi());
        break;
    case WM_DPICHANGED:
        if (HMENU bar = GetMenu(window)) RemeasureEntries(bar);
        break;
    case WM_MEASUREITEM:
        if (wParam == 0) {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (const MenuEntryRecord* entry =
                    measure->CtlType == ODT_MENU ? EntryOf(measure->itemData) : nullptr) {
                MeasureEntry(window, entry, measure);
                *result = TRUE;
                return true;
            }
        }
        break;
    case WM_DRAWITEM:
        if (wParam == 0) {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (const MenuEntryRecord* entry =
                    item->CtlType == ODT_MENU ? EntryOf(item->itemData) : nullptr) {
                DrawEntry(entry, item, MenuMetricsFor(window));
                *result = TRUE;
                return true;
            }
        }
        break;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) == 0) ConvertPopupEntries(window, reinterpret_cast<HMENU>(wParam));
        break;
    case WM_MENUCHAR:
        if (!(HIWORD(wParam) & MF_SYSMENU)) {
            LRESULT found = FindMnemonic(window, static_cast<wchar_t>(LOWORD(wParam)),
                                         reinterpret_cast<HMENU>(lParam));
            if (found != NotHandled) {
                *result = found;
                return true;
            }
        }
        break;
    default:
        break;
    }
    return false;
}

// The records are plain memory: owners here let go of the menu, unless keep names it because a
// window holds it now, and of the heap its entries live in.
void DropRecord(ObjectTable* table, Number number, MenuRecord* record, HMENU keep) {
    {
        UniqueHeap heap(record->heap);
        UniqueMenu menu(record->menu != keep ? record->menu : nullptr);
    }
    ReleaseObject(table, number);
}

// The window destroys its current menu itself; the entry records and any menu bar built for
// the window but not attached to it go here.
void ReleaseWindowMenus(HWND window) {
    HMENU attached = GetMenu(window);
    ObjectTable* table = State()->table;
    ResetObjectEnumeration(table);
    Number number = 0;
    while (auto* record = static_cast<MenuRecord*>(NextObject(table, &number))) {
        if (record->menu != attached && record->window != window) continue;
        DropRecord(table, number, record, attached);
    }
}

// The clean-up comes with a window's first menu bar.
bool WatchCleanUp(HWND window, Number, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_NCDESTROY) ReleaseWindowMenus(window);
    return false;
}

// Takes the record for a number, makes the menu and makes it current.
Number NewMenu(Number number, HWND window, bool bar) {
    auto* record = AllocateRecord<MenuRecord>(State()->table, number);
    if (!record) return 0;
    Number actual = number == AnyNumber ? DynamicHandle(record) : number;
    HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
    if (!menu) {
        if (number == AnyNumber) ReleaseObject(State()->table, actual);
        return 0;
    }
    record->menu = menu;
    record->window = bar ? window : nullptr;
    State()->current = actual;
    State()->target = menu;
    State()->depth = 0;
    if (bar && window) WatchOwner(window, WatchCleanUp, 0);
    return number == AnyNumber ? actual : reinterpret_cast<Number>(menu);
}

Number MakeImageMenu(Number number, Number result, HWND window, int style) {
    if (!result) return 0;
    auto* record = FindRecord<MenuRecord>(State()->table, number == AnyNumber ? result : number);
    if (record && !record->image) {
        // Without its heap the menu stays a plain one: its entries are then ordinary strings.
        record->heap = HeapCreate(0, 0, 0);
        if (record->heap) {
            record->image = 1;
            record->style = style;
            if (window) WatchOwner(window, WatchOwnerDraw, 0);
        }
    }
    return result;
}

} // namespace

void InitMenus() {
    if (state) return;
    state = NewLibraryState<MenuBuildState>();
    if (state) state->table = NewObjectTable(sizeof(MenuRecord), 16, FreeMenu);
}

HFONT MenuFont() {
    return MenuFontForDpi(SystemDpi());
}

HFONT MenuFontForDpi(int dpi) {
    if (!menuFont || menuFontDpi != dpi) CreateMenuFont(dpi);
    return menuFont;
}

MenuMetrics MenuMetricsForDpi(int dpi) {
    MenuMetrics m{};
    m.dpi = dpi;
    m.separatorWidth = m.scale(50);
    m.separatorHeight = m.scale(9);
    m.textMargin = m.scale(28);
    m.shortcutGap = m.scale(20);
    m.pictureColumn = m.scale(20);
    m.textInset = m.scale(8);
    m.textPadding = m.scale(6);
    m.gradientWidth = m.scale(GradientSteps);
    m.pictureSize = m.scale(16);
    m.pictureLeft = m.scale(2);
    m.pictureTop = m.scale(2);
    return m;
}

MenuMetrics MenuMetricsFor(HWND window) {
    return MenuMetricsForDpi(DpiForWindow(window));
}

void FreeMenu(Number number) {
    auto* record = FindRecord<MenuRecord>(State()->table, number);
    if (!record) return;
    if (record->window && IsWindow(record->window) && GetMenu(record->window) == record->menu)
        SetMenu(record->window, nullptr);
    DropRecord(State()->table, number, record, nullptr);
}

Number CreateMenuBar(Number number, HWND window) {
    return NewMenu(number, window, true);
}

Number CreateImageMenuBar(Number number, HWND window, int style) {
    return MakeImageMenu(number, NewMenu(number, window, true), window, style);
}

Number CreatePopup(Number number) {
    return NewMenu(number, nullptr, false);
}

Number CreateImagePopup(Number number, int style) {
    return MakeImageMenu(number, NewMenu(number, nullptr, false), nullptr, style);
}

HMENU BeginSubmenu(const char* text) {
    MenuBuildState* build = State();
    MenuRecord* record = CurrentRecord();
    if (!record || build->depth >= MaxOpenSubmenus) return nullptr;
    UniqueMenu made(CreateMenu());
    if (!made) return nullptr;
    HMENU submenu = made.get();
    BOOL appended;
    // A menu bar's titles are drawn by the system; only what opens below them is ours.
    if (!record->image || (build->depth == 0 && record->window)) {
        appended = AppendMenuW(build->target, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu),
                               ToWide(text ? text : "").c_str());
    } else {
        MenuEntryRecord* entry = NewEntry(record->heap, text, nullptr, record->style | SubmenuMark);
        appended =
            entry && AppendMenuW(build->target, MF_POPUP | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(submenu),
                                 reinterpret_cast<const wchar_t*>(entry));
    }
    if (!appended) return nullptr;
    made.release(); // the menu above owns it now
    build->stack[build->depth++] = build->target;
    build->target = submenu;
    return submenu;
}

void EndSubmenu() {
    MenuBuildState* build = State();
    if (build->depth > 0) build->target = build->stack[--build->depth];
}

HMENU AddMenuTitle(const char* text) {
    MenuBuildState* build = State();
    MenuRecord* record = CurrentRecord();
    if (!record) return nullptr;
    if (build->depth > 0) {
        build->depth = 0;
        build->target = record->menu;
    }
    HMENU submenu = BeginSubmenu(text);
    if ((record = CurrentRecord())) ShowBar(record, true);
    return submenu;
}

void AddMenuEntry(int identifier, const char* text, HANDLE image) {
    MenuRecord* record = CurrentRecord();
    if (!record) return;
    auto id = static_cast<UINT_PTR>(static_cast<unsigned>(identifier));
    bool onBar = State()->depth == 0;
    if (record->image) {
        if (MenuEntryRecord* entry = NewEntry(record->heap, text, image, record->style))
            AppendMenuW(State()->target, MF_OWNERDRAW, id, reinterpret_cast<const wchar_t*>(entry));
    } else {
        AppendMenuW(State()->target, MF_STRING, id, ToWide(text ? text : "").c_str());
    }
    ShowBar(record, onBar);
}

bool ShowPopupMenu(Number number, HWND owner, POINT screen) {
    HMENU menu = MenuHandle(number);
    if (!menu || !owner) return false;
    // TPM_RIGHTBUTTON: a menu opened by the right button takes the choice from it as well.
    BOOL opened = TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, screen.x, screen.y, owner, nullptr);
    // A menu whose owner was not in front closes only once the owner gets a message after it.
    PostMessageW(owner, WM_NULL, 0, 0);
    return opened != FALSE;
}

HMENU MenuHandle(Number number) {
    auto* record = FindRecord<MenuRecord>(State()->table, number);
    return record ? record->menu : nullptr;
}

void SetMenuEntryChecked(Number number, int identifier, int checked) {
    if (HMENU menu = MenuHandle(number))
        CheckMenuItem(menu, static_cast<UINT>(identifier), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

MenuRecord* FindMenuRecord(HMENU menu) {
    if (!menu) return nullptr;
    ObjectTable* table = State()->table;
    ResetObjectEnumeration(table);
    while (auto* record = static_cast<MenuRecord*>(NextObject(table, nullptr)))
        if (record->menu == menu) return record;
    return nullptr;
}
