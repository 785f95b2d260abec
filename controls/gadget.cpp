#include "controls/gadget.h"

#include "core/memory.h"
#include "core/object_table.h"
#include "core/system_library_win32.h"
#include "framework/dpi.h"
#include "framework/gadget_list.h"
#include "framework/window.h"

#include <commctrl.h>

namespace {

const wchar_t* const WindowIdProperty = L"OZ_WindowID";

struct GadgetLibrary {
    ObjectTable* table;
    CRITICAL_SECTION brushCacheLock;
    bool lockMade;
    int commonControlsVersion;
    int visualStylesActive;
    char* textBuffer;
    std::size_t textBufferSize;
};

GadgetLibrary library;

ObjectTable* Gadgets() {
    // Tests and early callers may come before InitGadgets; the table is the same either way.
    if (!library.table) library.table = NewObjectTable(sizeof(Gadget), 50, FreeGadget);
    return library.table;
}

Number ControlId(HWND window) {
    return static_cast<Number>(GetWindowLongPtrW(window, GWLP_ID));
}

// The reference data is the gadget's number: a record freed or taken over by another window
// while this one lives is left alone.
LRESULT CALLBACK GadgetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data) {
    auto number = static_cast<Number>(data);
    Gadget* gadget = FindGadget(number);
    if (gadget && gadget->window != window) gadget = nullptr;
    // The kind's free runs while the control still holds its rows: after WM_NCDESTROY the
    // control has already thrown away what its rows point to.
    if (gadget && message == WM_DESTROY && gadget->gadgetClass->free) gadget->gadgetClass->free(gadget);
    LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, GadgetProcedure, id);
        SetWindowLongPtrW(window, GWLP_ID, -1);
        if (gadget) ReleaseObject(Gadgets(), number);
    }
    return result;
}

// Messages about a control reach its kind's handler only for a live gadget whose window
// really is the control: another program's control may carry a matching identifier. The
// record's own handle proves that, without reading the control's property, which costs a
// server round trip per message under some systems.
LRESULT ControlHook(HWND control, HWND receiver, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!control || !IsWindow(control)) return NotHandled;
    Gadget* gadget = FindGadget(ControlId(control));
    if (!gadget || gadget->window != control || !gadget->gadgetClass->messageHandler) return NotHandled;
    return gadget->gadgetClass->messageHandler(gadget, receiver, message, wParam, lParam);
}

void MakeBrushCacheLock() {
    if (library.lockMade) return;
    InitializeCriticalSection(&library.brushCacheLock);
    library.lockMade = true;
}

struct VersionRecord { // DLLVERSIONINFO, 20 bytes
    DWORD size, major, minor, build, platform;
};
using DllGetVersionFunction = HRESULT(CALLBACK*)(VersionRecord*);
using IsAppThemedFunction = BOOL(WINAPI*)();

} // namespace

void InitGadgets() {
    MakeBrushCacheLock();
    Gadgets();
    InitGadgetLists();
    INITCOMMONCONTROLSEX classes{8, ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                        ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&classes);
    // The set above leaves out the list's own class, which not every system registers by itself.
    INITCOMMONCONTROLSEX lists{8, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&lists);
    SetControlMessageHook(ControlHook);
}

void EndGadgets() {
    // The gadget library makes no window of its own; gadgets go with their owner windows.
}

int DetectVisualStyles() {
    if (library.commonControlsVersion != 0) return library.commonControlsVersion;
    if (UniqueModule controls = LoadSystemLibrary(L"COMCTL32.DLL")) {
        if (auto getVersion = LookUpFunction<DllGetVersionFunction>(controls.get(), "DllGetVersion")) {
            VersionRecord version{};
            version.size = sizeof version;
            if (getVersion(&version) >= 0)
                library.commonControlsVersion =
                    static_cast<int>((version.major & 0xFFFF) << 16 | (version.minor & 0xFFFF));
        } else {
            library.commonControlsVersion = 1;
        }
    }
    // Kept loaded for the process: the themed drawing code lives there.
    if (UniqueModule theme = LoadSystemLibrary(L"uxtheme.dll")) {
        if (auto isAppThemed = LookUpFunction<IsAppThemedFunction>(theme.get(), "IsAppThemed"))
            library.visualStylesActive = isAppThemed() && library.commonControlsVersion >= 0x60000 ? 1 : 0;
        theme.release();
    }
    return library.commonControlsVersion;
}

