#include "controls/list_extras.h"

#include "controls/list_gadget.h"
#include "core/handles_win32.h"
#include "core/memory.h"
#include "images/images.h"

#include <cstring>
#include <vector>

namespace {

std::size_t ExtrasSize(int columns) {
    return sizeof(RowExtras) + sizeof(CellColors) * static_cast<std::size_t>(columns > 0 ? columns : 0);
}

bool AttachExtras(HWND list, int row, RowExtras* extras) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = reinterpret_cast<LPARAM>(extras);
    return SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

HBITMAP smallPlaceholder = nullptr;
HBITMAP largePlaceholder = nullptr;

HBITMAP BlackBitmap(int width, int height) {
    UniqueMemoryDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display) return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(display.get(), width, height);
    UniqueMemoryDc memory(CreateCompatibleDC(display.get()));
    if (bitmap && memory) {
        ScopedSelect selected(memory.get(), bitmap);
        RECT all{0, 0, width, height};
        FillRect(memory.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    return bitmap;
}

HIMAGELIST NewImageList(int width, int height, HBITMAP placeholder) {
    HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (list && placeholder) ImageList_AddMasked(list, placeholder, RGB(0, 0, 0));
    return list;
}

// Scales a bitmap to the list's picture size when it differs and adds it with a mask from its
// alpha; the index, or -1.
int AddBitmap(HIMAGELIST list, HBITMAP bitmap) {
    int width = 0, height = 0;
    ImageList_GetIconSize(list, &width, &height);
    BITMAP size{};
    if (!GetObjectW(bitmap, sizeof size, &size)) return -1;
    UniqueBitmap scaled;
    int sourceHeight = size.bmHeight < 0 ? -size.bmHeight : size.bmHeight;
    if (size.bmWidth != width || sourceHeight != height) {
        UniqueMemoryDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        if (!display) return -1;
        scaled.reset(CreateCompatibleBitmap(display.get(), width, height));
        UniqueMemoryDc from(CreateCompatibleDC(display.get())), to(CreateCompatibleDC(display.get()));
        if (scaled && from && to) {
            ScopedSelect source(from.get(), bitmap), target(to.get(), scaled.get());
            SetStretchBltMode(to.get(), COLORONCOLOR);
            StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, size.bmWidth, sourceHeight, SRCCOPY);
        }
        if (!scaled) return -1;
    }
    HBITMAP picture = scaled ? scaled.get() : bitmap;
    UniqueBitmap mask(MakeMaskFromAlpha(picture));
    return ImageList_Add(list, picture, mask.get());
}

} // namespace

