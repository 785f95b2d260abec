#include "framework/window.h"

#include "core/handles_win32.h"
#include "core/memory.h"
#include "core/object_table.h"
#include "framework/dpi.h"
#include "framework/gadget_list.h"
#include "framework/live_sizing.h"
#include "settings/wide_text.h"

#include <richedit.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t WindowIdProperty[] = L"OZ_WindowID";
constexpr int AcceleratorCount = 2;

struct WindowRecord {
    HWND handle; // first: the registry's in-use marker
    ACCEL* accelerators;
    HACCEL acceleratorTable;
    int acceleratorCount;
    unsigned short minWidth;
    unsigned short minHeight;
    unsigned short maxWidth;
    unsigned short maxHeight;
    int minimizedOrMaximized;
};

struct EventFields {
    Number number;
    Number window;
    int type;
    int pending;
    WPARAM wParam;
    LPARAM lParam;
};

struct QueuedEvent {
    QueuedEvent* next;
    int code;
    Number window;
};

struct EventState {
    EventFields working;
    EventFields published;
    QueuedEvent* head;
    QueuedEvent* tail;
};

struct WindowLibrary {
    ObjectTable* table;
    EventState* events;
    HICON icon;
    HCURSOR arrow;
    ControlMessageHook hook;
};

WindowLibrary library{};

void CloseWindowObject(Number number) {
    CloseTopWindow(number);
}

// Every entry point makes sure the library exists, so tests and early callers need no set-up.
bool Ready() {
    if (!library.table) library.table = NewObjectTable(sizeof(WindowRecord), 16, CloseWindowObject);
    if (!library.events) library.events = NewLibraryState<EventState>();
    if (!library.icon) library.icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!library.arrow) library.arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    return library.table && library.events;
}

WindowRecord* FindWindowRecord(Number number) {
    return Ready() ? FindRecord<WindowRecord>(library.table, number) : nullptr;
}

struct ClassName {
    wchar_t text[40];
    explicit ClassName(Number number) {
        AppendDecimal(text, L"WindowClass_", number);
    }
};

// The property holds number + 1 so that window 0 does not read as absent.
Number NumberFromProperty(HWND window) {
    auto value = reinterpret_cast<std::intptr_t>(GetPropW(window, WindowIdProperty));
    return value ? static_cast<Number>(value - 1) : -1;
}

// Our windows also keep number + 1 in their user data, set and cleared together with the
// property: reading a property is a server round trip under some systems, and the window
// procedure needs the number for every message.
void MarkWindow(HWND window, Number number) {
    auto value = static_cast<std::intptr_t>(number + 1);
    SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(value));
    SetPropW(window, WindowIdProperty, reinterpret_cast<HANDLE>(value));
}

void UnmarkWindow(HWND window) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    RemovePropW(window, WindowIdProperty);
}

// Only for windows of our own class: anyone else's user data means nothing to us.
Number NumberFromUserData(HWND window) {
    auto value = static_cast<std::intptr_t>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return value ? static_cast<Number>(value - 1) : -1;
}

// The number of any window, ours or not: the user data counts only when our table holds that
// very window under the number it names.
Number NumberOfWindow(HWND window) {
    Number number = NumberFromUserData(window);
    if (number != -1) {
        WindowRecord* record = FindRecord<WindowRecord>(library.table, number);
        if (record && record->handle == window) return number;
    }
    return NumberFromProperty(window);
}

void QueueEvent(int code, Number window) {
    EventState* events = library.events;
    if (!events) return;
    if (events->tail && events->tail->code == code && events->tail->window == window) return;
    auto* node = AllocateRecord<QueuedEvent>();
    if (!node) return; // that one event is lost
    node->code = code;
    node->window = window;
    if (events->tail)
        events->tail->next = node;
    else
        events->head = node;
    events->tail = node;
}

LRESULT CallHook(HWND control, HWND receiver, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!library.hook || !control) return NotHandled;
    return library.hook(control, receiver, message, wParam, lParam);
}

BOOL CALLBACK ForwardSystemColourChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

void HandleCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    EventState& events = *library.events;
    auto control = reinterpret_cast<HWND>(lParam);
    if (control) {
        if (CallHook(control, window, WM_COMMAND, wParam, lParam) != NotHandled) return;
        events.working.type = HIWORD(wParam);
        int id = GetWindowLongW(control, GWL_ID);
        if (id == ToolbarControlId) {
            events.working.number = LOWORD(wParam);
            events.working.pending = MenuEvent;
        } else {
            events.working.number = id;
            events.working.pending = GadgetEvent;
        }
        return;
    }
    int command = LOWORD(wParam);
    if (HIWORD(wParam) != 0 && (command == CmdFocusNext || command == CmdFocusPrevious)) {
        MoveFocus(command == CmdFocusPrevious);
        return;
    }
    events.working.number = command;
    events.working.pending = MenuEvent;
}

LRESULT HandleSize(HWND window, HWND carrier, Number number, WindowRecord* record, WPARAM wParam) {
    if (window != carrier) return 1;
    if (number == -1) return NotHandled;
    switch (wParam) {
    case SIZE_MINIMIZED:
        if (record) record->minimizedOrMaximized = 1;
        QueueEvent(MinimizeWindowEvent, number);
        break;
    case SIZE_MAXIMIZED:
        if (record) record->minimizedOrMaximized = 1;
        QueueEvent(MaximizeWindowEvent, number);
        QueueEvent(SizeWindowEvent, number);
        break;
    case SIZE_RESTORED:
        if (record && record->minimizedOrMaximized) {
            record->minimizedOrMaximized = 0;
            QueueEvent(RestoreWindowEvent, number);
        }
        QueueEvent(SizeWindowEvent, number);
        break;
    default:
        QueueEvent(SizeWindowEvent, number);
        break;
    }
    return 0;
}

LRESULT HandleMinMaxInfo(HWND window, WindowRecord* record, LPARAM lParam) {
    if (!record) return NotHandled;
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (record->minWidth)
        info->ptMinTrackSize.x = record->minWidth;
    else if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        info->ptMinTrackSize.x = 1;
    if (record->minHeight) info->ptMinTrackSize.y = record->minHeight;
    if (record->maxWidth) info->ptMaxTrackSize.x = record->maxWidth;
    if (record->maxHeight) info->ptMaxTrackSize.y = record->maxHeight;
    return 0;
}

// The system suggests a place of the right size on the new screen; the children and fonts
// follow first, so that everything sized from them afterwards sees the new scale.
LRESULT HandleDpiChange(HWND window, Number number, WindowRecord* record, WPARAM wParam, LPARAM lParam) {
    if (!record || window != record->handle) return NotHandled;
    int oldDpi = DpiForWindow(window);
    int newDpi = HIWORD(wParam);
    NoteWindowDpi(window, newDpi);
    RescaleChildren(window, oldDpi, newDpi);
    // The limits of the old scale would hold the window at a size the new one does not want;
    // the owner sets exact ones once it has laid itself out anew.
    for (unsigned short* limit : {&record->minWidth, &record->minHeight, &record->maxWidth, &record->maxHeight})
        if (*limit && oldDpi > 0) *limit = static_cast<unsigned short>(MulDiv(*limit, newDpi, oldDpi));
    // Without an icon of the new size the window keeps the one it has.
    for (bool small : {false, true})
        if (HICON icon = ProgramIconForDpi(newDpi, small))
            SendMessageW(window, WM_SETICON, small ? ICON_SMALL : ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (const auto* place = reinterpret_cast<const RECT*>(lParam))
        SetWindowPos(window, nullptr, place->left, place->top, place->right - place->left,
                     place->bottom - place->top, SWP_NOZORDER | SWP_NOACTIVATE);
    QueueEvent(DpiChangedWindowEvent, number);
    return 0;
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The first window up the parent chain that carries the property is the one events name.
    // The walk stops at the top: a pop-up's GetParent is its owner, and a window still being
    // created (no property yet) must not take its owner's number and size limits.
    // This procedure belongs to our own class, so the user data is ours to read; it is still
    // empty while the window is being created, and then the walk decides as before.
    HWND carrier = window;
    Number number = NumberFromUserData(window);
    if (number == -1) {
        while (carrier && !GetPropW(carrier, WindowIdProperty))
            carrier = (GetWindowLongW(carrier, GWL_STYLE) & WS_CHILD) ? GetParent(carrier) : nullptr;
        number = carrier ? NumberFromProperty(carrier) : -1;
    }
    WindowRecord* record = number != -1 ? FindRecord<WindowRecord>(library.table, number) : nullptr;
    EventState& events = *library.events;
    events.working.window = number;

    switch (message) {
    case WM_MOVE:
        if (number != -1) QueueEvent(MoveWindowEvent, number);
        return 0;
    case WM_SIZE:
        return HandleSize(window, carrier, number, record, wParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam)) QueueEvent(ActivateWindowEvent, number);
        return 1;
    case WM_CLOSE:
        // Closing is the application's decision; the window stays.
        if (number != -1) QueueEvent(CloseWindowEvent, number);
        return 0;
    case WM_ERASEBKGND:
        QueueEvent(RepaintEvent, number);
        return NotHandled;
    case WM_SYSCOLORCHANGE:
        if (record) EnumChildWindows(window, ForwardSystemColourChange, 0);
        return NotHandled;
    case WM_GETMINMAXINFO:
        return HandleMinMaxInfo(window, record, lParam);
    case WM_DPICHANGED:
        return HandleDpiChange(window, number, record, wParam, lParam);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        return header ? CallHook(header->hwndFrom, window, message, wParam, lParam) : NotHandled;
    }
    case WM_COMMAND:
        HandleCommand(window, wParam, lParam);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return CallHook(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
    case GadgetEventMessage:
        events.working.pending = GadgetEvent;
        events.working.number = static_cast<Number>(wParam);
        events.working.type = static_cast<int>(lParam);
        return 0;
    default:
        return NotHandled;
    }
}

