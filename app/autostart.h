// Starting with Windows: a value in the user's Run key that starts this very exe hidden at
// log-on, and the menu entry that shows and switches it. The Task Manager and the system's
// settings switch such an entry off without touching the Run value, in a key of their own;
// the entry is shown on only when both agree that this exe starts.
#pragma once

// The argument that asks for a start without a window.
extern const wchar_t* const BackgroundArgument;

// True when any argument after the program's name is BackgroundArgument (case ignored).
bool IsBackgroundStart(const wchar_t* commandLine);

// Whether this exe starts at log-on, read from the registry every time.
bool AutostartActive();
// Sets the menu entry's check mark from the registry.
void ShowAutostartState();
// How a failed write is told: the framework's message box unless a test puts in its own.
using AutostartNotice = int (*)(const char* title, const char* text, unsigned flags);
void SetAutostartNotice(AutostartNotice notice);

// The menu entry was chosen: on when it shows off, off when it shows on. A failed write is
// told and changes nothing.
void ToggleAutostart();
