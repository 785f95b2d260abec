#include "controls/label.h"

#include "controls/gadget.h"
#include "core/handles_win32.h"
#include "core/memory.h"
#include "framework/gadget_list.h"
#include "settings/wide_text.h"

namespace {

struct CachedBrush {
    COLORREF colour;
    HBRUSH brush;
    int users;
};

// Guarded by the gadget library's brush-cache lock.
struct BrushCache {
    CachedBrush* entries;
    int count;
    int capacity;
};

BrushCache cache{};

constexpr int NoColour = -1;

LRESULT LabelMessage(Gadget* gadget, HWND owner, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CTLCOLORSTATIC) return NotHandled;
    auto dc = reinterpret_cast<HDC>(wParam);
    LRESULT result = NotHandled;
    if (gadget->textColor != NoColour) {
        SetTextColor(dc, static_cast<COLORREF>(gadget->textColor));
        // A text colour alone keeps the dialog's face behind the text.
        if (gadget->backColor == NoColour) {
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
    }
    if (gadget->backColor != NoColour) {
        SetBkColor(dc, static_cast<COLORREF>(gadget->backColor));
        if (gadget->backBrush) result = reinterpret_cast<LRESULT>(gadget->backBrush);
    }
    return result;
}

void FreeLabel(Gadget* gadget) {
    if (gadget->backBrush) ReleaseCachedBrush(gadget->backBrush);
    gadget->backBrush = nullptr;
}

int WriteLabelColour(Gadget* gadget, int type, int colour) {
    if (type == LabelTextColor) {
        gadget->textColor = colour;
    } else if (type == LabelBackColor) {
        if (gadget->backBrush) ReleaseCachedBrush(gadget->backBrush);
        gadget->backBrush = nullptr;
        gadget->backColor = colour;
        if (colour != NoColour) gadget->backBrush = AcquireCachedBrush(static_cast<COLORREF>(colour));
    } else {
        return 0;
    }
    RedrawWindow(gadget->window, nullptr, nullptr,
                 RDW_FRAME | RDW_ERASE | RDW_INTERNALPAINT | RDW_INVALIDATE);
    return 1;
}

int ReadLabelColour(Gadget* gadget, int type) {
    if (type == LabelTextColor) return gadget->textColor;
    if (type == LabelBackColor) return gadget->backColor;
    return NoColour;
}

const GadgetClass* LabelClass() {
    static GadgetClass kind{};
    if (!kind.kind) {
        kind.size = sizeof kind;
        kind.messageHandler = LabelMessage;
        kind.free = FreeLabel;
        kind.writeColor = WriteLabelColour;
        kind.readColor = ReadLabelColour;
        kind.kind = GadgetKindLabel;
    }
    return &kind;
}

CachedBrush* FindEntry(HBRUSH brush) {
    for (int i = 0; i < cache.count; ++i)
        if (cache.entries[i].brush == brush) return &cache.entries[i];
    return nullptr;
}

} // namespace

Number CreateLabelGadget(Number number, int x, int y, int width, int height, const char* text, int flags) {
    HWND parent = CurrentGadgetList();
    DWORD exStyle = (flags & LabelSunken) ? WS_EX_CLIENTEDGE : 0;
    DWORD style = static_cast<DWORD>(flags) | WS_CHILD | WS_VISIBLE | WS_GROUP;
    HWND window = CreateWindowExW(exStyle, L"Static", ToWide(text ? text : "").c_str(), style, x, y, width,
                                  height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return 0;
    Gadget* gadget = AllocateGadget(number);
    if (!gadget) {
        DestroyWindow(window);
        return 0;
    }
    gadget->backColor = NoColour;
    gadget->textColor = NoColour;
    gadget->backBrush = nullptr;
    return RegisterGadget(gadget, number, window, LabelClass());
}

HBRUSH AcquireCachedBrush(COLORREF colour) {
    LockBrushCache();
    HBRUSH result = nullptr;
    for (int i = 0; i < cache.count && !result; ++i) {
        if (cache.entries[i].colour == colour && cache.entries[i].brush) {
            ++cache.entries[i].users;
            result = cache.entries[i].brush;
        }
    }
    if (!result) {
        if (cache.count == cache.capacity) {
            int capacity = cache.capacity + 8;
            void* grown =
                ResizeMemory(cache.entries, sizeof(CachedBrush) * static_cast<std::size_t>(capacity));
            if (grown) {
                cache.entries = static_cast<CachedBrush*>(grown);
                cache.capacity = capacity;
            }
        }
        if (cache.count < cache.capacity) {
            if (HBRUSH brush = CreateSolidBrush(colour)) {
                cache.entries[cache.count++] = CachedBrush{colour, brush, 1};
                result = brush;
            }
        }
    }
    UnlockBrushCache();
    return result;
}

void ReleaseCachedBrush(HBRUSH brush) {
    if (!brush) return;
    LockBrushCache();
    if (CachedBrush* entry = FindEntry(brush)) {
        if (--entry->users <= 0) {
            // The cache is plain memory that moves as it grows; the last user's owner lets go.
            UniqueBrush last(entry->brush);
            *entry = cache.entries[--cache.count];
        }
    }
    UnlockBrushCache();
}

int CachedBrushUsers(HBRUSH brush) {
    LockBrushCache();
    CachedBrush* entry = brush ? FindEntry(brush) : nullptr;
    int users = entry ? entry->users : 0;
    UnlockBrushCache();
    return users;
}
