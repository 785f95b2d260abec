// Numbered status bars: the platform's status-bar control at the bottom of a framework window,
// divided into fields of fixed width or sharing what is left. The bar follows its window's
// client size by itself and leaves the size grip free on a resizable, non-maximized window.
#pragma once

#include "core/types.h"

#include <windows.h>

// The control identifier of every status window.
constexpr unsigned StatusBarControlId = 0xE404040F;

// Text flags of SetStatusFieldText.
enum StatusTextFlag : int {
    StatusTextRaised = 1,
    StatusTextBorderless = 2,
    StatusTextCentred = 4,
    StatusTextRight = 8,
};

constexpr int MaxStatusFields = 256;

struct StatusField {
    int kind;  // 0: text
    int width; // pixels, or KeepCurrent: a share of what the fixed fields leave
    int textFlags;
    // A progress display and an image: kept for the field layout, set by no operation yet.
    int progressValue;
    int progressMinimum;
    int progressMaximum;
    HWND progressWindow;
    HANDLE image;
    HBITMAP imageCopy;
};

struct StatusBarRecord {
    HWND window; // 0: free slot
    StatusField* fields;
    int count;
    int capacity;
    // The owner's client size at the last layout.
    int lastWidth;
    int lastHeight;
    HWND owner; // the window whose subclass lays this bar out
};

// Creates the status-bar table.
void InitStatusBars();

// The status window for a static number, the new dynamic number for AnyNumber, 0 on failure.
// The new bar becomes the current one, which AddStatusField adds to.
Number OpenStatusBar(Number number, HWND window);
// Appends a field of width pixels (KeepCurrent: share the rest) to the current bar and lays the
// bar out again. Beyond MaxStatusFields nothing is added.
void AddStatusField(int width);
void SetStatusFieldText(Number number, int field, const char* text, int flags = 0);

// Frees a status-bar number: destroys its window and fields.
void FreeStatusBar(Number number);