int CommonControlsVersion() {
    return library.commonControlsVersion;
}
int VisualStylesActive() {
    return library.visualStylesActive;
}

void LockBrushCache() {
    MakeBrushCacheLock();
    EnterCriticalSection(&library.brushCacheLock);
}

void UnlockBrushCache() {
    LeaveCriticalSection(&library.brushCacheLock);
}

Gadget* AllocateGadget(Number number) {
    return AllocateRecord<Gadget>(Gadgets(), number);
}

Number RegisterGadget(Gadget* gadget, Number number, HWND window, const GadgetClass* gadgetClass) {
    if (number == AnyNumber) number = DynamicHandle(gadget);
    gadget->window = window;
    gadget->gadgetClass = gadgetClass;
    gadget->number = number;
    // The identifier is how the owner's notifications name the gadget (see ControlHook).
    SetWindowLongPtrW(window, GWLP_ID, number);
    SetWindowSubclass(window, GadgetProcedure, 0, static_cast<DWORD_PTR>(number));
    // The stock font is made for the system's scale; a window on a screen of another scale
    // gets it at its own.
    HFONT font = CurrentGadgetFont();
    if (font == GetStockObject(DEFAULT_GUI_FONT)) font = GadgetFontForDpi(DpiForWindow(window));
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return number == DynamicHandle(gadget) ? number : reinterpret_cast<Number>(window);
}

Gadget* FindGadget(Number number) {
    return FindRecord<Gadget>(library.table, number);
}

void FreeGadget(Number number) {
    Gadget* gadget = FindGadget(number);
    if (!gadget) return;
    HWND window = gadget->window;
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    // A window that went without our procedure seeing it must not keep its number.
    if (FindGadget(number) && FindGadget(number)->window == window) ReleaseObject(library.table, number);
}

HWND FindTopWindow(HWND window) {
    while (window && !GetPropW(window, WindowIdProperty)) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}

void PostGadgetEvent(HWND control, int type) {
    PostMessageW(FindTopWindow(control), GadgetEventMessage, static_cast<WPARAM>(ControlId(control)),
                 static_cast<LPARAM>(type));
}

char* GadgetTextBuffer(std::size_t size) {
    if (size < 1) size = 1;
    if (size > library.textBufferSize) {
        void* grown = ResizeMemory(library.textBuffer, size);
        if (!grown) return nullptr;
        library.textBuffer = static_cast<char*>(grown);
        library.textBufferSize = size;
    }
    return library.textBuffer;
}

namespace {

const GadgetClass* ClassOf(Gadget* gadget) {
    return gadget ? gadget->gadgetClass : nullptr;
}

const char* EmptyText() {
    return "";
}

} // namespace

HWND GadgetHandle(Number number) {
    Gadget* gadget = FindGadget(number);
    return gadget ? gadget->window : nullptr;
}

void MoveGadget(Number number, int x, int y, int width, int height) {
    Gadget* gadget = FindGadget(number);
    if (!gadget) return;
    const GadgetClass* kind = gadget->gadgetClass;
    if (kind->resize) {
        kind->resize(gadget, x, y, width, height);
        return;
    }
    HWND window = gadget->window;
    if (x == KeepCurrent || y == KeepCurrent || width == KeepCurrent || height == KeepCurrent) {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
        if (x == KeepCurrent) x = kind->readX ? kind->readX(gadget) : bounds.left;
        if (y == KeepCurrent) y = kind->readY ? kind->readY(gadget) : bounds.top;
        if (width == KeepCurrent)
            width = kind->readWidth ? kind->readWidth(gadget) : bounds.right - bounds.left;
        if (height == KeepCurrent)
            height = kind->readHeight ? kind->readHeight(gadget) : bounds.bottom - bounds.top;
    }
    MoveWindow(window, x, y, width, height, TRUE);
    if (kind->kind == GadgetKindButton)
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INTERNALPAINT | RDW_INVALIDATE);
    else if (kind->kind == GadgetKindLabel)
        InvalidateRect(window, nullptr, FALSE);
}

int InsertGadgetItem(Number number, int position, const char* text, HANDLE image, int flags) {
    Gadget* gadget = FindGadget(number);
    const GadgetClass* kind = ClassOf(gadget);
    if (!kind) return 0;
    if (!text) text = "";
    if (kind->insertItemWithFlags) return kind->insertItemWithFlags(gadget, position, text, image, flags);
    if (kind->insertItem) return kind->insertItem(gadget, position, text, image);
    return 0;
}

