#include "controls/list_gadget.h"

#include "controls/list_extras.h"
#include "core/handles_win32.h"
#include "framework/gadget_list.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int HeaderTitleBufferSize = 4096;
constexpr int CheckedStateImage = 0x2000;
constexpr int UncheckedStateImage = 0x1000;

int defaultTextColor = -1;
int defaultBackColor = -1;

LRESULT Send(HWND list, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(list, message, wParam, lParam);
}

HWND HeaderOf(HWND list) {
    return reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
}

void NoteTextLength(Gadget* gadget, std::size_t length) {
    if (length > gadget->longestText) gadget->longestText = static_cast<std::uint32_t>(length);
}

// Walks the line-feed separated cells of a row's text. A text that ends right after a line
// feed has no further cell.
class CellFields {
  public:
    explicit CellFields(const char* text) : next(text ? text : "") {}
    // The next field (copied into field) or false when there is none.
    bool Next(char*& field) {
        if (done) return false;
        const char* end = std::strchr(next, '\n');
        std::size_t length = end ? static_cast<std::size_t>(end - next) : std::strlen(next);
        storage.assign(next, length);
        field = &storage[0];
        if (!end || end[1] == '\0')
            done = true;
        else
            next = end + 1;
        return true;
    }

  private:
    const char* next;
    bool done = false;
    std::string storage;
};

