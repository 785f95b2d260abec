#include "framework/live_sizing.h"

#include "core/object_table.h"
#include "core/types.h"

namespace {

// Edge codes as WM_SIZING uses them; 0 means a keyboard start that has not chosen an edge yet.
enum Edge : int {
    EdgeNone = 0,
    EdgeLeft = 1,
    EdgeRight = 2,
    EdgeTop = 3,
    EdgeTopLeft = 4,
    EdgeTopRight = 5,
    EdgeBottom = 6,
    EdgeBottomLeft = 7,
    EdgeBottomRight = 8,
};

struct SizingState {
    int active;
    int restoreCursor;
    POINT savedCursor;
    RECT rectangle;
    int edge;
    MINMAXINFO limits;
    // Only the window that holds the capture is sized; messages of other windows pass.
    HWND window;
};

SizingState* state = nullptr;

SizingState* State() {
    if (!state) state = NewLibraryState<SizingState>();
    return state;
}

void SetCursorShape(int cursorId) {
    auto cursor = static_cast<HCURSOR>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(cursorId), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    SetCursor(cursor);
}

void PlacePointer(int cursorId, int x, int y) {
    SetCursorPos(x, y);
    SetCursorShape(cursorId);
}

void ClampSide(LONG& moving, LONG fixed, int minimum, int maximum, bool movingIsLow) {
    LONG extent = movingIsLow ? fixed - moving : moving - fixed;
    LONG target = extent;
    if (extent < minimum)
        target = minimum;
    else if (extent > maximum)
        target = maximum;
    if (target != extent) moving = movingIsLow ? fixed - target : fixed + target;
}

void ApplyPointer(SizingState& sizing, int x, int y) {
    RECT& r = sizing.rectangle;
    const POINT minimum = sizing.limits.ptMinTrackSize;
    const POINT maximum = sizing.limits.ptMaxTrackSize;
    int edge = sizing.edge;
    if (edge == EdgeLeft || edge == EdgeTopLeft || edge == EdgeBottomLeft) {
        r.left = edge == EdgeTopLeft ? x - 2 : x;
        ClampSide(r.left, r.right, minimum.x, maximum.x, true);
    }
    if (edge == EdgeRight || edge == EdgeTopRight || edge == EdgeBottomRight) {
        r.right = x + 2;
        ClampSide(r.right, r.left, minimum.x, maximum.x, false);
    }
    if (edge == EdgeTop || edge == EdgeTopLeft || edge == EdgeTopRight) {
        r.top = edge == EdgeTopLeft ? y - 2 : y;
        ClampSide(r.top, r.bottom, minimum.y, maximum.y, true);
    }
    if (edge == EdgeBottom || edge == EdgeBottomLeft || edge == EdgeBottomRight) {
        r.bottom = y + 2;
        ClampSide(r.bottom, r.top, minimum.y, maximum.y, false);
    }
}

void NotifyAndMove(SizingState& sizing, HWND window) {
    SendMessageW(window, WM_SIZING, static_cast<WPARAM>(sizing.edge),
                 reinterpret_cast<LPARAM>(&sizing.rectangle));
    RECT target = sizing.rectangle;
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&target), 2);
    MoveWindow(window, target.left, target.top, target.right - target.left, target.bottom - target.top, TRUE);
}

void FillLimits(MINMAXINFO& limits, HWND window) {
    limits = MINMAXINFO{};
    limits.ptMaxSize.x = GetSystemMetrics(SM_CXMAXIMIZED);
    limits.ptMaxSize.y = GetSystemMetrics(SM_CYMAXIMIZED);
    // The system places a maximised window with its border just off the screen.
    if (GetWindowLongW(window, GWL_STYLE) & WS_BORDER) {
        limits.ptMaxPosition.x = -GetSystemMetrics(SM_CXBORDER);
        limits.ptMaxPosition.y = -GetSystemMetrics(SM_CYBORDER);
    } else if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
        limits.ptMaxPosition.x = -GetSystemMetrics(SM_CXEDGE);
        limits.ptMaxPosition.y = -GetSystemMetrics(SM_CYEDGE);
    }
    limits.ptMinTrackSize.x = GetSystemMetrics(SM_CXMINTRACK);
    limits.ptMinTrackSize.y = GetSystemMetrics(SM_CYMINTRACK);
    limits.ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXTRACK);
    limits.ptMaxTrackSize.y = GetSystemMetrics(SM_CYMAXTRACK);
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
}

bool FullWindowDragging() {
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0) && on;
}

LRESULT Start(SizingState& sizing, HWND window, WPARAM wParam) {
    sizing.edge = static_cast<int>(wParam & 0xF);
    sizing.active = 1;
    sizing.window = window;
    GetWindowRect(window, &sizing.rectangle);
    FillLimits(sizing.limits, window);
    if (!(GetKeyState(VK_LBUTTON) & 0x8000)) SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetCapture(window);
    PostMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    if (sizing.edge == EdgeNone) {
        sizing.restoreCursor = 1;
        GetCursorPos(&sizing.savedCursor);
        SetCursorShape(32646); // IDC_SIZEALL
    } else {
        sizing.restoreCursor = 0;
    }
    return 0;
}