LRESULT CALLBACK FrameworkWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = SizingMessage(window, message, wParam, lParam);
    if (result != NotHandled) return result;
    result = Ready() ? HandleMessage(window, message, wParam, lParam) : NotHandled;
    if (result != NotHandled) return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x80) != 0;
}

// Tab must reach an editable rich edit and the shortcut field as an ordinary key.
HACCEL ActiveAccelerators(HWND active) {
    if (HWND focus = GetFocus()) {
        if (KeyDown(VK_TAB) && !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT) && !KeyDown(VK_MENU)) {
            wchar_t className[5] = {};
            GetClassNameW(focus, className, sizeof className / sizeof className[0]);
            if (std::wcsncmp(className, L"Rich", 4) == 0 &&
                !(SendMessageW(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY))
                return nullptr;
        }
        if (GetPropW(focus, L"OZ_Hotkey")) return nullptr;
    }
    if (!active) return nullptr;
    Number number = NumberOfWindow(active);
    if (number == -1) return nullptr;
    WindowRecord* record = FindRecord<WindowRecord>(library.table, number);
    return record ? record->acceleratorTable : nullptr;
}

// Returns false when nothing arrived in time.
bool FetchMessage(int milliseconds, MSG& message) {
    if (milliseconds < 0) return GetMessageW(&message, nullptr, 0, 0) != -1;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return true;
    if (milliseconds == 0) return false;
    DWORD waited =
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds), QS_ALLINPUT);
    if (waited == WAIT_TIMEOUT) return false;
    return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != 0;
}

} // namespace

void SetControlMessageHook(ControlMessageHook hook) {
    library.hook = hook;
}

void InitWindows() {
    Ready();
    InitLiveSizing();
}

void EndWindows() {
    if (!library.table) return;
    FreeAllObjects(library.table);
    EndDpiResources();
}