bool SetCellText(HWND list, int row, int column, const char* text) {
    std::wstring wide = ToWide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    return Send(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

// Sets the text of a row's cell (LVIF_TEXT) or leaves it when text is null.
bool SetRowText(HWND list, int row, int column, const char* text) {
    std::wstring wide = ToWide(text ? text : "");
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = wide.data();
    return Send(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

const ListRowSource* RowSource(const Gadget* gadget) {
    return reinterpret_cast<const ListRowSource*>(gadget->other);
}

// Hands a text to the caller in the gadgets' shared buffer.
const char* KeepText(const std::string& narrow) {
    char* buffer = GadgetTextBuffer(narrow.size() + 1);
    if (!buffer) return nullptr;
    narrow.copy(buffer, narrow.size());
    buffer[narrow.size()] = '\0';
    return buffer;
}

// Fills the cells of a row from the second field on.
void WriteFurtherFields(Gadget* gadget, int row, CellFields& fields) {
    char* field = nullptr;
    for (int column = 1; fields.Next(field); ++column) {
        NoteTextLength(gadget, std::strlen(field));
        SetCellText(gadget->window, row, column, field);
    }
}

int FirstSelectedRow(HWND list) {
    return static_cast<int>(Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool HasCheckboxes(HWND list) {
    return (Send(list, LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_CHECKBOXES) != 0;
}

int ListInsertItem(Gadget* gadget, int position, const char* text, HANDLE image) {
    HWND list = gadget->window;
    // The control puts a row past its end at the end: no need to ask how many there are.
    if (position == -1) position = INT_MAX;
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    if (image) {
        if (!gadget->imageLists) {
            gadget->imageLists = CreateItemImageLists(true);
            if (gadget->imageLists) {
                Send(list, LVM_SETIMAGELIST, LVSIL_SMALL,
                     reinterpret_cast<LPARAM>(gadget->imageLists->small));
                Send(list, LVM_SETIMAGELIST, LVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(gadget->imageLists->large));
            }
        }
        int index = AddItemImage(gadget->imageLists, image);
        if (index >= 0) {
            item.mask |= LVIF_IMAGE;
            item.iImage = index;
        }
    }
    // A row of one cell, as every row of a long list is, is converted straight from the text.
    const char* feed = std::strchr(text, '\n');
    std::string_view first(text, feed ? static_cast<std::size_t>(feed - text) : std::strlen(text));
    NoteTextLength(gadget, first.size());
    std::wstring wideFirst = ToWide(first);
    item.pszText = wideFirst.data();
    int row = static_cast<int>(Send(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    // A failed insertion has no row to fill; a position past the end became the last row, and
    // its cells belong there, not at the position asked for.
    if (row < 0) return -1;
    if (feed && feed[1] != '\0') {
        CellFields fields(feed + 1);
        WriteFurtherFields(gadget, row, fields);
    }
    return 0;
}

const char* ReadHeaderTitle(HWND list, int column) {
    std::wstring buffer(HeaderTitleBufferSize, L'\0');
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = buffer.data();
    item.cchTextMax = HeaderTitleBufferSize;
    if (!SendMessageW(HeaderOf(list), HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item))) return nullptr;
    // The control may hand back its own copy instead of filling the buffer.
    const wchar_t* text = item.pszText ? item.pszText : buffer.data();
    return KeepText(FromWide(std::wstring_view(text, wcsnlen(text, HeaderTitleBufferSize - 1))));
}

const char* ListReadItemText(Gadget* gadget, int row, int column) {
    HWND list = gadget->window;
    if (row == -1) return ReadHeaderTitle(list, column);
    // The source has the whole text; the control would cut it to the size we guessed.
    if (const ListRowSource* source = RowSource(gadget))
        return row < ListRowCount(list) ? KeepText(source->text(row, column)) : nullptr;
    // The longest text is counted in bytes of UTF-8, never fewer than its UTF-16 units.
    std::size_t size = static_cast<std::size_t>(gadget->longestText) + 1;
    std::wstring buffer(size, L'\0');
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    if (!Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    // The control may hand back its own copy instead of filling the buffer.
    const wchar_t* text = item.pszText ? item.pszText : buffer.data();
    return KeepText(FromWide(std::wstring_view(text, wcsnlen(text, size - 1))));
}

void ListWriteItemText(Gadget* gadget, int row, const char* text, int column) {
    HWND list = gadget->window;
    if (row == -1) {
        std::wstring title = ToWide(text ? text : "");
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = title.data();
        SendMessageW(HeaderOf(list), HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
        return;
    }
    NoteTextLength(gadget, std::strlen(text));
    SetRowText(list, row, column, text);
}

const char* ListReadText(Gadget* gadget) {
    int row = FirstSelectedRow(gadget->window);
    return row == -1 ? nullptr : ListReadItemText(gadget, row, 0);
}

void ListWriteText(Gadget* gadget, const char* text) {
    HWND list = gadget->window;
    int row = FirstSelectedRow(list);
    if (row == -1) return;
    CellFields fields(text);
    char* first = nullptr;
    fields.Next(first);
    NoteTextLength(gadget, std::strlen(first));
    SetRowText(list, row, 0, first);
    WriteFurtherFields(gadget, row, fields);
}

int ListReadState(Gadget* gadget) {
    return FirstSelectedRow(gadget->window);
}

void ListWriteState(Gadget* gadget, int row) {
    HWND list = gadget->window;
    // One message clears every row, however many are selected; the rows are asked one by one
    // only if the control refused. Bounded by the row count, so that it cannot hang us.
    SetRowState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int left = ListRowCount(list); left >= 0; --left) {
        int selected = FirstSelectedRow(list);
        if (selected == -1) break;
        SetRowState(list, selected, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    if (row == -1) return;
    SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), TRUE);
}

int ListReadItemState(Gadget* gadget, int row) {
    HWND list = gadget->window;
    auto state = static_cast<UINT>(
        Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED | LVIS_STATEIMAGEMASK));
    int result = (state & LVIS_SELECTED) ? 1 : 0;
    if (HasCheckboxes(list) && (state & LVIS_STATEIMAGEMASK) == CheckedStateImage) result |= 2;
    return result;
}

void ListWriteItemState(Gadget* gadget, int row, int bits) {
    HWND list = gadget->window;
    SetRowState(list, row, (bits & 1) ? LVIS_SELECTED | LVIS_FOCUSED : 0, LVIS_SELECTED | LVIS_FOCUSED);
    SetRowState(list, row, (bits & 2) ? CheckedStateImage : UncheckedStateImage, LVIS_STATEIMAGEMASK);
}

void ListDeleteItem(Gadget* gadget, int row) {
    HWND list = gadget->window;
    RowExtras* extras = RowExtrasOf(list, row);
    // The block goes only with its row, so a painting control never reads freed memory.
    if (Send(list, LVM_DELETEITEM, static_cast<WPARAM>(row)) && extras) FreeRowExtras(extras);
}

void ListDeleteAllItems(Gadget* gadget) {
    HWND list = gadget->window;
    std::vector<RowExtras*> blocks = CollectRowExtras(list);
    if (Send(list, LVM_DELETEALLITEMS))
        for (RowExtras* extras : blocks)
            FreeRowExtras(extras);
    gadget->longestText = 0;
    if (gadget->imageLists) EmptyItemImageLists(gadget->imageLists);
}

int ListItemCount(Gadget* gadget) {
    return ListRowCount(gadget->window);
}

int ListInsertColumn(Gadget* gadget, int position, const char* title, int width) {
    HWND list = gadget->window;
    std::wstring wideTitle = ToWide(title ? title : "");
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = wideTitle.data();
    column.iSubItem = position;
    int index = static_cast<int>(
        Send(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&column)));
    if (index < 0) return -1;
    InsertRowExtrasColumn(list, index);
    return index;
}

void ListDeleteColumn(Gadget* gadget, int position) {
    if (Send(gadget->window, LVM_DELETECOLUMN, static_cast<WPARAM>(position)))
        DeleteRowExtrasColumn(gadget->window, position);
}

void ListFree(Gadget* gadget) {
    // The window is going: no paint will read the blocks any more.
    for (RowExtras* extras : CollectRowExtras(gadget->window))
        FreeRowExtras(extras);
    FreeItemImageLists(gadget->imageLists);
    gadget->imageLists = nullptr;
}

int View(HWND list) {
    return GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK;
}

// A click into empty space after a selection reports the selection as gone.
// Before the first report the record reads 0, not -1: a first click into empty space counts.
void CheckSelection(Gadget* gadget) {
    if (FirstSelectedRow(gadget->window) != -1 || gadget->lastSelected == -1) return;
    gadget->lastSelected = -1;
    PostGadgetEvent(gadget->window, GadgetEventChange);
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void DrawGrid(Gadget* gadget, HDC dc) {
    HWND list = gadget->window;
    RECT client{};
    GetClientRect(list, &client);
    RECT header{};
    if (HWND headerWindow = HeaderOf(list)) {
        if (IsWindowVisible(headerWindow)) {
            GetWindowRect(headerWindow, &header);
            MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&header), 2);
        }
    }
    auto back = static_cast<COLORREF>(Send(list, LVM_GETBKCOLOR));
    if (ListRowCount(list) == 0) {
        RECT below = client;
        below.top = header.bottom;
        UniqueBrush brush(CreateSolidBrush(back));
        FillRect(dc, &below, brush.get());
        return;
    }
    COLORREF lineColor =
        gadget->gridColor == -1 ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(gadget->gridColor);
    UniquePen pen(CreatePen(PS_SOLID, 0, lineColor));
    ScopedSelect selected(dc, pen.get());

    RECT row{};
    row.left = LVIR_BOUNDS;
    Send(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    int pitch = row.bottom - row.top;
    if (pitch > 0) {
        int y = row.bottom - 1;
        if (y < 0) y += ((-y + pitch - 1) / pitch) * pitch;
        for (; y < client.bottom; y += pitch)
            if (y > header.bottom) DrawLine(dc, 0, y, client.right, y);
    }
    if (!VisualStylesActive()) {
        // The classic header has no line of its own under it.
        {
            UniquePen backPen(CreatePen(PS_SOLID, 0, back));
            ScopedSelect classic(dc, backPen.get());
            DrawLine(dc, 0, header.bottom, client.right, header.bottom);
        }
        header.bottom += 1;
        DrawLine(dc, 0, header.bottom, client.right, header.bottom);
    }
    int columns = ListColumnCount(list);
    if (columns > 0) {
        DrawLine(dc, row.right, header.bottom, row.right, client.bottom);
        for (int i = 1; i < columns; ++i) {
            RECT cell{};
            cell.top = i;
            cell.left = LVIR_BOUNDS;
            if (Send(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)))
                DrawLine(dc, cell.left, header.bottom, cell.left, client.bottom);
        }
    }
}

// A cell's colours as stored (colour + 1, 0 for the list's own): an owner-data list's come
// from its source, row by row.
CellColors DrawnColors(const Gadget* gadget, const NMLVCUSTOMDRAW* draw, int column) {
    if (const ListRowSource* source = RowSource(gadget))
        return CellColors{source->textColor(static_cast<int>(draw->nmcd.dwItemSpec)) + 1, 0};
    auto* extras = reinterpret_cast<RowExtras*>(draw->nmcd.lItemlParam);
    if (extras && column >= 0 && column < extras->columnCount) return extras->Cells()[column];
    return CellColors{};
}

LRESULT CustomDraw(Gadget* gadget, NMLVCUSTOMDRAW* draw) {
    HWND list = gadget->window;
    // Rows without colours of their own are drawn by the control alone.
    bool coloured = draw->nmcd.lItemlParam || RowSource(gadget);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return IsWindowEnabled(list) ? CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT : 0;
    case CDDS_ITEMPREPAINT: {
        if (!coloured) return 0;
        if (View(list) == LVS_REPORT) return CDRF_NOTIFYSUBITEMDRAW;
        CellColors cell = DrawnColors(gadget, draw, 0);
        if (cell.text) draw->clrText = static_cast<COLORREF>(cell.text - 1);
        if (cell.back) draw->clrTextBk = static_cast<COLORREF>(cell.back - 1);
        return 0;
    }
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        if (!coloured) return 0;
        CellColors cell = DrawnColors(gadget, draw, draw->iSubItem);
        draw->clrText = cell.text ? static_cast<COLORREF>(cell.text - 1)
                                  : static_cast<COLORREF>(Send(list, LVM_GETTEXTCOLOR));
        draw->clrTextBk = cell.back ? static_cast<COLORREF>(cell.back - 1)
                                    : static_cast<COLORREF>(Send(list, LVM_GETBKCOLOR));
        return 0;
    }
    case CDDS_POSTPAINT: {
        int view = View(list);
        if ((gadget->flags & ListGridLines) && (view == LVS_REPORT || view == LVS_LIST))
            DrawGrid(gadget, draw->nmcd.hdc);
        return 0;
    }
    default:
        return NotHandled;
    }
}

// Typing the start of a row's first cell goes to that row, as it does in a list that keeps its
// texts: the first match from the start row on, round the end if asked.
LRESULT FindRow(Gadget* gadget, const NMLVFINDITEMW* find) {
    const ListRowSource* source = RowSource(gadget);
    const LVFINDINFOW& wanted = find->lvfi;
    int rows = ListRowCount(gadget->window);
    if (!source || !(wanted.flags & (LVFI_STRING | LVFI_PARTIAL)) || !wanted.psz || rows <= 0) return -1;
    std::size_t length = wcslen(wanted.psz);
    int start = find->iStart >= 0 && find->iStart < rows ? find->iStart : 0;
    int count = wanted.flags & LVFI_WRAP ? rows : rows - start;
    for (int i = 0; i < count; ++i) {
        int row = (start + i) % rows;
        std::wstring text = ToWide(source->text(row, 0));
        if (wanted.flags & LVFI_PARTIAL) {
            if (text.size() < length) continue;
            text.resize(length);
        }
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), -1, wanted.psz, -1) == CSTR_EQUAL)
            return row;
    }
    return -1;
}

LRESULT ListHandleMessage(Gadget* gadget, HWND owner, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NOTIFY) return NotHandled;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    HWND list = gadget->window;
    switch (header->code) {
    case NM_CLICK:
        CheckSelection(gadget);
        PostGadgetEvent(list, GadgetEventLeftClick);
        return 0;
    case NM_RCLICK:
        CheckSelection(gadget);
        PostGadgetEvent(list, GadgetEventRightClick);
        return 0;
    case NM_DBLCLK:
        PostGadgetEvent(list, GadgetEventLeftDoubleClick);
        return 0;
    case NM_RDBLCLK:
        PostGadgetEvent(list, GadgetEventRightDoubleClick);
        return 0;
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
        // Only state changes count: writing a selected row's text or colours is no selection.
        if (!(change->uChanged & LVIF_STATE)) return 0;
        if (change->uNewState & LVIS_SELECTED) {
            gadget->lastSelected = change->iItem;
            PostGadgetEvent(list, GadgetEventChange);
        } else {
            UINT oldImage = change->uOldState & LVIS_STATEIMAGEMASK;
            if (oldImage && oldImage != (change->uNewState & LVIS_STATEIMAGEMASK))
                PostGadgetEvent(list, GadgetEventChange);
        }
        return 0;
    }
    case LVN_ODSTATECHANGED: {
        // A range selected at once in an owner-data list (Shift+click) comes as one notice.
        auto* change = reinterpret_cast<NMLVODSTATECHANGE*>(lParam);
        if (change->uNewState & LVIS_SELECTED) {
            gadget->lastSelected = change->iFrom;
            PostGadgetEvent(list, GadgetEventChange);
        }
        return 0;
    }
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        const ListRowSource* source = RowSource(gadget);
        LVITEMW& item = info->item;
        if (!source || !(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return 0;
        std::wstring text = ToWide(source->text(item.iItem, item.iSubItem));
        std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
        text.copy(item.pszText, length);
        item.pszText[length] = L'\0';
        return 0;
    }
    case LVN_ODFINDITEMW:
        return FindRow(gadget, reinterpret_cast<NMLVFINDITEMW*>(lParam));
    case LVN_BEGINDRAG:
        PostGadgetEvent(list, GadgetEventDragStart);
        return 0;
    case NM_CUSTOMDRAW:
        return CustomDraw(gadget, reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    default:
        return NotHandled;
    }
}

int ReadItemColor(Gadget* gadget, int row, int type, int column) {
    const ListRowSource* source = RowSource(gadget);
    if (!source) return ListReadItemColor(gadget, row, type, column);
    return type == ColorText && row >= 0 && row < ListRowCount(gadget->window) ? source->textColor(row) : -1;
}

GadgetClass listClass;

void BuildListClass() {
    listClass.kind = GadgetKindList;
    listClass.size = sizeof(GadgetClass);
    listClass.messageHandler = ListHandleMessage;
    listClass.free = ListFree;
    listClass.readState = ListReadState;
    listClass.writeState = ListWriteState;
    listClass.readText = ListReadText;
    listClass.writeText = ListWriteText;
    listClass.insertItem = ListInsertItem;
    listClass.deleteItem = ListDeleteItem;
    listClass.deleteAllItems = ListDeleteAllItems;
    listClass.itemCount = ListItemCount;
    listClass.readItemState = ListReadItemState;
    listClass.writeItemState = ListWriteItemState;
    listClass.readItemText = ListReadItemText;
    listClass.writeItemText = ListWriteItemText;
    listClass.insertColumn = ListInsertColumn;
    listClass.deleteColumn = ListDeleteColumn;
    listClass.readAttribute = ListReadAttribute;
    listClass.writeAttribute = ListWriteAttribute;
    listClass.readItemAttribute = ListReadItemAttribute;
    listClass.writeItemAttribute = ListWriteItemAttribute;
    listClass.writeColor = ListWriteColor;
    listClass.readColor = ListReadColor;
    listClass.writeItemColor = ListWriteItemColor;
    listClass.readItemColor = ReadItemColor;
    listClass.writeItemData = ListWriteItemData;
    listClass.readItemData = ListReadItemData;
}

} // namespace

