// The report list gadget on "SysListView32": columns, rows of line-feed separated cells,
// selection, check boxes, notifications as gadget events, per-cell colours and program-drawn
// grid lines. An owner-data list keeps no rows at all: it asks its program for each cell and
// row colour when it draws them.
#pragma once

#include "controls/gadget.h"

#include <string>

// Creation flags; every other bit passes into the window style unchanged.
constexpr unsigned ListFlagCheckboxes = 0x1;
constexpr unsigned ListFlagMultiSelect = 0x4;
constexpr unsigned ListFlagGridLines = 0x10000;
constexpr unsigned ListFlagHeaderDragDrop = 0x10000000;
constexpr unsigned ListFlagFullRowSelect = 0x40000000;
constexpr unsigned ListFlagOwnerData = 0x1000; // the control's LVS_OWNERDATA

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

// What an owner-data list asks its program. Rows past the program's end must be answered too
// (empty, -1): the control may ask before it learns a smaller count.
struct ListRowSource {
    std::string (*text)(int row, int column); // UTF-8
    int (*textColor)(int row);                // 0xBBGGRR, or -1 for the list's own
};

// Connects an owner-data list to its source; the source must outlive the list.
void SetListRowSource(Number number, const ListRowSource* source);
// The number of rows of an owner-data list. Rows already shown are drawn again from the source.
void SetListRowCount(Number number, int count);
// Draws rows first..last again from the source; first -1 draws every row.
void RedrawListRows(Number number, int first, int last);
