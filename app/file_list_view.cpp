#include "app/file_list_view.h"

#include "app/application.h"
#include "app/lock_texts.h"
#include "app/notification_area.h"
#include "app/protection/protection_model.h"
#include "app/protection/release_clock.h"
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/dpi.h"
#include "framework/window.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace {

// The room around a cell's text, at 96 DPI.
constexpr int FileListCellMargin = 16;

HWND tooltip = nullptr;
int tooltipRow = -1;
// Whether each row was last drawn red, noted as it is drawn: a folder's work slices then draw
// again only the rows in sight that changed, and leave no paint waiting in between.
// One byte per row, 1 for red; a string, whose code the program has already.
std::string drawnRed;

// The tooltip window is made when the pointer first rests on a row that has something to say,
// not at start-up: most runs never show one.
HWND MakeTooltip() {
    if (tooltip) return tooltip;
    HWND main = WindowHandle(WindowMain);
    HWND list = GadgetHandle(GadgetFileList);
    if (!main || !list) return nullptr;
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!tooltip) return nullptr;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = main;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    return tooltip;
}

// A release is not a fault: the tooltip says when it ends and what happens then.
std::string ReleasedRowText(const ProtectedFile& file) {
    std::string text = "Zum Bearbeiten freigegeben bis " + DueClockText(file.releaseDue) + ".\r\n";
    if (file.tree || IsFolderPath(file.path))
        return text + "Dann wird der Ordner mit allem, was er enthält, wieder geschützt" +
               (file.readable ? " (lesen erlaubt)" : "") +
               ". Was ein Programm dann noch geöffnet hat, wird geschützt, sobald es frei ist.";
    return text +
           (file.readable ? "Dann wird die Datei wieder geschützt (lesen erlaubt)"
                          : "Dann wird die Datei wieder gesperrt") +
           ". Hat ein Programm sie dann noch geöffnet, geschieht das, sobald es sie schließt.";
}

void ShowTooltip(int row, POINT screen) {
    tooltipRow = row;
    std::string reason;
    if (row >= 0 && row < static_cast<int>(Protection().Size())) {
        const ProtectedFile& file = Protection().Files()[row];
        // A folder row always tells what it holds.
        reason = file.state == LockState::Released            ? ReleasedRowText(file)
                 : file.tree && file.state == LockState::Held ? FolderSummary(*file.tree)
                                                              : UnprotectedReason(file);
    }
    if (reason.empty()) {
        HideTooltip();
        tooltipRow = row;
        return;
    }
    if (!MakeTooltip()) return;
    std::wstring text = ToWide(reason);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = WindowHandle(WindowMain);
    tool.uId = reinterpret_cast<UINT_PTR>(GadgetHandle(GadgetFileList));
    tool.lpszText = text.data();
    SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // Below and right of the pointer, where it does not hide the row it explains.
    SendMessageW(tooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x + 12, screen.y + 20));
    SendMessageW(tooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

int RowAt(HWND list, POINT client) {
    LVHITTESTINFO hit{};
    hit.pt = client;
    return static_cast<int>(SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

// Made when it first opens: most runs never show it. The image menu draws the separator too.
bool CreateRowMenu() {
    if (!CreateImagePopup(MenuRow, MenuStyleShaded)) return false;
    AddMenuEntry(ItemAllowReading, "&Lesen erlauben", nullptr);
    AddMenuEntry(ItemReleaseForEditing, "Zum &Bearbeiten freigeben", nullptr);
    AppendMenuW(MenuHandle(MenuRow), MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(ItemRemoveFiles, "&Entfernen", nullptr);
    return true;
}

// The rows are the model's entries, asked for as they are drawn: the "Zugriff" column says the
// level, or until when the entry is released; a row not whole is red, unless released on purpose.
std::string RowText(int row, int column) {
    const std::vector<ProtectedFile>& files = Protection().Files();
    if (row < 0 || row >= static_cast<int>(files.size())) return {};
    const ProtectedFile& file = files[row];
    if (column == 0) return file.path;
    if (file.state == LockState::Released) return "frei bis " + DueClockText(file.releaseDue);
    if (file.tree && file.tree->HasReleases()) return "teilweise frei bis " + DueClockText(file.tree->LastReleaseDue());
    return LevelText(file.readable);
}

bool IsRed(int row) {
    const std::vector<ProtectedFile>& files = Protection().Files();
    if (row < 0 || row >= static_cast<int>(files.size())) return false;
    const ProtectedFile& file = files[row];
    return !IsWhole(file) && file.state != LockState::Released;
}

int RowColor(int row) {
    bool red = IsRed(row);
    if (row >= 0 && row < static_cast<int>(Protection().Size())) {
        if (static_cast<std::size_t>(row) >= drawnRed.size()) drawnRed.resize(Protection().Size(), '\0');
        drawnRed[row] = red;
    }
    return red ? FailedLockColor : -1;
}

const ListRowSource rowSource{RowText, RowColor};

} // namespace

const char* LevelText(bool readable) { return readable ? "lesen erlaubt" : "gesperrt"; }

void ConnectFileListRows() { SetListRowSource(GadgetFileList, &rowSource); }

void ShowRows() {
    // The rows past a smaller count go, and their selection with them.
    SetListRowCount(GadgetFileList, static_cast<int>(Protection().Size()));
}

void RemoveRows() {
    HideTooltip();
    WriteGadgetState(GadgetFileList, -1);
    ShowRows();
}

void ShowAccess(int row) { ShowRowState(row); }

void ShowRowState(int row) {
    if (row >= 0) RedrawListRows(GadgetFileList, row, row);
}

void ShowRowStates() {
    HWND list = GadgetHandle(GadgetFileList);
    int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    int end = std::min(top + static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1,
                       static_cast<int>(Protection().Size()));
    for (int row = std::max(top, 0); row < end; ++row)
        if (static_cast<std::size_t>(row) >= drawnRed.size() || drawnRed[row] != IsRed(row)) ShowRowState(row);
}

std::vector<int> SelectedRows() {
    std::vector<int> rows;
    HWND list = GadgetHandle(GadgetFileList);
    for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                             LVNI_SELECTED))) != -1;)
        rows.push_back(row);
    return rows;
}

