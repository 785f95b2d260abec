// Text labels on the platform's "Static" class, with optional text and background colours, and
// the process-wide cache of solid brushes that label backgrounds share.
#pragma once

#include "core/types.h"

#include <windows.h>

// Label flags: every bit goes into the window style (SS_CENTER, SS_RIGHT, ...); this one also
// gives the label a sunken border.
constexpr int LabelSunken = 0x20000;

// Colour types of WriteGadgetColor and ReadGadgetColor for labels.
constexpr int LabelTextColor = 1;
constexpr int LabelBackColor = 2;

// In the current gadget list. The window handle for a static number, the new number for
// AnyNumber, 0 on failure.
Number CreateLabelGadget(Number number, int x, int y, int width, int height, const char* text, int flags);

// A solid brush of that colour, shared with every other user of the colour; null when none can
// be made. Safe from any thread.
HBRUSH AcquireCachedBrush(COLORREF colour);
// Gives one use back; the brush is deleted with its last user. Unknown brushes are ignored.
void ReleaseCachedBrush(HBRUSH brush);
// How many users a cached brush has (0 for a brush the cache does not hold).
int CachedBrushUsers(HBRUSH brush);
