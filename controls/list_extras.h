// The list gadget's secondary parts: per-row extras (row value and cell colours), list
// colours, attributes, and the image lists that hold row images. Shared by the list's two
// source files; nothing outside the list needs it.
#pragma once

#include "controls/gadget.h"

#include <commctrl.h>

#include <cstdint>
#include <vector>

// Stored colours are colour + 1, so that 0 means "not set".
struct CellColors {
    std::int32_t text;
    std::int32_t back;
};

// A row's item parameter: its value, then one colour pair per column. The pair count is kept
// with the block so that a growth that failed can never be read past.
struct RowExtras {
    std::int32_t value;
    std::int32_t columnCount;
    CellColors* Cells() { return reinterpret_cast<CellColors*>(this + 1); }
};

int ListColumnCount(HWND list);
int ListRowCount(HWND list);
// The list asks its program for rows (LVS_OWNERDATA) and keeps no blocks.
bool IsOwnerData(HWND list);
// The row's block, or null.
RowExtras* RowExtrasOf(HWND list, int row);
// The row's block, made (for the current columns) and attached when missing; null on failure.
RowExtras* MakeRowExtras(HWND list, int row);
void FreeRowExtras(RowExtras* extras);
// Every row's block, still attached: for callers that delete all rows at once and free after.
std::vector<RowExtras*> CollectRowExtras(HWND list);
// Reshapes every row's block after column `position` was inserted or deleted.
void InsertRowExtrasColumn(HWND list, int position);
void DeleteRowExtrasColumn(HWND list, int position);

// Row images: index 0 of each list is a transparent placeholder.
struct ImageCacheEntry {
    HANDLE image;
    int index;
};

struct ItemImageLists {
    HIMAGELIST small;
    HIMAGELIST large; // may be null
    ImageCacheEntry* cache;
    int count;
    int capacity;
};

ItemImageLists* CreateItemImageLists(bool withLarge);
// The small list's index for the image (the same image gives the same index), or a negative
// index when it could not be added.
int AddItemImage(ItemImageLists* lists, HANDLE image);
void EmptyItemImageLists(ItemImageLists* lists);
void FreeItemImageLists(ItemImageLists* lists);

// Slots of the list class.
int ListWriteColor(Gadget* gadget, int type, int color);
int ListReadColor(Gadget* gadget, int type);
void ListWriteItemColor(Gadget* gadget, int row, int type, int color, int column);
int ListReadItemColor(Gadget* gadget, int row, int type, int column);
void ListWriteItemData(Gadget* gadget, int row, int value);
int ListReadItemData(Gadget* gadget, int row);
int ListReadAttribute(Gadget* gadget, int attribute);
void ListWriteAttribute(Gadget* gadget, int attribute, int value);
int ListReadItemAttribute(Gadget* gadget, int attribute, int column);
void ListWriteItemAttribute(Gadget* gadget, int attribute, int column, int value);

// Redraw after a colour change.
int RedrawListFully(HWND list);