void SelectRows(const std::vector<int>& rows) {
    if (rows.empty()) return;
    WriteGadgetState(GadgetFileList, -1);
    for (int row : rows) WriteGadgetItemState(GadgetFileList, row, 1);
    SendMessageW(GadgetHandle(GadgetFileList), LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows.front()), FALSE);
    OnFileListEvent();
}

bool SelectionAllowsReading() {
    const std::vector<ProtectedFile>& files = Protection().Files();
    std::vector<int> rows = SelectedRows();
    return !rows.empty() && std::all_of(rows.begin(), rows.end(), [&files](int row) {
        return row < static_cast<int>(files.size()) && files[row].readable;
    });
}

bool SelectionReleased() {
    const std::vector<ProtectedFile>& files = Protection().Files();
    std::vector<int> rows = SelectedRows();
    return !rows.empty() && std::all_of(rows.begin(), rows.end(), [&files](int row) {
        return row < static_cast<int>(files.size()) && files[row].state == LockState::Released;
    });
}

void OnFileListEvent() {
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, ReadGadgetState(GadgetFileList) == -1 ? 1 : 0);
}

void TrackRowTooltip(HWND list, POINT client) {
    int row = RowAt(list, client);
    if (row == tooltipRow) return;
    POINT screen = client;
    ClientToScreen(list, &screen);
    ShowTooltip(row, screen);
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, list, 0};
    TrackMouseEvent(&track);
}

void HideTooltip() {
    tooltipRow = -1;
    if (!tooltip) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = WindowHandle(WindowMain);
    tool.uId = reinterpret_cast<UINT_PTR>(GadgetHandle(GadgetFileList));
    SendMessageW(tooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void ForgetTooltip() {
    tooltip = nullptr;
    tooltipRow = -1;
}

void ForgetRows() { SetListRowCount(GadgetFileList, 0); }

void ShowRowMenu(HWND list, LPARAM position) {
    POINT screen{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    bool byKey = screen.x == -1 && screen.y == -1;
    if (!byKey) {
        POINT client = screen;
        ScreenToClient(list, &client);
        if (RowAt(list, client) < 0) return;
    }
    if (SelectedRows().empty()) return;
    if (byKey) {
        int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
        if (row < 0) row = SelectedRows().front();
        RECT place{LVIR_LABEL, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&place));
        RECT client{};
        GetClientRect(list, &client);
        // A row scrolled out of sight: the menu stays at the list's edge.
        screen = {place.left + DpiScale(list, 16), std::clamp<LONG>(place.bottom, client.top, client.bottom)};
        ClientToScreen(list, &screen);
    }
    HWND main = WindowHandle(WindowMain);
    if (!MenuHandle(MenuRow) && !CreateRowMenu()) return;
    SetMenuEntryChecked(MenuRow, ItemAllowReading, SelectionAllowsReading());
    SetMenuEntryChecked(MenuRow, ItemReleaseForEditing, SelectionReleased());
    HideTooltip();
    ShowPopupMenu(MenuRow, main, screen);
}

void UpdateStatusText() {
    const ProtectionModel& model = Protection();
    int tried = 0, found = 0;
    model.ScanProgress(tried, found);
    if (found > 0 || model.AnyFolderBusy()) {
        std::string progress = "Ordner wird geschützt: " + FormatGroupedInteger(tried) + " von " +
                               FormatGroupedInteger(found) + " Dateien";
        SetStatusFieldText(StatusBarMain, 0, progress.c_str());
        OnProtectionChanged();
        return;
    }
    int held = model.HeldCount();
    std::string text = FormatInteger(static_cast<std::int32_t>(held));
    text += held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt";
    SetStatusFieldText(StatusBarMain, 0, text.c_str());
    OnProtectionChanged();
}

void FitFileListColumns() {
    HWND list = GadgetHandle(GadgetFileList);
    if (!list) return;
    // Measured in the list's own font, which follows the scale; the margin is the cell's.
    int level = 0;
    // A folder row with released parts says the longest; only while one does is the room taken.
    const auto& files = Protection().Files();
    bool partly = std::any_of(files.begin(), files.end(), [](const ProtectedFile& file) {
        return file.tree && file.tree->HasReleases();
    });
    for (const char* text :
         {"Zugriff", LevelText(false), LevelText(true), partly ? "teilweise frei bis 00:00" : ""}) {
        std::wstring wide = ToWide(text);
        level = std::max(level, static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0,
                                                              reinterpret_cast<LPARAM>(wide.c_str()))));
    }
    level += DpiScale(list, FileListCellMargin);
    RECT inside{};
    GetClientRect(list, &inside);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, std::max<LONG>(inside.right - level, 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);
}