int DefaultListTextColor() {
    return defaultTextColor;
}
int DefaultListBackColor() {
    return defaultBackColor;
}

Number CreateListGadget(Number number, int x, int y, int width, int height, const char* firstColumnTitle,
                        int firstColumnWidth, unsigned flags) {
    constexpr unsigned listFlags = ListFlagCheckboxes | ListFlagMultiSelect | ListFlagGridLines |
                                   ListFlagHeaderDragDrop | ListFlagFullRowSelect;
    DWORD style =
        (flags & ~listFlags) | WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHAREIMAGELISTS;
    if (!(flags & ListFlagMultiSelect)) style |= LVS_SINGLESEL;
    HWND parent = CurrentGadgetList();
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, x, y, width, height, parent,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list) return 0;

    if (listClass.kind == 0) {
        DetectVisualStyles();
        defaultTextColor = static_cast<int>(Send(list, LVM_GETTEXTCOLOR));
        defaultBackColor = static_cast<int>(Send(list, LVM_GETBKCOLOR));
        BuildListClass();
    }

    DWORD extended = LVS_EX_DOUBLEBUFFER;
    if (flags & ListFlagFullRowSelect) extended |= LVS_EX_FULLROWSELECT;
    if (flags & ListFlagHeaderDragDrop) extended |= LVS_EX_HEADERDRAGDROP;
    if (flags & ListFlagCheckboxes) extended |= LVS_EX_CHECKBOXES;
    Send(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

    Gadget* gadget = AllocateGadget(number);
    if (!gadget) {
        DestroyWindow(list);
        return 0;
    }
    gadget->gridColor = -1;
    if (flags & ListFlagGridLines) gadget->flags |= ListGridLines;
    Number result = RegisterGadget(gadget, number, list, &listClass);
    // Registration may have moved the table: look the record up again.
    ListInsertColumn(FindGadget(number == AnyNumber ? result : number), 0, firstColumnTitle,
                     firstColumnWidth);
    return result;
}

void SetListRowSource(Number number, const ListRowSource* source) {
    Gadget* gadget = FindGadget(number);
    if (gadget && gadget->gadgetClass == &listClass) gadget->other = reinterpret_cast<std::intptr_t>(source);
}

void SetListRowCount(Number number, int count) {
    // The rows past the end lose their selection with them; the view stays where it was, and
    // every row in sight is asked for again.
    HWND list = GadgetHandle(number);
    Send(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOSCROLL);
    InvalidateRect(list, nullptr, FALSE);
}

void RedrawListRows(Number number, int first, int last) {
    HWND list = GadgetHandle(number);
    if (first < 0)
        InvalidateRect(list, nullptr, FALSE);
    else
        Send(list, LVM_REDRAWITEMS, static_cast<WPARAM>(first), last);
}
