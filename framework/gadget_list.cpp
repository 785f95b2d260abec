#include "framework/gadget_list.h"

#include "core/memory.h"
#include "core/object_table.h"
#include "settings/wide_text.h"

#include <cwchar>

namespace {

constexpr int InitialStackCapacity = 10;

// The part of the gadget library's state that gadget lists own.
struct GadgetListState {
    HWND currentListWindow;
    HFONT currentFont;
    HWND* nestingStack;
    int nestingDepth;
    int nestingCapacity;
};

// Kept on every window that has been a gadget list, as a window property.
struct SavedGadgetList {
    HWND window;
    HWND currentListWindow;
    HWND* nestingStack;
    int nestingDepth;
    int nestingCapacity;
    WNDPROC previousProcedure;
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

// The instance is part of the name so that two modules in one process keep apart.
struct PropertyName {
    wchar_t text[48];
    PropertyName() {
        AppendDecimal(text, L"OZ_GadgetStack_", reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr)));
    }
};

// The record the list procedure looked up last on this thread. Reading a property costs a
// server round trip under some systems, and the procedure needs its record for every message.
// Only the procedure fills the pair, so it names a window of this thread, whose WM_NCDESTROY
// (where the record ends) comes through here and forgets it.
struct LastLookUp {
    HWND window;
    SavedGadgetList* saved;
};
thread_local LastLookUp lastLookUp{};

SavedGadgetList* SavedListOf(HWND window) {
    if (window && window == lastLookUp.window) return lastLookUp.saved;
    return static_cast<SavedGadgetList*>(GetPropW(window, PropertyName().text));
}

LRESULT CALLBACK GadgetListProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* saved = SavedListOf(window);
    if (!saved) return DefWindowProcW(window, message, wParam, lParam);
    lastLookUp = LastLookUp{window, saved};
    WNDPROC previous = saved->previousProcedure;
    if (message == WM_NCDESTROY) {
        GadgetListState* context = State();
        if (context && context->currentListWindow == saved->window) {
            context->currentListWindow = nullptr;
            context->nestingDepth = 0;
        }
        // A window destroyed while another list was current still owns its saved stack.
        FreeMemory(saved->nestingStack);
        RemovePropW(window, PropertyName().text);
        lastLookUp = LastLookUp{};
        FreeMemory(saved);
    }
    if (previous) return CallWindowProcW(previous, window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
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

    PropertyName name;
    if (previous) {
        if (auto* saved = static_cast<SavedGadgetList*>(GetPropW(previous, name.text))) {
            // The stack changes hands: from now on the record owns it.
            FreeMemory(saved->nestingStack);
            saved->currentListWindow = context->currentListWindow;
            saved->nestingStack = context->nestingStack;
            saved->nestingDepth = context->nestingDepth;
            saved->nestingCapacity = context->nestingCapacity;
            context->nestingStack = nullptr;
        }
    }

    if (auto* saved = static_cast<SavedGadgetList*>(GetPropW(window, name.text))) {
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
    if (!SetPropW(window, name.text, saved)) {
        FreeMemory(saved);
        return previous;
    }
    saved->previousProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetListProcedure)));
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
