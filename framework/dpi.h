// Display scale. Every pixel figure of the program is a figure at 96 DPI that passes through
// DpiScale at the place where it is used, so at 96 DPI the code means exactly what it says.
// The per-window calls exist only on newer systems: they are looked up at run time, and where
// they are missing the system DPI stands in.
#pragma once

#include <windows.h>

constexpr int BaseDpi = 96;

// The DPI of the whole screen, as the process was started with.
int SystemDpi();
// The DPI the window is shown at; null gives the system DPI.
int DpiForWindow(HWND window);
// value at 96 DPI, rounded as the system rounds its own figures.
inline int ScaleForDpi(int value, int dpi) {
    return MulDiv(value, dpi, BaseDpi);
}
inline int DpiScale(HWND window, int value) {
    return ScaleForDpi(value, DpiForWindow(window));
}

int SystemMetricForDpi(int index, int dpi);
// AdjustWindowRectEx at a DPI.
void AdjustWindowRectForDpi(RECT* rect, DWORD style, bool menu, DWORD exStyle, int dpi);
// The non-client metrics (fonts among them) at a DPI; false when the system gives none.
bool NonClientMetricsForDpi(NONCLIENTMETRICSW* metrics, int dpi);

// The controls' font at a DPI: the stock GUI font at the system DPI, a scaled copy elsewhere.
// Kept until EndDpiResources.
HFONT GadgetFontForDpi(int dpi);
// The program icon (resource 1) at the big or small icon size of a DPI, nearest size of the
// icon's pictures. Kept until EndDpiResources.
HICON ProgramIconForDpi(int dpi, bool small);

// A window told of its new DPI (WM_DPICHANGED) answers with it from then on, also where the
// system has no per-window DPI to ask.
void NoteWindowDpi(HWND window, int dpi);
// Moves and sizes the window's direct children to a new DPI and gives those that use the
// controls' font the font of the new DPI.
void RescaleChildren(HWND window, int oldDpi, int newDpi);

void EndDpiResources();
