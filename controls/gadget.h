// The gadget base: every control in a framework window is a gadget with a number, a native
// child window and the operation table of its kind. Numbered operations look the gadget up and
// dispatch through that table; a number without a live gadget, or a kind without the slot,
// makes an operation do nothing and give 0 (or the empty text).
#pragma once

#include "core/types.h"

#include <windows.h>

#include <cstdint>

struct Gadget;
struct ItemImageLists;

// Slots of a kind's operation table. A null slot means the kind has no such operation.
using GadgetMessageHandler = LRESULT (*)(Gadget* gadget, HWND owner, UINT message, WPARAM wParam,
                                         LPARAM lParam);
using GadgetFreeSlot = void (*)(Gadget* gadget);
using GadgetReadStateSlot = int (*)(Gadget* gadget);
using GadgetWriteStateSlot = void (*)(Gadget* gadget, int value);
using GadgetReadTextSlot = const char* (*)(Gadget* gadget);
using GadgetWriteTextSlot = void (*)(Gadget* gadget, const char* text);
using GadgetInsertItemSlot = int (*)(Gadget* gadget, int position, const char* text, HANDLE image);
using GadgetInsertItemFlagsSlot = int (*)(Gadget* gadget, int position, const char* text, HANDLE image,
                                          int flags);
using GadgetDeleteItemSlot = void (*)(Gadget* gadget, int position);
using GadgetDeleteAllSlot = void (*)(Gadget* gadget);
using GadgetResizeSlot = void (*)(Gadget* gadget, int x, int y, int width, int height);
using GadgetCountSlot = int (*)(Gadget* gadget);
using GadgetReadItemStateSlot = int (*)(Gadget* gadget, int row);
using GadgetWriteItemStateSlot = void (*)(Gadget* gadget, int row, int bits);
using GadgetReadItemTextSlot = const char* (*)(Gadget* gadget, int row, int column);
using GadgetWriteItemTextSlot = void (*)(Gadget* gadget, int row, const char* text, int column);
using GadgetReadValueSlot = int (*)(Gadget* gadget);
using GadgetInsertColumnSlot = int (*)(Gadget* gadget, int position, const char* title, int width);
using GadgetDeleteColumnSlot = void (*)(Gadget* gadget, int position);
using GadgetReadAttributeSlot = int (*)(Gadget* gadget, int attribute);
using GadgetWriteAttributeSlot = void (*)(Gadget* gadget, int attribute, int value);
using GadgetReadItemAttributeSlot = int (*)(Gadget* gadget, int attribute, int column);
using GadgetWriteItemAttributeSlot = void (*)(Gadget* gadget, int attribute, int column, int value);
using GadgetWriteColorSlot = int (*)(Gadget* gadget, int type, int color);
using GadgetReadColorSlot = int (*)(Gadget* gadget, int type);
using GadgetWriteItemColorSlot = void (*)(Gadget* gadget, int row, int type, int color, int column);
using GadgetReadItemColorSlot = int (*)(Gadget* gadget, int row, int type, int column);
using GadgetWriteItemDataSlot = void (*)(Gadget* gadget, int row, int value);
using GadgetReadItemDataSlot = int (*)(Gadget* gadget, int row);
using GadgetOtherSlot = void*; // operations of kinds this program does not have

// Kind codes.
constexpr int GadgetKindButton = 1;
constexpr int GadgetKindLabel = 3;
constexpr int GadgetKindList = 12;
constexpr int GadgetKindShortcut = 32;

// One static table per kind, in slot order.
struct GadgetClass {
    int kind;                                        // 1
    int size;                                        // 2: sizeof(GadgetClass)
    GadgetMessageHandler messageHandler;             // 3
    GadgetFreeSlot free;                             // 4: while the control still has its contents
    GadgetReadStateSlot readState;                   // 5
    GadgetWriteStateSlot writeState;                 // 6
    GadgetReadTextSlot readText;                     // 7
    GadgetWriteTextSlot writeText;                   // 8
    GadgetInsertItemSlot insertItem;                 // 9
    GadgetInsertItemFlagsSlot insertItemWithFlags;   // 10
    GadgetDeleteItemSlot deleteItem;                 // 11
    GadgetDeleteAllSlot deleteAllItems;              // 12
    GadgetResizeSlot resize;                         // 13: replaces the default move
    GadgetCountSlot itemCount;                       // 14
    GadgetReadItemStateSlot readItemState;           // 15
    GadgetWriteItemStateSlot writeItemState;         // 16
    GadgetReadItemTextSlot readItemText;             // 17
    GadgetWriteItemTextSlot writeItemText;           // 18
    GadgetOtherSlot slot19;                          // 19
    GadgetReadValueSlot readX;                       // 20
    GadgetReadValueSlot readY;                       // 21
    GadgetReadValueSlot readWidth;                   // 22
    GadgetReadValueSlot readHeight;                  // 23
    GadgetOtherSlot slot24;                          // 24
    GadgetInsertColumnSlot insertColumn;             // 25
    GadgetDeleteColumnSlot deleteColumn;             // 26
    GadgetReadAttributeSlot readAttribute;           // 27
    GadgetWriteAttributeSlot writeAttribute;         // 28
    GadgetReadItemAttributeSlot readItemAttribute;   // 29
    GadgetWriteItemAttributeSlot writeItemAttribute; // 30
    GadgetWriteColorSlot writeColor;                 // 31
    GadgetReadColorSlot readColor;                   // 32
    GadgetWriteItemColorSlot writeItemColor;         // 33
    GadgetReadItemColorSlot readItemColor;           // 34
    GadgetWriteItemDataSlot writeItemData;           // 35
    GadgetReadItemDataSlot readItemData;             // 36
    GadgetOtherSlot slot37;                          // 37
};