#define DISPATCH(slot, ...)                                                                                  \
    Gadget* gadget = FindGadget(number);                                                                     \
    const GadgetClass* kind = ClassOf(gadget);                                                               \
    if (kind && kind->slot) return kind->slot(gadget, ##__VA_ARGS__)

void DeleteGadgetItem(Number number, int position) {
    DISPATCH(deleteItem, position);
}
void DeleteAllGadgetItems(Number number) {
    DISPATCH(deleteAllItems);
}
int GadgetItemCount(Number number) {
    DISPATCH(itemCount);
    return 0;
}
int ReadGadgetState(Number number) {
    DISPATCH(readState);
    return 0;
}
void WriteGadgetState(Number number, int value) {
    DISPATCH(writeState, value);
}
const char* ReadGadgetText(Number number) {
    Gadget* gadget = FindGadget(number);
    const GadgetClass* kind = ClassOf(gadget);
    const char* text = kind && kind->readText ? kind->readText(gadget) : nullptr;
    return text ? text : EmptyText();
}
void WriteGadgetText(Number number, const char* text) {
    DISPATCH(writeText, text ? text : "");
}
const char* ReadGadgetItemText(Number number, int row, int column) {
    Gadget* gadget = FindGadget(number);
    const GadgetClass* kind = ClassOf(gadget);
    const char* text = kind && kind->readItemText ? kind->readItemText(gadget, row, column) : nullptr;
    return text ? text : EmptyText();
}
void WriteGadgetItemText(Number number, int row, const char* text, int column) {
    DISPATCH(writeItemText, row, text ? text : "", column);
}
int ReadGadgetItemState(Number number, int row) {
    DISPATCH(readItemState, row);
    return 0;
}
void WriteGadgetItemState(Number number, int row, int bits) {
    DISPATCH(writeItemState, row, bits);
}
int InsertGadgetColumn(Number number, int position, const char* title, int width) {
    DISPATCH(insertColumn, position, title ? title : "", width);
    return 0;
}
void DeleteGadgetColumn(Number number, int position) {
    DISPATCH(deleteColumn, position);
}
int ReadGadgetAttribute(Number number, int attribute) {
    DISPATCH(readAttribute, attribute);
    return 0;
}
void WriteGadgetAttribute(Number number, int attribute, int value) {
    DISPATCH(writeAttribute, attribute, value);
}
int ReadGadgetItemAttribute(Number number, int attribute, int column) {
    DISPATCH(readItemAttribute, attribute, column);
    return 0;
}
void WriteGadgetItemAttribute(Number number, int attribute, int column, int value) {
    DISPATCH(writeItemAttribute, attribute, column, value);
}
int WriteGadgetColor(Number number, int type, int color) {
    DISPATCH(writeColor, type, color);
    return 0;
}
int ReadGadgetColor(Number number, int type) {
    DISPATCH(readColor, type);
    return 0;
}
void WriteGadgetItemColor(Number number, int row, int type, int color, int column) {
    DISPATCH(writeItemColor, row, type, color, column);
}
int ReadGadgetItemColor(Number number, int row, int type, int column) {
    DISPATCH(readItemColor, row, type, column);
    return 0;
}
void WriteGadgetItemData(Number number, int row, int value) {
    DISPATCH(writeItemData, row, value);
}
int ReadGadgetItemData(Number number, int row) {
    DISPATCH(readItemData, row);
    return 0;
}

#undef DISPATCH

void BeginGadgetBatch(Number number) {
    Gadget* gadget = FindGadget(number);
    if (!gadget) return;
    if (gadget->batchDepth++ == 0) SendMessageW(gadget->window, WM_SETREDRAW, FALSE, 0);
}

void EndGadgetBatch(Number number) {
    Gadget* gadget = FindGadget(number);
    if (!gadget || gadget->batchDepth == 0) return;
    if (--gadget->batchDepth == 0) {
        SendMessageW(gadget->window, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(gadget->window, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

int AddGadgetItems(Number number, const char* const* texts, int count) {
    if (!FindGadget(number) || !texts) return 0;
    BeginGadgetBatch(number);
    int added = 0;
    for (int i = 0; i < count; ++i)
        if (InsertGadgetItem(number, -1, texts[i], nullptr, 0) >= 0) ++added;
    EndGadgetBatch(number);
    return added;
}