Number OpenTopWindow(Number number, int x, int y, int innerWidth, int innerHeight, const char* title,
                     unsigned flags, HWND parent) {
    if (!Ready()) return 0;
    auto* record = AllocateRecord<WindowRecord>(library.table, number);
    if (!record) return 0;
    bool dynamic = number == AnyNumber;
    if (dynamic) number = DynamicHandle(record);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    ClassName className(number);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = FrameworkWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = library.icon;
    windowClass.hCursor = library.arrow;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className.text;
    RegisterClassW(&windowClass);
    std::wstring wideTitle = ToWide(title ? title : "");

    bool makeGadgetList = true;
    if (flags & WindowNoGadgetList) {
        makeGadgetList = false;
        flags &= ~WindowNoGadgetList;
    }
    if (!(flags & ~(WindowCentreOnScreen | WindowCentreOnParent | WindowInvisible))) flags |= WS_CAPTION;
    bool show = true;
    if (flags & WindowInvisible) {
        show = false;
        flags &= ~WindowInvisible;
    }
    DWORD exStyle = 0;
    if (flags & WindowToolWindow) {
        flags &= ~(WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
        exStyle = WS_EX_TOOLWINDOW;
    }
    DWORD style = flags & ~(WindowCentreOnScreen | WindowCentreOnParent | WindowToolWindow);

    RECT frame{0, 0, innerWidth, innerHeight};
    // The system gives every overlapped window a title bar, asked for or not; a frame worked out
    // without one would leave the inner size short by the difference.
    DWORD framedStyle = style & (WS_POPUP | WS_CHILD) ? style : style | WS_CAPTION;
    AdjustWindowRectEx(&frame, framedStyle, FALSE, exStyle);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;

    bool keepPlace = x == KeepCurrent || y == KeepCurrent;
    if (keepPlace && !(flags & (WindowCentreOnScreen | WindowCentreOnParent))) {
        x = y = CW_USEDEFAULT;
    } else if (flags & WindowCentreOnScreen) {
        int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        if (outerWidth > screenWidth) outerWidth = screenWidth;
        if (outerHeight > screenHeight) outerHeight = screenHeight;
        x = (screenWidth - outerWidth) / 2;
        y = (screenHeight - outerHeight) / 2;
    } else if (flags & WindowCentreOnParent) {
        HWND reference = parent ? parent : GetActiveWindow();
        RECT area{};
        if (reference && GetWindowRect(reference, &area)) {
            x = area.left + (area.right - area.left - outerWidth) / 2;
            y = area.top + (area.bottom - area.top - outerHeight) / 2;
            if (x < 0) x = 0;
            if (y < 0) y = 0;
        } else if (keepPlace) {
            // Nothing to centre on and no place given: a position of -65535 would be off screen.
            x = y = CW_USEDEFAULT;
        }
    }

    HWND window = CreateWindowExW(exStyle, className.text, wideTitle.c_str(), style, x, y, outerWidth,
                                  outerHeight, parent, nullptr, instance, nullptr);
    if (!window) {
        UnregisterClassW(className.text, instance);
        ReleaseObject(library.table, number);
        return 0;
    }
    record->handle = window;
    MarkWindow(window, number);

    if (show) {
        int command = SW_SHOWNORMAL;
        if (style & WS_MAXIMIZE)
            command = SW_SHOWMAXIMIZED;
        else if (style & WS_MINIMIZE)
            command = SW_SHOWMINIMIZED;
        ShowWindow(window, command);
    }

    // Showing may have sent messages that grew the table; look the record up again.
    record = FindWindowRecord(number);
    if (record) {
        if (style & (WS_MINIMIZE | WS_MAXIMIZE)) record->minimizedOrMaximized = 1;
        record->accelerators = static_cast<ACCEL*>(AllocateMemory(AcceleratorCount * sizeof(ACCEL)));
        if (record->accelerators) {
            record->accelerators[0] = ACCEL{FVIRTKEY | FNOINVERT, VK_TAB, CmdFocusNext};
            record->accelerators[1] = ACCEL{FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CmdFocusPrevious};
            record->acceleratorCount = AcceleratorCount;
            record->acceleratorTable = CreateAcceleratorTableW(record->accelerators, AcceleratorCount);
        }
    }

    if (makeGadgetList) SwitchGadgetList(window);
    return dynamic ? number : reinterpret_cast<Number>(window);
}

int CloseTopWindow(Number number) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return 0;
    HWND window = record->handle;
    if (HWND owner = GetWindow(window, GW_OWNER)) SetActiveWindow(owner);
    UnmarkWindow(window);
    DestroyWindow(window);
    UnregisterClassW(ClassName(number).text, GetModuleHandleW(nullptr));

    record = FindWindowRecord(number);
    if (record) {
        UniqueAcceleratorTable gone(record->acceleratorTable); // the record is plain memory
        FreeMemory(record->accelerators);
    }
    ReleaseObject(library.table, number);
    return 1;
}