// One per gadget, in the gadget table. Words 5 to 8 mean different things per kind.
struct Gadget {
    HWND window; // 0: free record
    const GadgetClass* gadgetClass;
    std::intptr_t other; // list: its ListRowSource when it has one; other kinds outside this program
    std::intptr_t lastSelected; // list: the row last reported selected, -1 after a report of none
    union {
        std::uint32_t longestText; // list: buffer size for reading texts back
        int backColor;             // label: -1 none
    };
    union {
        ItemImageLists* imageLists; // list: null until the first row with an image
        int textColor;              // label: -1 none
    };
    union {
        int gridColor;    // list: -1 the button-face colour
        HBRUSH backBrush; // label: from the brush cache, null while there is no background
    };
    std::uint32_t flags; // list: ListTextColorSet | ListBackColorSet | ListGridLines
    Number number;       // the number the gadget is known by (the record's handle if dynamic)
    int batchDepth;      // open BeginGadgetBatch calls
};

// Library start-up and shut-down. InitGadgets also installs the window library's control hook,
// by which the owner window hands messages about a gadget to its kind's message handler.
void InitGadgets();
void EndGadgets();

// Visual styles: the common controls' version (major * 65536 + minor, 1 when the library
// cannot tell) and whether themed drawing is on. DetectVisualStyles decides both once.
int DetectVisualStyles();
int CommonControlsVersion();
int VisualStylesActive();

// The lock that guards the label's brush cache; made by InitGadgets (or on first use).
void LockBrushCache();
void UnlockBrushCache();

// Registration, the tail of every gadget creation: the caller has created window in
// CurrentGadgetList() and taken the record with AllocateGadget after the window existed.
// Returns the dynamic number for AnyNumber, else the window handle.
Gadget* AllocateGadget(Number number);
Number RegisterGadget(Gadget* gadget, Number number, HWND window, const GadgetClass* gadgetClass);
// The live gadget for a number, or null. The pointer is good until the next gadget is made.
Gadget* FindGadget(Number number);
// Destroys the gadget's window, which releases the number.
void FreeGadget(Number number);

// The first ancestor that is a framework window (property "OZ_WindowID") or has no parent.
HWND FindTopWindow(HWND window);
// Posts GadgetEventMessage with the control's identifier and type to its top window.
void PostGadgetEvent(HWND control, int type);

// Shared text buffer for read operations: at least size bytes, valid until the next read.
char* GadgetTextBuffer(std::size_t size);

// Numbered operations.
HWND GadgetHandle(Number number);
void MoveGadget(Number number, int x, int y, int width, int height);
int InsertGadgetItem(Number number, int position, const char* text, HANDLE image, int flags);
void DeleteGadgetItem(Number number, int position);
void DeleteAllGadgetItems(Number number);
int GadgetItemCount(Number number);
int ReadGadgetState(Number number);
void WriteGadgetState(Number number, int value);
// Texts are good until the next read; never null.
const char* ReadGadgetText(Number number);
void WriteGadgetText(Number number, const char* text);
const char* ReadGadgetItemText(Number number, int row, int column);
void WriteGadgetItemText(Number number, int row, const char* text, int column);
int ReadGadgetItemState(Number number, int row);
void WriteGadgetItemState(Number number, int row, int bits);
int InsertGadgetColumn(Number number, int position, const char* title, int width);
void DeleteGadgetColumn(Number number, int position);
int ReadGadgetAttribute(Number number, int attribute);
void WriteGadgetAttribute(Number number, int attribute, int value);
int ReadGadgetItemAttribute(Number number, int attribute, int column);
void WriteGadgetItemAttribute(Number number, int attribute, int column, int value);
int WriteGadgetColor(Number number, int type, int color);
int ReadGadgetColor(Number number, int type);
void WriteGadgetItemColor(Number number, int row, int type, int color, int column);
int ReadGadgetItemColor(Number number, int row, int type, int column);
void WriteGadgetItemData(Number number, int row, int value);
int ReadGadgetItemData(Number number, int row);

// Many changes without a repaint each: between Begin and End the gadget does not redraw; the
// outermost End repaints it once. Calls nest.
void BeginGadgetBatch(Number number);
void EndGadgetBatch(Number number);
// Appends count rows in one batch; the number of rows that went in.
int AddGadgetItems(Number number, const char* const* texts, int count);
