#include "controls/toolbar.h"

#include "core/handles_win32.h"
#include "core/object_table.h"
#include "framework/owner_subclass.h"
#include "images/alpha.h"

#include <commctrl.h>

namespace {

ObjectTable* toolbars = nullptr;
Number currentToolbar = 0;

ObjectTable* Table() {
    if (!toolbars) InitToolbars();
    return toolbars;
}

HIMAGELIST ImageListOf(HWND toolbar) {
    return reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
}

void SetImageList(HWND toolbar, HIMAGELIST list) {
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
}

// A right click must not leave a button looking pressed (the control keeps TBSTATE_PRESSED
// when the right button comes up over a button that the left one holds down).
void ReleasePressedButtons(HWND toolbar) {
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int index = count - 1; index >= 0; --index) {
        TBBUTTON button{};
        if (!SendMessageW(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button))) continue;
        SendMessageW(toolbar, TB_SETSTATE, button.idCommand,
                     MAKELPARAM(button.fsState & ~TBSTATE_PRESSED, 0));
    }
    if (GetCapture() == toolbar) ReleaseCapture();
}

void FreeDeadToolbars() {
    ObjectTable* table = Table();
    ResetObjectEnumeration(table);
    Number number = 0;
    while (auto* record = static_cast<ToolbarRecord*>(NextObject(table, &number)))
        if (!IsWindow(record->window)) FreeToolbar(number);
}

// A number whose toolbar is gone, or now sits on another window, names nothing here.
bool WatchOwnerMessage(HWND owner, Number number, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    auto* record = FindRecord<ToolbarRecord>(Table(), number);
    if (record && record->owner != owner) record = nullptr;
    HWND toolbar = record ? record->window : nullptr;
    switch (message) {
    case WM_SIZE:
        // Posted, not sent: the toolbar must see the owner's new size, which is only final
        // once the owner's own WM_SIZE handling is over.
        if (toolbar) PostMessageW(toolbar, TB_AUTOSIZE, 0, 0);
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (toolbar && header && header->hwndFrom == toolbar && header->code == static_cast<UINT>(NM_RCLICK))
            ReleasePressedButtons(toolbar);
        break;
    }
    case WM_NCDESTROY:
        // The toolbars went with the window's children: not only the one the subclass names,
        // but also one that an earlier OpenToolbar on this window left behind.
        if (record) FreeToolbar(number);
        FreeDeadToolbars();
        break;
    default:
        break;
    }
    return false;
}

} // namespace

void InitToolbars() {
    if (!toolbars) toolbars = NewObjectTable(sizeof(ToolbarRecord), 16, FreeToolbar);
}

void FreeToolbar(Number number) {
    auto* record = FindRecord<ToolbarRecord>(Table(), number);
    if (!record) return;
    HWND tooltip = record->tooltip;
    if (IsWindow(record->window)) DestroyWindow(record->window);
    if (IsWindow(tooltip)) DestroyWindow(tooltip);
    ReleaseObject(Table(), number);
}

Number OpenToolbar(Number number, HWND window) {
    auto* record = AllocateRecord<ToolbarRecord>(Table(), number);
    if (!record) return 0;
    Number actual = number == AnyNumber ? DynamicHandle(record) : number;
    currentToolbar = actual;

    // The button structure size follows the build: 20 bytes on i686, 32 on x86_64.
    HWND toolbar = CreateToolbarEx(window, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS,
                                   static_cast<UINT>(ToolbarControlId), 0, nullptr, 0, nullptr, 0, 0, 0, 0, 0,
                                   sizeof(TBBUTTON));
    if (!toolbar) {
        // A dynamic record that never got a window would be unreachable: give it back.
        if (number == AnyNumber) ReleaseObject(Table(), actual);
        return 0;
    }
    record->window = toolbar;
    record->owner = window;

    record->tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, toolbar,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    if (record->tooltip)
        SetWindowPos(record->tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    HIMAGELIST list = ImageListOf(toolbar);
    ImageList_ReplaceIcon(list, -1, LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));
    SetImageList(toolbar, list);

    TBADDBITMAP bitmap{HINST_COMMCTRL, 2};
    SendMessageW(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap));

    WatchOwner(window, WatchOwnerMessage, actual);
    return number == AnyNumber ? actual : reinterpret_cast<Number>(toolbar);
}

HWND ToolbarHandle(Number number) {
    auto* record = FindRecord<ToolbarRecord>(Table(), number);
    return record ? record->window : nullptr;
}

LRESULT AddToolbarButton(int identifier, HANDLE image, int mode) {
    HWND toolbar = ToolbarHandle(currentToolbar);
    if (!toolbar) return 0;

    HIMAGELIST list = ImageListOf(toolbar);
    int index;
    if (image && GetObjectType(image) == OBJ_BITMAP) {
        auto bitmap = static_cast<HBITMAP>(image);
        UniqueBitmap mask(MakeMaskFromAlpha(bitmap));
        index = ImageList_Add(list, bitmap, mask.get());
    } else {
        index = ImageList_ReplaceIcon(list, -1, static_cast<HICON>(image));
    }
    SetImageList(toolbar, list);

    TBBUTTON button{};
    button.iBitmap = index;
    button.idCommand = identifier;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = mode ? BTNS_CHECK : BTNS_BUTTON;
    return SendMessageW(toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
}

int SetToolbarButtonDisabled(Number number, int identifier, int disabled) {
    if (HWND toolbar = ToolbarHandle(number))
        SendMessageW(toolbar, TB_ENABLEBUTTON, identifier, MAKELPARAM(!disabled, 0));
    return 1;
}

int ToolbarButtonsRight(Number number) {
    HWND toolbar = ToolbarHandle(number);
    int count = toolbar ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : 0;
    int right = 0;
    for (int index = 0; index < count; ++index) {
        RECT button{};
        if (SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button)) &&
            button.right > right)
            right = button.right;
    }
    return right;
}
