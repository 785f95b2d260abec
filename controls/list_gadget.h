// The report list gadget on "SysListView32": columns, rows of line-feed separated cells,
// selection, check boxes, notifications as gadget events, per-cell colours and program-drawn
// grid lines.
#pragma once

#include "controls/gadget.h"

// Creation flags; every other bit passes into the window style unchanged.
constexpr unsigned ListFlagCheckboxes = 0x1;
constexpr unsigned ListFlagMultiSelect = 0x4;
constexpr unsigned ListFlagGridLines = 0x10000;
constexpr unsigned ListFlagHeaderDragDrop = 0x10000000;
constexpr unsigned ListFlagFullRowSelect = 0x40000000;

// Bits of a list's Gadget::flags.
constexpr std::uint32_t ListTextColorSet = 1;
constexpr std::uint32_t ListBackColorSet = 2;
constexpr std::uint32_t ListGridLines = 4;

// Colour types of WriteGadgetColor / WriteGadgetItemColor.
constexpr int ColorText = 1;
constexpr int ColorBackground = 2;
constexpr int ColorGridLines = 3;

// Attribute numbers: display mode (0 icons, 1 small icons, 2 list, 3 report) and the item
// attribute column width.
constexpr int ListAttributeDisplayMode = 2;
constexpr int ListItemAttributeColumnWidth = 1;

// Creates a list in the current gadget list with its first column. The window handle, the new
// number for AnyNumber, or 0.
Number CreateListGadget(Number number, int x, int y, int width, int height, const char* firstColumnTitle,
                        int firstColumnWidth, unsigned flags);

// The colours the first list of the process was made with; -1 before that.
int DefaultListTextColor();
int DefaultListBackColor();