int ListColumnCount(HWND list) {
    auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListRowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

bool IsOwnerData(HWND list) {
    return (GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA) != 0;
}

RowExtras* RowExtrasOf(HWND list, int row) {
    // An owner-data list keeps no item data: there is nothing to ask its thousands of rows.
    if (IsOwnerData(list)) return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<RowExtras*>(item.lParam);
}

RowExtras* MakeRowExtras(HWND list, int row) {
    if (row < 0 || row >= ListRowCount(list)) return nullptr;
    if (RowExtras* extras = RowExtrasOf(list, row)) return extras;
    int columns = ListColumnCount(list);
    auto* extras = static_cast<RowExtras*>(AllocateMemory(ExtrasSize(columns)));
    if (!extras) return nullptr;
    extras->columnCount = columns;
    if (!AttachExtras(list, row, extras)) {
        FreeMemory(extras);
        return nullptr;
    }
    return extras;
}

void FreeRowExtras(RowExtras* extras) {
    FreeMemory(extras);
}

std::vector<RowExtras*> CollectRowExtras(HWND list) {
    std::vector<RowExtras*> blocks;
    int rows = IsOwnerData(list) ? 0 : ListRowCount(list);
    for (int row = 0; row < rows; ++row)
        if (RowExtras* extras = RowExtrasOf(list, row)) blocks.push_back(extras);
    return blocks;
}

void InsertRowExtrasColumn(HWND list, int position) {
    int rows = ListRowCount(list);
    for (int row = 0; row < rows; ++row) {
        RowExtras* extras = RowExtrasOf(list, row);
        if (!extras || position > extras->columnCount) continue;
        auto* grown = static_cast<RowExtras*>(ResizeMemory(extras, ExtrasSize(extras->columnCount + 1)));
        if (!grown) continue; // the old pairs stay readable through the old count
        CellColors* cells = grown->Cells();
        std::memmove(cells + position + 1, cells + position,
                     sizeof(CellColors) * static_cast<std::size_t>(grown->columnCount - position));
        cells[position] = CellColors{};
        ++grown->columnCount;
        if (grown != extras) AttachExtras(list, row, grown);
    }
}

void DeleteRowExtrasColumn(HWND list, int position) {
    int rows = ListRowCount(list);
    for (int row = 0; row < rows; ++row) {
        RowExtras* extras = RowExtrasOf(list, row);
        if (!extras || position < 0 || position >= extras->columnCount) continue;
        CellColors* cells = extras->Cells();
        std::memmove(cells + position, cells + position + 1,
                     sizeof(CellColors) * static_cast<std::size_t>(extras->columnCount - position - 1));
        --extras->columnCount;
        // Shrinking cannot lose data the count still claims; a failed shrink keeps the block.
        if (auto* shrunk = static_cast<RowExtras*>(ResizeMemory(extras, ExtrasSize(extras->columnCount))))
            if (shrunk != extras) AttachExtras(list, row, shrunk);
    }
}

ItemImageLists* CreateItemImageLists(bool withLarge) {
    auto* lists = static_cast<ItemImageLists*>(AllocateMemory(sizeof(ItemImageLists)));
    if (!lists) return nullptr;
    lists->cache = static_cast<ImageCacheEntry*>(AllocateMemory(sizeof(ImageCacheEntry) * 25));
    if (!lists->cache) {
        FreeMemory(lists);
        return nullptr;
    }
    lists->capacity = 25;
    int smallWidth = GetSystemMetrics(SM_CXSMICON), smallHeight = GetSystemMetrics(SM_CYSMICON);
    int largeWidth = GetSystemMetrics(SM_CXICON), largeHeight = GetSystemMetrics(SM_CYICON);
    if (!smallPlaceholder) {
        smallPlaceholder = BlackBitmap(smallWidth, smallHeight);
        largePlaceholder = BlackBitmap(largeWidth, largeHeight);
    }
    lists->small = NewImageList(smallWidth, smallHeight, smallPlaceholder);
    if (withLarge) lists->large = NewImageList(largeWidth, largeHeight, largePlaceholder);
    return lists;
}

int AddItemImage(ItemImageLists* lists, HANDLE image) {
    if (!lists || !image) return -1;
    for (int i = 0; i < lists->count; ++i)
        if (lists->cache[i].image == image && lists->cache[i].index != -1) return lists->cache[i].index;
    if (lists->count == lists->capacity) {
        auto* grown = static_cast<ImageCacheEntry*>(ResizeMemory(
            lists->cache, sizeof(ImageCacheEntry) * static_cast<std::size_t>(lists->capacity + 25)));
        if (!grown) return -1;
        lists->cache = grown;
        lists->capacity += 25;
    }
    int index;
    if (GetObjectType(image) == OBJ_BITMAP) {
        auto bitmap = static_cast<HBITMAP>(image);
        index = AddBitmap(lists->small, bitmap);
        if (lists->large) AddBitmap(lists->large, bitmap);
    } else {
        auto icon = static_cast<HICON>(image);
        if (lists->large) ImageList_ReplaceIcon(lists->large, -1, icon);
        index = ImageList_ReplaceIcon(lists->small, -1, icon);
    }
    lists->cache[lists->count++] = ImageCacheEntry{image, index};
    return index;
}

void EmptyItemImageLists(ItemImageLists* lists) {
    if (!lists) return;
    ImageList_Remove(lists->small, -1);
    ImageList_AddMasked(lists->small, smallPlaceholder, RGB(0, 0, 0));
    if (lists->large) {
        ImageList_Remove(lists->large, -1);
        ImageList_AddMasked(lists->large, largePlaceholder, RGB(0, 0, 0));
    }
    lists->count = 0;
}

void FreeItemImageLists(ItemImageLists* lists) {
    if (!lists) return;
    // The record is plain memory: owners here let its lists go.
    UniqueImageList small(lists->small), large(lists->large);
    FreeMemory(lists->cache);
    FreeMemory(lists);
}

int RedrawListFully(HWND list) {
    return RedrawWindow(list, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INTERNALPAINT | RDW_INVALIDATE);
}

int ListWriteColor(Gadget* gadget, int type, int color) {
    HWND list = gadget->window;
    switch (type) {
    case ColorText:
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, color == -1 ? DefaultListTextColor() : color);
        if (color == -1)
            gadget->flags &= ~ListTextColorSet;
        else
            gadget->flags |= ListTextColorSet;
        break;
    case ColorBackground: {
        COLORREF back = color == -1 ? DefaultListBackColor() : color;
        SendMessageW(list, LVM_SETBKCOLOR, 0, back);
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, back);
        if (color == -1)
            gadget->flags &= ~ListBackColorSet;
        else
            gadget->flags |= ListBackColorSet;
        break;
    }
    case ColorGridLines:
        gadget->gridColor = color;
        break;
    }
    return RedrawListFully(list);
}

