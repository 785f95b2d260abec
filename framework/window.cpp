#include "framework/window.h"
void InitWindows() {}
void EndWindows() {}
Number OpenTopWindow(Number, int, int, int, int, const char*, unsigned, HWND) { return 0; }
int CloseTopWindow(Number) { return 0; }
void SetWindowSizeLimits(Number, int, int, int, int) {}
int WindowInnerWidth(Number) { return 0; }
int WindowInnerHeight(Number) { return 0; }
HWND WindowHandle(Number) { return nullptr; }
int WaitEvent() { return 0; }
int WaitEventTimeout(int) { return 0; }
Number EventMenuNumber() { return 0; }
Number EventGadgetNumber() { return 0; }
