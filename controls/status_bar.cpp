#include "controls/status_bar.h"

#include "controls/gadget.h"
#include "core/handles_win32.h"
#include "core/memory.h"
#include "core/object_table.h"
#include "framework/dpi.h"
#include "framework/owner_subclass.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <cstring>
#include <utility>

namespace {

constexpr int MinimumHeight = 18; // at 96 DPI, like every figure here
constexpr int FieldGrowStep = 8;
constexpr int LocalEdges = 32;

struct StatusBarState {
    ObjectTable* table;
    Number current;
};

StatusBarState* state = nullptr;

StatusBarState* State() {
    if (!state) InitStatusBars();
    return state;
}

StatusBarRecord* FindBar(Number number) {
    return FindRecord<StatusBarRecord>(State()->table, number);
}

// The fields are plain memory; the copy of a field's picture is let go by an owner here.
void DropImageCopy(StatusField& field) {
    UniqueBitmap gone(std::exchange(field.imageCopy, nullptr));
}

void ReleaseFields(StatusBarRecord* record) {
    for (int i = 0; i < record->count; ++i)
        DropImageCopy(record->fields[i]);
    FreeMemory(record->fields);
    record->fields = nullptr;
    record->count = record->capacity = 0;
}

void FillEdges(const StatusBarRecord* record, int left, int right, int* edges) {
    int fixed = 0, shared = 0;
    for (int i = 0; i < record->count; ++i) {
        if (record->fields[i].width == KeepCurrent)
            ++shared;
        else
            fixed += record->fields[i].width;
    }
    int share = shared > 0 ? (right - left - fixed) / shared : 0;
    int edge = 0;
    for (int i = 0; i < record->count; ++i) {
        edge += record->fields[i].width == KeepCurrent ? share : record->fields[i].width;
        edges[i] = edge;
    }
}

void LayOut(StatusBarRecord* record) {
    if (record->count <= 0) return;
    RECT client{};
    GetClientRect(record->window, &client);
    int right = client.right;
    HWND owner = GetParent(record->window);
    // A resizable, non-maximized window draws its size grip into the bar's right end.
    if (owner && IsWindow(owner) && !IsZoomed(owner) && (GetWindowLongW(owner, GWL_STYLE) & WS_THICKFRAME))
        right = client.right - client.bottom + DpiScale(record->window, 3);

    int localEdges[LocalEdges];
    int* edges = localEdges;
    if (record->count > LocalEdges) {
        edges = static_cast<int*>(AllocateMemory(sizeof(int) * static_cast<std::size_t>(record->count)));
        if (!edges) return;
    }
    FillEdges(record, client.left, right, edges);
    SendMessageW(record->window, SB_SETPARTS, record->count, reinterpret_cast<LPARAM>(edges));
    if (edges != localEdges) FreeMemory(edges);

    if (!VisualStylesActive()) return;
    for (int i = 0; i < record->count; ++i) {
        const StatusField& field = record->fields[i];
        if (field.kind == 0 || !field.progressWindow) continue;
        RECT part{};
        SendMessageW(record->window, SB_GETRECT, i, reinterpret_cast<LPARAM>(&part));
        auto scale = [&](int value) { return DpiScale(record->window, value); };
        MoveWindow(field.progressWindow, part.left + scale(2), part.top + scale(3),
                   part.right - part.left - scale(8), part.bottom - part.top - scale(6), TRUE);
    }
}

// The owner's subclass must not lay out a bar that is gone, or one that later took over the
// number on another window.
bool WatchOwnerMessage(HWND owner, Number number, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
    StatusBarRecord* record = FindBar(number);
    if (!record || record->owner != owner) return false;
    if (message == WM_SIZE && (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)) {
        RECT client{};
        GetClientRect(owner, &client);
        // Windows send WM_SIZE for many reasons that leave the size as it was; a layout
        // each time would make the bar flicker during live sizing.
        if (client.right != record->lastWidth || client.bottom != record->lastHeight) {
            SendMessageW(record->window, WM_SIZE, 0, 0);
            LayOut(record);
            InvalidateRect(record->window, nullptr, FALSE);
            record->lastWidth = client.right;
            record->lastHeight = client.bottom;
        }
    } else if (message == WM_DPICHANGED) {
        // The window's own handling sizes everything next; the bar must be as tall as the
        // new scale wants by then.
        SendMessageW(record->window, SB_SETMINHEIGHT, ScaleForDpi(MinimumHeight, HIWORD(wParam)), 0);
        record->lastWidth = record->lastHeight = 0;
    } else if (message == WM_NCDESTROY) {
        ReleaseFields(record);
        ReleaseObject(State()->table, number);
    }
    return false;
}

// The text as the control wants it: tabs in front align it, and themed bars draw right-aligned
// text into the size grip's corner unless a few blanks keep it clear.
char* AlignedText(const char* text, int flags) {
    if (!text) text = "";
    const char* prefix = "";
    const char* suffix = "";
    if (flags & StatusTextCentred) {
        prefix = "\t";
    } else if (flags & StatusTextRight) {
        prefix = "\t\t";
        if (VisualStylesActive()) suffix = "    ";
    }
    std::size_t length = std::strlen(prefix) + std::strlen(text) + std::strlen(suffix);
    auto* result = static_cast<char*>(AllocateMemory(length + 1));
    if (!result) return nullptr;
    std::strcpy(result, prefix);
    std::strcat(result, text);
    std::strcat(result, suffix);
    return result;
}

} // namespace

