// The main window's contents: the toolbar pictures, the menu bar, the toolbar, the status bar
// and the list of protected files. Made once at start-up, in this order.
#pragma once

#include <windows.h>

void LoadToolbarImages();
void CreateMainMenu();
void CreateMainToolbar();
void CreateMainStatusBar();
void CreateFileList();

// The list to the window's present size.
void FitFileListToWindow();
// The window's size limits at its scale; the window grows where the toolbar would lose a button.
void LimitMainWindowSize();
// After a move to a screen of another scale: pictures, toolbar, limits and list anew.
void FollowNewScale();

// Gives a toolbar button its caption and lets it size itself to picture and caption.
void SetToolbarButtonText(HWND toolbar, int button, const char* text);

// The list's place in the main window at 96 DPI: below the toolbar, and this much less high
// than the inner height (menu bar counted) to leave room for toolbar and status bar.
constexpr int FileListTop = 47;
constexpr int FileListHeightReserve = 90;
// Where the list belongs in the main window now, at the window's scale, in client coordinates.
RECT FileListPlace();
