// Numbered top-level windows and the event loop. The application addresses its windows by
// numbers; the loop turns window messages into a small set of event codes (core/types.h).
#pragma once

#include "core/types.h"

#include <windows.h>

// Option bits of OpenTopWindow; all other bits are WS_* styles passed through.
constexpr unsigned WindowCentreOnScreen = 0x1;
constexpr unsigned WindowCentreOnParent = 0x2;
constexpr unsigned WindowToolWindow = 0x4;
constexpr unsigned WindowNoGadgetList = 0x8;
constexpr unsigned WindowInvisible = 0x10000000;

// The commands of the two accelerators every framework window owns (Tab, Shift+Tab).
constexpr int CmdFocusNext = 64001;
constexpr int CmdFocusPrevious = 64002;

// Lets the controls layer handle messages about its own controls. The window procedure calls
// the hook for WM_NOTIFY (control = NMHDR::hwndFrom), WM_COMMAND from a control,
// WM_HSCROLL/WM_VSCROLL and WM_CTLCOLOR* (control = lParam); receiver is the window the
// message reached. NotHandled (or no hook) means "no control took it".
using ControlMessageHook = LRESULT (*)(HWND control, HWND receiver, UINT message, WPARAM wParam,
                                       LPARAM lParam);
void SetControlMessageHook(ControlMessageHook hook);

void InitWindows();
void EndWindows();

// The window's handle for a static number, the dynamic handle for AnyNumber, 0 on failure.
Number OpenTopWindow(Number number, int x, int y, int innerWidth, int innerHeight, const char* title,
                     unsigned flags, HWND parent);
// 0 when there was no such window.
int CloseTopWindow(Number number);
// Inner sizes, each may be KeepCurrent; kept as outer tracking sizes (menu bar counted).
void SetWindowSizeLimits(Number number, int minWidth, int minHeight, int maxWidth, int maxHeight);
int WindowInnerWidth(Number number);
// The client height plus SM_CYMENU when the window has a menu bar.
int WindowInnerHeight(Number number);
HWND WindowHandle(Number number);
// Safe from another thread: only a table look-up and ShowWindow.
void SetWindowHidden(Number number, int hide);
void SetWindowDisabled(Number number, int disable);

// The next event code; a raw message number when the message made no event.
int WaitEvent();
// milliseconds -1 waits without limit, 0 does not wait; 0 when nothing arrived in time.
int WaitEventTimeout(int milliseconds);

// The published copy of the last event returned.
Number EventMenuNumber();
Number EventGadgetNumber();
int EventType();
Number EventWindow();
WPARAM EventWParam();
LPARAM EventLParam();