void InitStatusBars() {
    if (state) return;
    state = NewLibraryState<StatusBarState>();
    if (state) state->table = NewObjectTable(sizeof(StatusBarRecord), 16, FreeStatusBar);
}

void FreeStatusBar(Number number) {
    StatusBarRecord* record = FindBar(number);
    if (!record) return;
    DestroyWindow(record->window);
    ReleaseFields(record);
    ReleaseObject(State()->table, number);
}

Number OpenStatusBar(Number number, HWND window) {
    DetectVisualStyles();
    auto* record = AllocateRecord<StatusBarRecord>(State()->table, number);
    if (!record) return 0;
    Number actual = number == AnyNumber ? DynamicHandle(record) : number;
    auto* fields = static_cast<StatusField*>(AllocateMemory(sizeof(StatusField) * FieldGrowStep));
    HWND bar = fields ? CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", window, StatusBarControlId) : nullptr;
    if (!bar) {
        FreeMemory(fields);
        if (number == AnyNumber) ReleaseObject(State()->table, actual);
        return 0;
    }
    record->window = bar;
    record->owner = window;
    record->fields = fields;
    record->count = 0;
    record->capacity = FieldGrowStep;
    record->lastWidth = record->lastHeight = 0;

    WatchOwner(window, WatchOwnerMessage, actual);
    SendMessageW(bar, SB_SETMINHEIGHT, DpiScale(window, MinimumHeight), 0);
    SendMessageW(bar, WM_SIZE, 0, 0);
    State()->current = actual;

    // Lets the window's own layout run again, now with the bar in place.
    RECT client{};
    GetClientRect(window, &client);
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    return number == AnyNumber ? actual : reinterpret_cast<Number>(bar);
}

void AddStatusField(int width) {
    StatusBarRecord* record = FindBar(State()->current);
    if (!record || record->count >= MaxStatusFields) return;
    if (record->count >= record->capacity) {
        int capacity = record->capacity + FieldGrowStep;
        void* grown = ResizeMemory(record->fields, sizeof(StatusField) * static_cast<std::size_t>(capacity));
        if (!grown) return;
        record->fields = static_cast<StatusField*>(grown);
        record->capacity = capacity;
    }
    StatusField& field = record->fields[record->count];
    field = StatusField{};
    field.width = width;
    field.progressMaximum = 100;
    ++record->count;
    LayOut(record);
}

void SetStatusFieldText(Number number, int field, const char* text, int flags) {
    StatusBarRecord* record = FindBar(number);
    if (!record || field < 0 || field >= MaxStatusFields) return;
    if (field < record->count) {
        StatusField& entry = record->fields[field];
        entry.kind = 0;
        if (entry.progressWindow) ShowWindow(entry.progressWindow, SW_HIDE);
        DropImageCopy(entry);
        entry.textFlags = flags;
    }

    WPARAM type = 0;
    if (flags & StatusTextRaised)
        type = SBT_POPOUT;
    else if (flags & StatusTextBorderless)
        type = SBT_NOBORDERS;

    char* aligned = AlignedText(text, flags);
    std::wstring wide = ToWide(aligned ? aligned : "");
    SendMessageW(record->window, SB_SETTEXTW, static_cast<WPARAM>(field) | type,
                 reinterpret_cast<LPARAM>(wide.c_str()));
    FreeMemory(aligned);

    if (type == SBT_NOBORDERS) {
        RECT part{};
        if (SendMessageW(record->window, SB_GETRECT, field, reinterpret_cast<LPARAM>(&part)))
            InvalidateRect(record->window, &part, TRUE);
    }
}