int ListReadColor(Gadget* gadget, int type) {
    // Reading leaves the flag word alone: the grid lines must not go away because a colour
    // was looked at.
    switch (type) {
    case ColorText:
        return static_cast<int>(SendMessageW(gadget->window, LVM_GETTEXTCOLOR, 0, 0));
    case ColorBackground:
        return static_cast<int>(SendMessageW(gadget->window, LVM_GETBKCOLOR, 0, 0));
    case ColorGridLines:
        return gadget->gridColor;
    default:
        return -1;
    }
}

namespace {

void WriteOneRowColor(HWND list, int row, int type, int color, int column) {
    if (row < 0 || row >= ListRowCount(list)) return;
    RowExtras* extras = MakeRowExtras(list, row);
    if (!extras) return;
    auto store = [&](CellColors& cell) {
        if (type == ColorText)
            cell.text = color + 1;
        else if (type == ColorBackground)
            cell.back = color + 1;
    };
    if (column == -1) {
        for (int i = 0; i < extras->columnCount; ++i)
            store(extras->Cells()[i]);
    } else if (column >= 0 && column < extras->columnCount && column < ListColumnCount(list)) {
        store(extras->Cells()[column]);
    }
}

} // namespace

void ListWriteItemColor(Gadget* gadget, int row, int type, int color, int column) {
    HWND list = gadget->window;
    if (row == -1) {
        int rows = ListRowCount(list);
        for (int i = 0; i < rows; ++i)
            WriteOneRowColor(list, i, type, color, column);
    } else {
        WriteOneRowColor(list, row, type, color, column);
    }
    RedrawListFully(list);
}

int ListReadItemColor(Gadget* gadget, int row, int type, int column) {
    if (column < 0) column = 0;
    RowExtras* extras = RowExtrasOf(gadget->window, row);
    if (!extras || column >= ListColumnCount(gadget->window) || column >= extras->columnCount) return -1;
    const CellColors& cell = extras->Cells()[column];
    if (type == ColorText) return cell.text - 1;
    if (type == ColorBackground) return cell.back - 1;
    return -1;
}

void ListWriteItemData(Gadget* gadget, int row, int value) {
    if (RowExtras* extras = MakeRowExtras(gadget->window, row)) extras->value = value;
}

int ListReadItemData(Gadget* gadget, int row) {
    RowExtras* extras = RowExtrasOf(gadget->window, row);
    return extras ? extras->value : 0;
}

int ListReadAttribute(Gadget* gadget, int attribute) {
    if (attribute != ListAttributeDisplayMode) return 0;
    switch (GetWindowLongW(gadget->window, GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_SMALLICON:
        return 1;
    case LVS_LIST:
        return 2;
    case LVS_REPORT:
        return 3;
    default:
        return 0;
    }
}

void ListWriteAttribute(Gadget* gadget, int attribute, int value) {
    if (attribute != ListAttributeDisplayMode) return;
    static const LONG views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    LONG view = value >= 0 && value <= 3 ? views[value] : LVS_ICON;
    LONG style = GetWindowLongW(gadget->window, GWL_STYLE);
    SetWindowLongW(gadget->window, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
    RedrawWindow(gadget->window, nullptr, nullptr, RDW_UPDATENOW);
}

int ListReadItemAttribute(Gadget* gadget, int attribute, int column) {
    if (attribute != ListItemAttributeColumnWidth) return 0;
    return static_cast<int>(SendMessageW(gadget->window, LVM_GETCOLUMNWIDTH, column, 0));
}

void ListWriteItemAttribute(Gadget* gadget, int attribute, int column, int value) {
    if (attribute != ListItemAttributeColumnWidth) return;
    SendMessageW(gadget->window, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(value & 0xFFFF, 0));
}
