// The few types and values that every layer of the program shares.
#pragma once

#include <cstddef>
#include <cstdint>

// Object numbers and handles share one type: a number the application chose (0 and up) or the
// address of a dynamic object, so it must be as wide as a pointer.
using Number = std::intptr_t;

constexpr Number AnyNumber = -1;

// A position, size or limit that stays as it is; as a status field width: share what is left.
constexpr int KeepCurrent = -65535;

// What a framework or control message handler returns to let default processing run.
constexpr std::intptr_t NotHandled = static_cast<std::int32_t>(0xD0D0D0D1u);

// Event codes returned by the event loop. Window events reuse the numbers of the system
// messages that cause them; the framework's own start at 13100.
enum EventCode : int {
    MoveWindowEvent = 3,
    SizeWindowEvent = 5,
    RepaintEvent = 15,
    CloseWindowEvent = 16,
    DpiChangedWindowEvent = 0x02E0, // the window moved to a screen of another scale
    GadgetEvent = 13100,
    MenuEvent = 13101,
    ActivateWindowEvent = 13104,
    MinimizeWindowEvent = 13107,
    MaximizeWindowEvent = 13108,
    RestoreWindowEvent = 13109,
};

// The private window message by which a control raises a gadget event
// (wParam gadget number, lParam event type).
constexpr unsigned GadgetEventMessage = 13103;

enum GadgetEventType : int {
    GadgetEventLeftClick = 0,
    GadgetEventRightClick = 1,
    GadgetEventLeftDoubleClick = 2,
    GadgetEventRightDoubleClick = 3,
    GadgetEventChange = 768,
    GadgetEventDragStart = 14002,
};

// The control identifier of every toolbar; its commands arrive as menu events.
constexpr int ToolbarControlId = -10000;
