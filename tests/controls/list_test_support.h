// What the gadget and list tests share: a framework window holding the gadgets, the gadget
// events it reports, real mouse clicks and the pixels the list really drew.
#pragma once

#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "framework/window.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace list_test {

constexpr Number TestWindow = 40;
constexpr Number TestList = 1;
constexpr unsigned MainWindowFlags = 0xCD0001;

// The gadget event types the window reported for one gadget within the time.
inline std::vector<int> GadgetEvents(Number gadget, int milliseconds = 150) {
    std::vector<int> types;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
        int code = WaitEventTimeout(10);
        if (code == GadgetEvent && EventGadgetNumber() == gadget) types.push_back(EventType());
    }
    return types;
}

inline void Pump(int milliseconds = 50) {
    GadgetEvents(-12345, milliseconds);
}

// A click as the control sees it from the mouse: the release waits in the queue, so the
// control's own tracking loop after the press ends at once.
inline void Click(HWND control, int x, int y, bool right = false) {
    PostMessageA(control, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageA(control, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                 MAKELPARAM(x, y));
}

// The client area of a window as drawn, copied from its device context after a full repaint.
struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> bits; // 0x00RRGGBB, top row first
    COLORREF At(int x, int y) const {
        DWORD p = bits[static_cast<std::size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(COLORREF colour, RECT area) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) == colour) ++n;
        return n;
    }
};

inline Pixels Capture(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(30);
    Pixels pixels;
    RECT client{};
    GetClientRect(window, &client);
    pixels.width = client.right;
    pixels.height = client.bottom;
    pixels.bits.resize(static_cast<std::size_t>(pixels.width) * pixels.height);
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, target);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.bits.data(), bits, pixels.bits.size() * 4);
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return pixels;
}

// A framework window with a list in it, made fresh for every test.
class ListFixture : public ::testing::Test {
  protected:
    HWND window = nullptr;
    HWND list = nullptr;

    void SetUp() override {
        InitWindows();
        InitGadgets();
        OpenTopWindow(TestWindow, 0, 0, 420, 320, "Liste", MainWindowFlags, nullptr);
        window = WindowHandle(TestWindow);
        ASSERT_NE(window, nullptr);
        Pump(30);
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        Pump(30);
    }

    HWND MakeList(unsigned flags = ListFlagFullRowSelect | ListFlagGridLines, int columnWidth = 150,
                  Number number = TestList) {
        Number result = CreateListGadget(number, 0, 0, 400, 300, "Erste", columnWidth, flags);
        list = GadgetHandle(number);
        EXPECT_NE(list, nullptr);
        EXPECT_EQ(result, reinterpret_cast<Number>(list));
        return list;
    }

    RECT RowBounds(int row) const {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        return bounds;
    }

    int HeaderBottom() const {
        RECT header{};
        GetWindowRect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);
        MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&header), 2);
        return header.bottom;
    }
};

} // namespace list_test
