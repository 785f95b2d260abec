#include "controls/shortcut_field.h"

#include "controls/gadget.h"
#include "framework/gadget_list.h"

#include <commctrl.h>

namespace {

// The event loop does not apply a window's keyboard shortcuts while a window with this
// property has the focus, so Tab and Return reach the field.
const wchar_t* const HotkeyProperty = L"OZ_Hotkey";

BYTE HeldModifiers() {
    BYTE modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= HOTKEYF_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= HOTKEYF_CONTROL;
    if (GetKeyState(VK_MENU) < 0) modifiers |= HOTKEYF_ALT;
    return modifiers;
}

bool IsKeyTheControlPassesOn(WPARAM key) {
    return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE || key == VK_DELETE;
}

LRESULT CALLBACK ShortcutProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        RemovePropW(window, HotkeyProperty);
        RemoveWindowSubclass(window, ShortcutProcedure, id);
    }
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && IsKeyTheControlPassesOn(wParam)) {
        // The control would hand these to the dialog (focus change, default button, cancel)
        // and forget its value; here they are keys like any other.
        SendMessageW(window, HKM_SETHOTKEY, MAKEWORD(static_cast<BYTE>(wParam), HeldModifiers()), 0);
        // The control does not report values set by message; report this one as it reports a
        // typed key, so that the owner hears about every value with a key.
        SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), EN_CHANGE),
                     reinterpret_cast<LPARAM>(window));
        return 0;
    }
    // The characters that these keys make would reach some hot-key controls as keys again and
    // clear the value just set.
    if ((message == WM_CHAR || message == WM_SYSCHAR) &&
        (wParam == '\t' || wParam == '\r' || wParam == 0x1B || wParam == ' '))
        return 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

int ReadShortcut(Gadget* gadget) {
    auto value = static_cast<WORD>(SendMessageW(gadget->window, HKM_GETHOTKEY, 0, 0));
    int key = LOBYTE(value);
    if (key == 0) return 0;
    int modifiers = HIBYTE(value);
    if (modifiers & HOTKEYF_SHIFT) key |= ShortcutShift;
    if (modifiers & HOTKEYF_CONTROL) key |= ShortcutControl;
    if (modifiers & HOTKEYF_ALT) key |= ShortcutAlt;
    return key;
}

void WriteShortcut(Gadget* gadget, int shortcut) {
    WPARAM value = static_cast<WPARAM>(shortcut & 0xFFFF);
    if (shortcut & ShortcutShift) value |= HOTKEYF_SHIFT << 8;
    if (shortcut & ShortcutControl) value |= HOTKEYF_CONTROL << 8;
    if (shortcut & ShortcutAlt) value |= HOTKEYF_ALT << 8;
    SendMessageW(gadget->window, HKM_SETHOTKEY, value, 0);
}

LRESULT ShortcutMessage(Gadget* gadget, HWND owner, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND) return NotHandled;
    if (HIWORD(wParam) & 0x300) {
        auto value = static_cast<WORD>(SendMessageW(gadget->window, HKM_GETHOTKEY, 0, 0));
        // Some hot-key controls read 0 while only modifiers are held; that is not an empty
        // field yet, so only a key, or an empty field with nothing held, is news.
        bool empty = value == 0 && HeldModifiers() == 0;
        if (LOBYTE(value) != 0 || empty) PostGadgetEvent(gadget->window, GadgetEventLeftClick);
    }
    return 0;
}

const GadgetClass* ShortcutClass() {
    static GadgetClass kind{};
    if (!kind.kind) {
        kind.size = sizeof kind;
        kind.messageHandler = ShortcutMessage;
        kind.readState = ReadShortcut;
        kind.writeState = WriteShortcut;
        kind.kind = GadgetKindShortcut;
    }
    return &kind;
}

} // namespace

Number CreateShortcutGadget(Number number, int x, int y, int width, int height, int shortcut) {
    HWND window = CreateWindowExW(WS_EX_CLIENTEDGE, HOTKEY_CLASSW, L"",
                                  WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, x, y, width, height,
                                  CurrentGadgetList(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return 0;
    Gadget* gadget = AllocateGadget(number);
    if (!gadget) {
        DestroyWindow(window);
        return 0;
    }
    SetWindowSubclass(window, ShortcutProcedure, 0, 0);
    SetPropW(window, HotkeyProperty, reinterpret_cast<HANDLE>(1));
    Number result = RegisterGadget(gadget, number, window, ShortcutClass());
    WriteShortcut(gadget, shortcut);
    return result;
}

HWND FocusGadget(Number number) {
    if (number == -1) return SetFocus(nullptr);
    HWND window = GadgetHandle(number);
    return window ? SetFocus(window) : nullptr;
}