void End(SizingState& sizing) {
    PostMessageW(sizing.window, WM_EXITSIZEMOVE, 0, 0);
    sizing.active = 0;
    sizing.window = nullptr;
    if (sizing.restoreCursor) SetCursorPos(sizing.savedCursor.x, sizing.savedCursor.y);
}

// Every way out goes through WM_CAPTURECHANGED; if the capture was never ours, end at once so
// the state cannot stay stuck.
void Finish(SizingState& sizing, HWND window) {
    if (GetCapture() == window)
        ReleaseCapture();
    else if (sizing.active)
        End(sizing);
}

struct ArrowRule {
    int key;
    int edgeNow;
    int newEdge;
    int cursor;
};

// Which edge an arrow key picks up from the current one (cursor numbers are IDC_SIZE*).
constexpr ArrowRule ArrowRules[] = {
    {VK_LEFT, EdgeNone, EdgeLeft, 32644},           {VK_LEFT, EdgeTop, EdgeTopLeft, 32642},
    {VK_LEFT, EdgeBottom, EdgeBottomLeft, 32643},   {VK_UP, EdgeNone, EdgeTop, 32645},
    {VK_UP, EdgeRight, EdgeTopRight, 32643},        {VK_UP, EdgeLeft, EdgeTopLeft, 32642},
    {VK_RIGHT, EdgeNone, EdgeRight, 32644},         {VK_RIGHT, EdgeTop, EdgeTopRight, 32643},
    {VK_RIGHT, EdgeBottom, EdgeBottomRight, 32642}, {VK_DOWN, EdgeNone, EdgeBottom, 32645},
    {VK_DOWN, EdgeRight, EdgeBottomRight, 32642},   {VK_DOWN, EdgeLeft, EdgeBottomLeft, 32643},
};

// Where the pointer goes when an arrow key picks up an edge: on it, or 2 pixels inside the
// right and bottom edges and the top-left corner, so that the next apply leaves it in place.
POINT EdgePointer(int edge, const RECT& r, POINT p) {
    switch (edge) {
    case EdgeLeft:
        return {r.left, p.y};
    case EdgeTopLeft:
        return {r.left + 2, r.top + 2};
    case EdgeBottomLeft:
        return {r.left, r.bottom - 2};
    case EdgeTop:
        return {p.x, r.top};
    case EdgeTopRight:
        return {r.right - 2, r.top};
    case EdgeRight:
        return {r.right - 2, p.y};
    case EdgeBottomRight:
        return {r.right - 2, r.bottom - 2};
    case EdgeBottom:
        return {p.x, r.bottom - 2};
    default:
        return p;
    }
}

void ArrowKey(SizingState& sizing, HWND window, int key) {
    POINT p{};
    GetCursorPos(&p);
    for (const ArrowRule& rule : ArrowRules) {
        if (rule.key == key && rule.edgeNow == sizing.edge) {
            sizing.edge = rule.newEdge;
            POINT target = EdgePointer(rule.newEdge, sizing.rectangle, p);
            PlacePointer(rule.cursor, target.x, target.y);
            return;
        }
    }
    switch (key) {
    case VK_LEFT:
        p.x -= 10;
        break;
    case VK_RIGHT:
        p.x += 10;
        break;
    case VK_UP:
        p.y -= 10;
        break;
    case VK_DOWN:
        p.y += 10;
        break;
    }
    SetCursorPos(p.x, p.y);
    ApplyPointer(sizing, p.x, p.y);
    NotifyAndMove(sizing, window);
}

} // namespace

void InitLiveSizing() {
    State();
}

bool LiveSizingActive() {
    return state && state->active;
}

HWND LiveSizingWindow() {
    return LiveSizingActive() ? state->window : nullptr;
}

LRESULT SizingMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SizingState* sizing = State();
    if (!sizing) return NotHandled;
    if (!sizing->active) {
        if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE && FullWindowDragging())
            return Start(*sizing, window, wParam);
        return NotHandled;
    }
    if (window != sizing->window) return NotHandled;

    switch (message) {
    case WM_MOUSEMOVE: {
        sizing->restoreCursor = 0;
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MapWindowPoints(window, nullptr, &p, 1);
        ApplyPointer(*sizing, p.x, p.y);
        NotifyAndMove(*sizing, window);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            Finish(*sizing, window);
            return 0;
        }
        if (wParam >= VK_LEFT && wParam <= VK_DOWN) ArrowKey(*sizing, window, static_cast<int>(wParam));
        return NotHandled;
    case WM_LBUTTONUP:
        Finish(*sizing, window);
        return 0;
    case WM_CAPTURECHANGED:
        End(*sizing);
        return 0;
    case WM_NCDESTROY:
        // A window destroyed mid-drag must not leave the state pointing at it.
        sizing->active = 0;
        sizing->window = nullptr;
        return NotHandled;
    default:
        return NotHandled;
    }
}