void SetWindowSizeLimits(Number number, int minWidth, int minHeight, int maxWidth, int maxHeight) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    HWND window = record->handle;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectForDpi(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                           GetMenu(window) != nullptr,
                           static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), DpiForWindow(window));
    int frameWidth = frame.right - frame.left;
    int frameHeight = frame.bottom - frame.top;
    auto outer = [](int limit, int extent) { return static_cast<unsigned short>(limit + extent); };
    if (minWidth != KeepCurrent) record->minWidth = outer(minWidth, frameWidth);
    if (minHeight != KeepCurrent) record->minHeight = outer(minHeight, frameHeight);
    if (maxWidth != KeepCurrent) record->maxWidth = outer(maxWidth, frameWidth);
    if (maxHeight != KeepCurrent) record->maxHeight = outer(maxHeight, frameHeight);
}

int WindowInnerWidth(Number number) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return 0;
    RECT client{};
    GetClientRect(record->handle, &client);
    return client.right - client.left;
}

int WindowInnerHeight(Number number) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return 0;
    RECT client{};
    GetClientRect(record->handle, &client);
    int height = client.bottom - client.top;
    if (GetMenu(record->handle)) height += SystemMetricForDpi(SM_CYMENU, DpiForWindow(record->handle));
    return height;
}

HWND WindowHandle(Number number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->handle : nullptr;
}

void SetWindowHidden(Number number, int hide) {
    HWND window = WindowHandle(number);
    if (!window) return;
    if (hide) {
        if (HWND owner = GetWindow(window, GW_OWNER)) SetActiveWindow(owner);
        ShowWindow(window, SW_HIDE);
        return;
    }
    // The window comes back in the state it had; bringing it forward is the caller's business.
    int command = SW_SHOWNORMAL;
    if (IsZoomed(window))
        command = SW_SHOWMAXIMIZED;
    else if (IsIconic(window))
        command = SW_SHOWMINIMIZED;
    ShowWindow(window, command);
}

void SetWindowDisabled(Number number, int disable) {
    if (HWND window = WindowHandle(number)) EnableWindow(window, disable ? FALSE : TRUE);
}

int WaitEvent() {
    return WaitEventTimeout(-1);
}

int WaitEventTimeout(int milliseconds) {
    if (!Ready()) return 0;
    EventState& events = *library.events;
    events.working.type = -1;
    int code = 0;

    if (QueuedEvent* node = events.head) {
        events.head = node->next;
        if (!events.head) events.tail = nullptr;
        code = node->code;
        events.working.window = node->window;
        events.working.pending = 0;
        FreeMemory(node);
    } else {
        MSG message{};
        if (!FetchMessage(milliseconds, message)) return 0;
        // Keys go to the focus, usually a control; while a window is sized from the keyboard
        // they belong to that window, as they would in the system's own sizing loop.
        if (message.message == WM_KEYDOWN) {
            HWND sized = LiveSizingWindow();
            if (sized && message.hwnd != sized && IsChild(sized, message.hwnd)) message.hwnd = sized;
        }
        HWND active = GetActiveWindow();
        HACCEL accelerators = ActiveAccelerators(active);
        if (!accelerators || !TranslateAcceleratorW(active, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (events.working.pending) {
            code = events.working.pending;
            events.working.pending = 0;
        } else if (events.head && events.head->code == static_cast<int>(message.message)) {
            // Window events reuse the numbers of their messages. A posted WM_CLOSE would
            // otherwise come out twice, raw and queued, and the application would ask its close
            // question twice; the queue (empty before this message) holds the event itself.
            QueuedEvent* node = events.head;
            events.head = node->next;
            if (!events.head) events.tail = nullptr;
            code = node->code;
            events.working.window = node->window;
            FreeMemory(node);
        } else {
            code = static_cast<int>(message.message);
            events.working.wParam = message.wParam;
            events.working.lParam = message.lParam;
        }
    }
    events.published = events.working;
    return code;
}

Number EventMenuNumber() {
    return library.events ? library.events->published.number : 0;
}
Number EventGadgetNumber() {
    return EventMenuNumber();
}
int EventType() {
    return library.events ? library.events->published.type : -1;
}
Number EventWindow() {
    return library.events ? library.events->published.window : -1;
}
WPARAM EventWParam() {
    return library.events ? library.events->published.wParam : 0;
}
LPARAM EventLParam() {
    return library.events ? library.events->published.lParam : 0;
}
