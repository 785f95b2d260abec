#include "framework/gadget_list.h"

#include "core/memory.h"
#include "core/object_table.h"
#include "framework/owner_subclass.h"

namespace {

constexpr int InitialStackCapacity = 10;

struct SavedGadgetList;

// The part of the gadget library's state that gadget lists own.
struct GadgetListState {
    HWND currentListWindow;
    HFONT currentFont;
    HWND* nestingStack;
    int nestingDepth;
    int nestingCapacity;
    SavedGadgetList* saved; // every window's record, newest first
};

// Kept for every window that has been a gadget list: the number its owner watch carries, and a
// link in this module's own chain so that a switch finds it without asking the window.
struct SavedGadgetList {
    HWND window;
    HWND currentListWindow;
    HWND* nestingStack;
    int nestingDepth;
    int nestingCapacity;
    SavedGadgetList* next;
};

GadgetListState* state = nullptr;

void InitialiseState(void* record) {
    auto* fresh = static_cast<GadgetListState*>(record);
    fresh->currentFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fresh->nestingStack = static_cast<HWND*>(AllocateMemory(InitialStackCapacity * sizeof(HWND)));
    fresh->nestingCapacity = fresh->nestingStack ? InitialStackCapacity : 0;
}

GadgetListState* State() {
    if (!state) state = NewLibraryState<GadgetListState>(InitialiseState);
    return state;
}

SavedGadgetList* SavedListOf(HWND window) {
    GadgetListState* context = State();
    for (SavedGadgetList* saved = context ? context->saved : nullptr; saved; saved = saved->next)
        if (saved->window == window) return saved;
    return nullptr;
}

void Unlink(GadgetListState* context, SavedGadgetList* gone) {
    for (SavedGadgetList** link = &context->saved; *link; link = &(*link)->next)
        if (*link == gone) {
            *link = gone->next;
            return;
        }
}

bool WatchListWindow(HWND, Number number, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_NCDESTROY) {
        auto* saved = reinterpret_cast<SavedGadgetList*>(number);
        GadgetListState* context = State();
        if (context && context->currentListWindow == saved->window) {
            context->currentListWindow = nullptr;
            context->nestingDepth = 0;
        }
        if (context) Unlink(context, saved);
        // A window destroyed while another list was current still owns its saved stack.
        FreeMemory(saved->nestingStack);
        FreeMemory(saved);
    }
    return false;
}

struct FocusWalk {
    HWND current;
    bool currentSeen;
    HWND first;
    HWND last;
    HWND afterCurrent;  // forward: first eligible after the current control
    HWND beforeCurrent; // backward: last eligible before the current control
};

bool Eligible(HWND control) {
    return IsWindowEnabled(control) && IsWindowVisible(control) &&
           (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP);
}

BOOL CALLBACK VisitControl(HWND control, LPARAM parameter) {
    auto* walk = reinterpret_cast<FocusWalk*>(parameter);
    // The current control counts by its place in the order even when it is not itself eligible
    // (an edit inside a combo box, say), so Tab still moves on from it.
    if (control == walk->current) {
        walk->currentSeen = true;
        return TRUE;
    }
    if (!Eligible(control)) return TRUE;
    if (!walk->first) walk->first = control;
    walk->last = control;
    if (walk->currentSeen) {
        if (!walk->afterCurrent) walk->afterCurrent = control;
    } else {
        walk->beforeCurrent = control;
    }
    return TRUE;
}

} // namespace

void InitGadgetLists() {
    State();
}

HWND CurrentGadgetList() {
    GadgetListState* context = State();
    if (!context) return nullptr;
    if (context->nestingDepth > 0 && context->nestingStack) return context->nestingStack[0];
    return context->currentListWindow;
}

HFONT CurrentGadgetFont() {
    GadgetListState* context = State();
    return context ? context->currentFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void SetCurrentGadgetFont(HFONT font) {
    if (GadgetListState* context = State()) context->currentFont = font;
}

HWND SwitchGadgetList(HWND window) {
    GadgetListState* context = State();
    HWND previous = CurrentGadgetList();
    if (!window || !context) return previous;

    if (previous) {
        if (SavedGadgetList* saved = SavedListOf(previous)) {
            // The stack changes hands: from now on the record owns it.
            FreeMemory(saved->nestingStack);
            saved->currentListWindow = context->currentListWindow;
            saved->nestingStack = context->nestingStack;
            saved->nestingDepth = context->nestingDepth;
            saved->nestingCapacity = context->nestingCapacity;
            context->nestingStack = nullptr;
        }
    }

    if (SavedGadgetList* saved = SavedListOf(window)) {
        FreeMemory(context->nestingStack);
        context->currentListWindow = saved->currentListWindow;
        context->nestingStack = saved->nestingStack;
        context->nestingDepth = saved->nestingDepth;
        context->nestingCapacity = saved->nestingCapacity;
        saved->nestingStack = nullptr;
        return previous;
    }

    if (context->nestingStack) {
        context->nestingDepth = 0;
    } else {
        context->nestingStack = static_cast<HWND*>(AllocateMemory(InitialStackCapacity * sizeof(HWND)));
        context->nestingDepth = 0;
        context->nestingCapacity = context->nestingStack ? InitialStackCapacity : 0;
    }
    context->currentListWindow = window;

    auto* saved = AllocateRecord<SavedGadgetList>();
    if (!saved) return previous;
    saved->window = window;
    if (!WatchOwner(window, WatchListWindow, reinterpret_cast<Number>(saved))) {
        FreeMemory(saved);
        return previous;
    }
    saved->next = context->saved;
    context->saved = saved;
    return previous;
}

void MoveFocus(int backward) {
    HWND container = GetActiveWindow();
    if (!container) return;
    FocusWalk walk{};
    HWND focus = GetFocus();
    walk.current = focus && IsChild(container, focus) ? focus : nullptr;
    EnumChildWindows(container, VisitControl, reinterpret_cast<LPARAM>(&walk));

    HWND target = nullptr;
    if (backward)
        target = walk.currentSeen && walk.beforeCurrent ? walk.beforeCurrent : walk.last;
    else
        target = walk.currentSeen && walk.afterCurrent ? walk.afterCurrent : walk.first;
    if (target) SetFocus(target);
}
