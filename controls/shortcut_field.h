// The shortcut field, on the platform's hot-key control: the user presses a key combination
// and the program reads it back as one number (ReadGadgetState / WriteGadgetState): the
// virtual-key code in bits 0-7 plus ShortcutShift, ShortcutControl and ShortcutAlt; 0 for none.
// Also FocusGadget, which the dialog that holds the field needs.
#pragma once

#include "core/types.h"

#include <windows.h>

constexpr int ShortcutShift = 0x10000;
constexpr int ShortcutControl = 0x20000;
constexpr int ShortcutAlt = 0x40000;

// In the current gadget list, preset to shortcut. The window handle for a static number, the
// new number for AnyNumber, 0 on failure. The field reports GadgetEvent (type 0) whenever its
// value changes to one with a key, or to no value at all; never while only modifiers are held.
Number CreateShortcutGadget(Number number, int x, int y, int width, int height, int shortcut);

// Gives the gadget the keyboard focus; -1 takes the focus away. What SetFocus returns (the
// window that had the focus); null for a number that names no gadget.
HWND FocusGadget(Number number);
