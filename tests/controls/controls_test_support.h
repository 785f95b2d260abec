// What the control tests share: a framework window to hold the controls, the events its loop
// reports, input as the control sees it, and the pixels something really drew.
#pragma once

#include "controls/gadget.h"
#include "framework/window.h"
#include "images/images.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace controls_test {

constexpr Number TestWindow = 40;
constexpr unsigned MainWindowFlags = 0xCD0001;
constexpr unsigned ResizableWindow =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WindowCentreOnScreen;

// Every code the loop returned within the time.
inline std::vector<int> Pump(int milliseconds = 50) {
    std::vector<int> codes;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (int code = WaitEventTimeout(10)) codes.push_back(code);
    return codes;
}

// The gadget event types the window reported for one gadget within the time.
inline std::vector<int> GadgetEvents(Number gadget, int milliseconds = 150) {
    std::vector<int> types;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (WaitEventTimeout(10) == GadgetEvent && EventGadgetNumber() == gadget)
            types.push_back(EventType());
    return types;
}

// Events come out of the loop one per call; anything else that arrives meanwhile is skipped.
inline bool WaitForEvent(int code, int milliseconds = 2000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        if (WaitEventTimeout(10) == code) return true;
    return false;
}

inline void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

// A click as the control sees it from the mouse: the release waits in the queue, so the
// control's own tracking loop after the press ends at once.
inline void Click(HWND control, int x, int y, bool right = false) {
    PostMessageA(control, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageA(control, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                 MAKELPARAM(x, y));
}

// One of the program's own pictures, from the resources the test programs carry too.
inline HANDLE IconFromResource(Number image, int resource, int side = 0) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return nullptr;
    ImageFromMemory(image, LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found), side);
    return ImageHandle(image);
}

// A top-down 32-bit surface in a memory context whose pixels can be read directly; it starts
// in a colour nothing draws, so that untouched pixels show.
class Surface {
  public:
    Surface(int width, int height) : width(width), height(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            bits_[i] = 0x00FF00FF;
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        std::uint32_t p = bits_[y * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    RECT All() const { return RECT{0, 0, width, height}; }
    template <class Test> int CountIf(RECT area, Test test) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += test(At(x, y)) ? 1 : 0;
        return n;
    }
    int Count(COLORREF colour, RECT area) const {
        return CountIf(area, [colour](COLORREF c) { return c == colour; });
    }
    int Count(COLORREF colour) const { return Count(colour, All()); }

    const int width, height;

  private:
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

inline RECT ClientOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

// The client area of a window as drawn on screen, after a full repaint.
inline void Capture(HWND window, Surface& pixels) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(30);
    HDC windowDc = GetDC(window);
    BitBlt(pixels.dc(), 0, 0, pixels.width, pixels.height, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
}

// A framework window made fresh for every test, with whatever the test puts in it.
class WindowFixture : public ::testing::Test {
  protected:
    void Open(unsigned flags = MainWindowFlags, int width = 420, int height = 320,
              const char* title = "Test") {
        InitWindows();
        InitGadgets();
        InitImages();
        OpenTopWindow(TestWindow, 0, 0, width, height, title, flags, nullptr);
        window = WindowHandle(TestWindow);
        ASSERT_NE(window, nullptr);
        DrainEvents();
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        Pump(30);
    }
    HWND window = nullptr;
};

} // namespace controls_test
