// Numbered menus: menu bars of framework windows and free-standing popup menus, built by
// appending to the menu created last. Image menus draw their popup entries themselves: a 16x16
// picture per entry and, in the shaded style, a colour gradient along the left edge and a
// light, framed selection. Choosing an entry gives MenuEvent with the entry's identifier.
#pragma once

#include "core/types.h"
#include "framework/dpi.h"

#include <windows.h>

// Style bits of image menus and their entries.
enum MenuStyle : int {
    MenuStyleShaded = 1,
    SubmenuMark = 2, // the entry opens a submenu
};

constexpr int MaxOpenSubmenus = 64;

struct MenuRecord {
    HMENU menu;  // 0: free slot
    HWND window; // the owner of a menu bar; none for a popup menu
    int image;   // 1 for an image menu
    HANDLE heap; // image menus: holds every entry record and text
    int style;
};

// The item data of every entry that an image menu draws.
struct MenuEntryRecord {
    unsigned tag; // tells our records from other owner-drawn entries' data
    char* text;   // none for a separator
    HANDLE image; // HICON or HBITMAP, 0 for none
    int flags;    // MenuStyle bits
};

void InitMenus();

// The menu handle for a static number, the new dynamic number for AnyNumber, 0 on failure.
// The new menu becomes current, and appends go to it.
Number CreateMenuBar(Number number, HWND window);
Number CreateImageMenuBar(Number number, HWND window, int style);
Number CreatePopup(Number number);
Number CreateImagePopup(Number number, int style);

// Closes every open submenu, then opens a new title; a menu bar is shown again.
HMENU AddMenuTitle(const char* text);
// Opens a submenu in the current append target; appends go into it. At most MaxOpenSubmenus.
HMENU BeginSubmenu(const char* text);
// Closes the submenu opened last; appends go to the menu around it again.
void EndSubmenu();
// image is an HICON or HBITMAP and is drawn only by image menus.
void AddMenuEntry(int identifier, const char* text, HANDLE image);

// Sets or clears the check mark of the entry with this identifier, wherever it stands in the
// numbered menu; image menus draw it in their own style.
void SetMenuEntryChecked(Number number, int identifier, int checked);

// Opens a numbered popup menu at a point on the screen for owner, whose window procedure then
// draws it (an image popup needs an owner with an image menu bar). A chosen entry arrives as
// MenuEvent, as from the menu bar. Returns when the menu has closed; false when it could not open.
bool ShowPopupMenu(Number number, HWND owner, POINT screen);

// The menu handle of a number, or null.
HMENU MenuHandle(Number number);
// The numbered menu with this handle, or null.
MenuRecord* FindMenuRecord(HMENU menu);
// The font that image menus measure and draw with (the system's menu font), at the system DPI
// or at another one.
HFONT MenuFont();
HFONT MenuFontForDpi(int dpi);

// The colour steps of the shaded style's gradient, one pixel column each at 96 DPI.
constexpr int GradientSteps = 20;

// Where the parts of a drawn entry go, in pixels at one DPI. Anything drawn into an entry
// takes its figures from here or through scale, so that it grows with the screen's scale.
struct MenuMetrics {
    int dpi;
    int separatorWidth;
    int separatorHeight;
    int textMargin;  // picture column and the gaps around the text
    int shortcutGap; // between the label and a shortcut text or submenu arrow
    int pictureColumn;
    int textInset;
    int textPadding; // added to the text's height
    int gradientWidth;
    int pictureSize;
    int pictureLeft;
    int pictureTop; // where the background behind a picture is taken, clear of the selection frame
    // A figure at 96 DPI at this DPI.
    int scale(int value) const { return ScaleForDpi(value, dpi); }
};
MenuMetrics MenuMetricsForDpi(int dpi);
// The metrics at the DPI of the window whose menus are drawn.
MenuMetrics MenuMetricsFor(HWND window);

// Frees a menu number: detaches and destroys the menu and its entry records.
void FreeMenu(Number number);
