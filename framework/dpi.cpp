#include "framework/dpi.h"

#include "core/handles_win32.h"
#include "core/system_library_win32.h"
#include "framework/owner_subclass.h"

#include <cstddef>
#include <cstdint>

namespace {

// A window's noted scale is the number of this watch; it ends with the window.
bool WatchNotedDpi(HWND, Number, UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

// A handful of DPIs at most: one per screen scale the window has visited.
constexpr int CachedDpis = 4;

struct DpiResources {
    int dpi;
    UniqueGdiObject font;
    UniqueIcon bigIcon;
    UniqueIcon smallIcon;
};

DpiResources cache[CachedDpis];

template <class Function> Function User32(const char* name) {
    return LookUpFunction<Function>(GetModuleHandleW(L"user32.dll"), name);
}

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using GetDpiForSystemCall = UINT(WINAPI*)();
using GetSystemMetricsForDpiCall = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

DpiResources* CacheFor(int dpi) {
    for (DpiResources& entry : cache)
        if (entry.dpi == dpi) return &entry;
    for (DpiResources& entry : cache)
        if (!entry.dpi) {
            entry.dpi = dpi;
            return &entry;
        }
    return nullptr;
}

} // namespace

int SystemDpi() {
    static int dpi = 0;
    if (dpi) return dpi;
    static const auto forSystem = User32<GetDpiForSystemCall>("GetDpiForSystem");
    if (forSystem) dpi = static_cast<int>(forSystem());
    if (dpi <= 0) {
        ScopedGetDc screen(nullptr);
        dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : BaseDpi;
    }
    if (dpi <= 0) dpi = BaseDpi;
    return dpi;
}

int DpiForWindow(HWND window) {
    if (!window) return SystemDpi();
    HWND root = GetAncestor(window, GA_ROOT);
    Number noted = 0;
    if (WatchedNumber(root ? root : window, WatchNotedDpi, &noted) && noted > 0) return static_cast<int>(noted);
    static const auto forWindow = User32<GetDpiForWindowCall>("GetDpiForWindow");
    int dpi = forWindow ? static_cast<int>(forWindow(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto forDpi = User32<GetSystemMetricsForDpiCall>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

void AdjustWindowRectForDpi(RECT* rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const auto forDpi = User32<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    if (forDpi && forDpi(rect, style, menu, exStyle, static_cast<UINT>(dpi))) return;
    AdjustWindowRectEx(rect, style, menu, exStyle);
}

bool NonClientMetricsForDpi(NONCLIENTMETRICSW* metrics, int dpi) {
    *metrics = NONCLIENTMETRICSW{};
    // The size without iPaddedBorderWidth, which every version of the system accepts.
    metrics->cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    static const auto forDpi = User32<SystemParametersInfoForDpiCall>("SystemParametersInfoForDpi");
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, metrics->cbSize, metrics, 0, static_cast<UINT>(dpi)))
        return true;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics->cbSize, metrics, 0)) return false;
    // The system's own figures are those of the system DPI.
    int system = SystemDpi();
    for (LOGFONTW* font : {&metrics->lfCaptionFont, &metrics->lfSmCaptionFont, &metrics->lfMenuFont,
                           &metrics->lfStatusFont, &metrics->lfMessageFont})
        font->lfHeight = MulDiv(font->lfHeight, dpi, system);
    return true;
}

HFONT GadgetFontForDpi(int dpi) {
    auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (dpi == SystemDpi()) return stock;
    DpiResources* entry = CacheFor(dpi);
    if (!entry) return stock;
    if (!entry->font) {
        LOGFONTW font{};
        if (!GetObjectW(stock, sizeof font, &font)) return stock;
        font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
        entry->font.reset(CreateFontIndirectW(&font));
    }
    return entry->font ? static_cast<HFONT>(entry->font.get()) : stock;
}

HICON ProgramIconForDpi(int dpi, bool small) {
    DpiResources* entry = CacheFor(dpi);
    if (!entry) return nullptr;
    UniqueIcon& icon = small ? entry->smallIcon : entry->bigIcon;
    if (!icon) {
        int side = SystemMetricForDpi(small ? SM_CXSMICON : SM_CXICON, dpi);
        icon.reset(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, 0)));
    }
    return icon.get();
}

void NoteWindowDpi(HWND window, int dpi) {
    WatchOwner(window, WatchNotedDpi, dpi);
}

void RescaleChildren(HWND window, int oldDpi, int newDpi) {
    if (oldDpi <= 0 || oldDpi == newDpi) return;
    HFONT oldFont = GadgetFontForDpi(oldDpi);
    HFONT newFont = GadgetFontForDpi(newDpi);
    auto scale = [&](LONG value) { return MulDiv(value, newDpi, oldDpi); };
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        // The font first: a control that sizes itself to its font sees the new one.
        auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
        if (font == oldFont || !font)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(newFont), TRUE);
        MoveWindow(child, scale(place.left), scale(place.top), scale(place.right - place.left),
                   scale(place.bottom - place.top), TRUE);
    }
}

void EndDpiResources() {
    for (DpiResources& entry : cache)
        entry = DpiResources{};
}
