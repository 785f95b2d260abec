// Numbered top-level windows and the event loop. (Being filled in.)
#pragma once
#include "core/types.h"
#include <windows.h>
void InitWindows();
void EndWindows();
Number OpenTopWindow(Number number, int x, int y, int innerWidth, int innerHeight, const char* title,
                     unsigned flags, HWND parent);
int CloseTopWindow(Number number);
void SetWindowSizeLimits(Number number, int minWidth, int minHeight, int maxWidth, int maxHeight);
int WindowInnerWidth(Number number);
int WindowInnerHeight(Number number);
HWND WindowHandle(Number number);
int WaitEvent();
int WaitEventTimeout(int milliseconds);
Number EventMenuNumber();
Number EventGadgetNumber();
