// Starting with Windows: a value in the user's Run key that starts this very exe hidden at
// log-on, and the menu entry that shows and switches it. The Task Manager and the system's
// settings switch such an entry off without touching the Run value, in a key of their own;
// the entry is shown on only when both agree that this exe starts.
#pragma once

#include <string>

// The argument that asks for a start without a window.
extern const wchar_t* const BackgroundArgument;

// True when any argument after the program's name is BackgroundArgument (case ignored).
bool IsBackgroundStart(const wchar_t* commandLine);

// The full long path of this exe, and whether two paths name the same file (case ignored, a
// short 8.3 name and its long form alike).
std::wstring OwnExePath();
bool SameFileName(const std::wstring& one, const std::wstring& other);
// Whether a stored command starts the exe at this path (quoted or not, case ignored).
bool CommandStartsProgram(const std::wstring& command, const std::wstring& exe);

// Whether this exe starts at log-on, read from the registry every time.
bool AutostartActive();
// Sets the menu entry's check mark from the registry.
void ShowAutostartState();
// The menu entry was chosen: on when it shows off, off when it shows on. A failed write is
// told in a message box and changes nothing.
void ToggleAutostart();
