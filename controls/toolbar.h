// Numbered toolbars: the platform's toolbar control along the top of a framework window. Button
// clicks reach the window as WM_COMMAND from ToolbarControlId, which the event loop reports as
// MenuEvent, so a button and a menu entry with the same identifier are the same command.
#pragma once

#include "core/types.h"

#include <windows.h>

struct ToolbarRecord {
    HWND window; // 0: free slot
    HWND tooltip;
    HWND owner; // the window whose subclass serves this toolbar
};

// Creates the toolbar table.
void InitToolbars();

// The toolbar window for a static number, the new dynamic number for AnyNumber, 0 on failure.
// The new toolbar becomes the current one, which AddToolbarButton adds to.
Number OpenToolbar(Number number, HWND window);
// 0 for a number that names no toolbar.
HWND ToolbarHandle(Number number);

// Adds a button to the current toolbar: mode 0 a push button, anything else a toggle button.
// image is an HICON or an HBITMAP (told apart by GetObjectType). Result of TB_ADDBUTTONSA.
LRESULT AddToolbarButton(int identifier, HANDLE image, int mode = 0);
// Greys (disabled non-zero) or enables a button. Always 1.
int SetToolbarButtonDisabled(Number number, int identifier, int disabled);
// The right edge of the last button in the toolbar's client area: how wide the toolbar must be
// to show every button whole. 0 without buttons.
int ToolbarButtonsRight(Number number);

// Frees a toolbar number: destroys its window and tooltip window.
void FreeToolbar(Number number);
