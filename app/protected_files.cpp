#include "app/protected_files.h"

#include "app/application.h"
#include "app/storage.h"
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "core/system_library_win32.h"
#include "framework/dpi.h"
#include "framework/requesters.h"
#include "framework/window.h"
#include "settings/file_list_codec.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h> // HDROP
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

namespace {

std::vector<ProtectedFile> files;
// Where the next retry pass starts, so that a long list is worked through a slice at a time.
std::size_t retryCursor = 0;

constexpr UINT_PTR RetryTimerId = 0x5652; // one of ours among the main window's timers
constexpr UINT_PTR SubclassId = 0x5652;
// A pass when the window comes back may take longer: the user is looking.
constexpr unsigned ShownRetryBudgetMilliseconds = 50;

// Folder rows: the watchers announce changes with this message (wParam: the tree's Id), and a slice
// of the work on large folders is asked for with it too (wParam 0).
constexpr UINT FolderMessage = WM_APP + 0x5652;
constexpr UINT_PTR FolderWorkTimerId = 0x5653;
constexpr UINT_PTR FolderRetryTimerId = 0x5654;
// One slice of scanning and holding; the window answers between two, well within 100 ms.
constexpr unsigned FolderSliceMilliseconds = 40;
constexpr unsigned FolderRetryBudgetMilliseconds = 20;
bool folderWorkAsked = false;

HWND tooltip = nullptr;
int tooltipRow = -1;
void (*statusTextHook)() = nullptr;

// The key from the path as the system takes it. One call into a buffer on the stack suffices
// for nearly every path; only a longer one asks for its length first.
std::wstring FileKey(std::wstring wide) {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH + 1, buffer, nullptr);
    if (length > 0 && length <= MAX_PATH) {
        wide.assign(buffer, length);
    } else if (length > MAX_PATH) {
        std::wstring full(length, L'\0');
        DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
        if (written > 0 && written < length) {
            full.resize(written);
            wide = std::move(full);
        }
    }
    return FoldedCase(std::move(wide));
}

} // namespace

LockState LockStateForError(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
        return LockState::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return LockState::InUse;
    case ERROR_ACCESS_DENIED:
        return LockState::AccessDenied;
    default:
        return LockState::Failed;
    }
}

bool IsFolderPath(const std::string& path) { return !path.empty() && path.back() == '\\'; }

std::string RowHolding(const std::wstring& key, const ProtectedTree* tree) {
    for (const ProtectedFile& file : files) {
        if (file.tree ? file.tree.get() != tree && file.tree->Holds(key)
                      : file.lock.valid() && file.key == key)
            return file.path;
    }
    return {};
}

namespace {

void ScheduleFolderWork();

// widePath is file.path as the system takes it (ToWidePath).
void TryLock(ProtectedFile& file, const std::wstring& widePath) {
    // A line with a zero byte names no file; the system would see only the text before it and
    // hold another file than the one listed.
    if (file.path.find('\0') != std::string::npos) {
        file.error = ERROR_INVALID_NAME;
        file.state = LockState::NotFound;
        return;
    }
    if (IsFolderPath(file.path)) {
        if (!file.tree) {
            file.tree = std::make_unique<ProtectedTree>(file.path, file.key);
            file.tree->SetReadable(file.readable);
        }
        file.state = file.tree->HoldRoot(file.error, WindowHandle(WindowMain), FolderMessage, file.tree->Id());
        if (file.state == LockState::Held) ScheduleFolderWork();
        return;
    }
    if (file.lock) {
        // Held with reading shared while the row asks for the full lock.
        file.state = Relock(file.lock, widePath, FILE_ATTRIBUTE_NORMAL, file.readable, file.error);
    } else {
        HANDLE handle = CreateFileW(widePath.c_str(), GENERIC_READ, ShareModeFor(file.readable), nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file.lock.reset(handle);
            file.state = LockState::Held;
            file.error = 0;
            return;
        }
        file.error = GetLastError();
        file.state = LockStateForError(file.error);
    }
    file.holder.clear();
    // Our own lock refuses us as it refuses everybody: say which row has the file.
    if (file.state == LockState::InUse) {
        file.holder = RowHolding(file.key, nullptr);
        if (!file.holder.empty()) file.state = LockState::Duplicate;
    }
}

void TryLock(ProtectedFile& file) { TryLock(file, ToWidePath(file.path)); }

// Held, and for a folder row everything in it held as well.
bool IsWhole(const ProtectedFile& file) {
    return file.state == LockState::Held && (!file.tree || (!file.tree->Busy() && file.tree->UnheldCount() == 0));
}

void ShowRowState(int row, ProtectedFile& file) {
    bool whole = IsWhole(file);
    if (whole == file.shownWhole) return;
    file.shownWhole = whole;
    WriteGadgetItemColor(GadgetFileList, row, ColorText, whole ? -1 : FailedLockColor, -1);
}

void ShowFolderRows() {
    for (std::size_t row = 0; row < files.size(); ++row)
        if (files[row].tree) ShowRowState(static_cast<int>(row), files[row]);
}

bool AnyFolderBusy() {
    return std::any_of(files.begin(), files.end(), [](const ProtectedFile& file) { return file.tree && file.tree->Busy(); });
}

void CALLBACK OnFolderWorkTimer(HWND window, UINT, UINT_PTR id, DWORD);
void CALLBACK OnFolderRetryTimer(HWND window, UINT, UINT_PTR id, DWORD);

// Asks for the next slice of work while a folder is busy, and for a retry when a file in a
// folder is due; nothing at all while every folder is held whole, so an idle Verriq stays idle.
void ScheduleFolderWork() {
    HWND main = WindowHandle(WindowMain);
    if (!main) {
        // Without a window (tests of the model) the work is done at once.
        for (ProtectedFile& file : files)
            while (file.tree && file.tree->Busy()) file.tree->Work(FolderSliceMilliseconds);
        return;
    }
    if (!folderWorkAsked && AnyFolderBusy()) {
        folderWorkAsked = true;
        // A posted message comes before input and painting: while they wait, the next slice
        // waits behind them on a timer.
        // A full queue refuses the post; the timer still comes.
        if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0 || !PostMessageW(main, FolderMessage, 0, 0))
            SetTimer(main, FolderWorkTimerId, 1, OnFolderWorkTimer);
    }
    long long due = -1;
    for (const ProtectedFile& file : files) {
        if (!file.tree) continue;
        long long next = file.tree->NextDue();
        if (next >= 0 && (due < 0 || next < due)) due = next;
    }
    if (due < 0)
        KillTimer(main, FolderRetryTimerId);
    else
        SetTimer(main, FolderRetryTimerId, static_cast<UINT>(std::max<long long>(due, USER_TIMER_MINIMUM)),
                 OnFolderRetryTimer);
}

void AfterFolderChange() {
    ShowFolderRows();
    UpdateStatusText();
    ScheduleFolderWork();
}

void DoFolderWork() {
    folderWorkAsked = false;
    for (ProtectedFile& file : files) {
        if (file.tree && file.tree->Busy()) {
            file.tree->Work(FolderSliceMilliseconds);
            break;
        }
    }
    AfterFolderChange();
}

void CALLBACK OnFolderWorkTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    DoFolderWork();
}

void CALLBACK OnFolderRetryTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    for (ProtectedFile& file : files)
        if (file.tree) file.tree->RetryDue(FolderRetryBudgetMilliseconds);
    AfterFolderChange();
}

void OnFolderChanged(WPARAM tree) {
    for (ProtectedFile& file : files)
        if (file.tree && file.tree->Id() == tree) file.tree->TakeChanges();
    AfterFolderChange();
}

// Appends a row and its entry and tries to hold the file. A row that could not be added gets no
// entry, so that rows and entries never drift apart.
// widePath is path as the system takes it (ToWidePath); path itself moves into the entry.
bool AppendFile(std::string path, const std::wstring& widePath, std::wstring key, bool readable = false) {
    // Row i is entry i, so the new row's number is known without asking the control, and the
    // insertion's own answer tells whether the row is there (the list gadget answers 0 for a
    // row added, -1 for none; a missing gadget answers 0 as well, hence the look-up).
    int row = static_cast<int>(files.size());
    if (InsertGadgetItem(GadgetFileList, -1, path.c_str(), nullptr, 0) < 0 || !GadgetHandle(GadgetFileList))
        return false;
    WriteGadgetItemText(GadgetFileList, row, LevelText(readable), 1);
    files.push_back(ProtectedFile{std::move(path), std::move(key), {}, LockState::NotFound, 0});
    files.back().readable = readable;
    TryLock(files.back(), widePath);
    ShowRowState(row, files.back());
    return true;
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

void ShowTooltip(int row, POINT screen) {
    tooltipRow = row;
    std::string reason;
    if (row >= 0 && row < static_cast<int>(files.size())) {
        const ProtectedFile& file = files[row];
        // A folder row always tells what it holds.
        reason = file.tree && file.state == LockState::Held ? file.tree->Summary() : UnprotectedReason(file);
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

// Rows of the list, top to bottom, that are selected.
std::vector<int> SelectedRows() {
    std::vector<int> rows;
    HWND list = GadgetHandle(GadgetFileList);
    for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                             LVNI_SELECTED))) != -1;)
        rows.push_back(row);
    return rows;
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
    AppendMenuW(MenuHandle(MenuRow), MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(ItemRemoveFiles, "&Entfernen", nullptr);
    return true;
}

// The row menu, at the pointer after a click, below the focused selected row after Shift+F10 or
// the menu key (which give -1, -1). Only rows have a menu: a click beside them opens none.
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
    HideTooltip();
    ShowPopupMenu(MenuRow, main, screen);
}

LRESULT CALLBACK FileListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_KEYDOWN:
        // Entf does what "Entfernen" does; the key is ours, not the list's.
        if (wParam == VK_DELETE && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
            RemoveSelectedFiles();
            return 0;
        }
        break;
    case WM_MOUSEMOVE: {
        POINT client{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        int row = RowAt(list, client);
        if (row != tooltipRow) {
            POINT screen = client;
            ClientToScreen(list, &screen);
            ShowTooltip(row, screen);
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, list, 0};
            TrackMouseEvent(&track);
        }
        break;
    }
    case WM_MOUSELEAVE:
        HideTooltip();
        break;
    case WM_CONTEXTMENU:
        ShowRowMenu(list, lParam);
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, FileListProc, SubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

// Files and folders dragged from the Explorer are added as if chosen in the dialogs. The shell
// library is taken in by the first drop, not at start-up; without it the drop adds nothing, and
// its block, global memory that is ours once it arrived, is freed all the same.
void AddDroppedFiles(HDROP drop) {
    using QueryFunction = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using FinishFunction = void(WINAPI*)(HDROP);
    auto query = LateSystemFunction<QueryFunction>(L"shell32.dll", "DragQueryFileW");
    auto finish = LateSystemFunction<FinishFunction>(L"shell32.dll", "DragFinish");
    if (!query || !finish) {
        GlobalFree(drop);
        return;
    }
    std::vector<std::string> dropped;
    UINT count = query(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = query(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        if (query(drop, i, name.data(), length + 1) != length) continue;
        name.resize(length);
        std::string path = FromWide(name);
        DWORD attributes = GetFileAttributesW(ToWidePath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsFolderPath(path))
            path += '\\';
        dropped.push_back(std::move(path));
    }
    finish(drop);
    AddChosenFiles(dropped);
}

LRESULT CALLBACK MainWindowProtectionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR) {
    if (message == WM_DROPFILES) {
        AddDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    if (message == FolderMessage) {
        if (wParam == 0)
            DoFolderWork();
        else
            OnFolderChanged(wParam);
        return 0;
    }
    if (message == WM_SHOWWINDOW && wParam) {
        // A drive plugged in or a program closed while the window was away: catch up at once,
        // inside folders too.
        RetryUnheldFiles(ShownRetryBudgetMilliseconds);
        for (ProtectedFile& file : files)
            if (file.tree) file.tree->MakeAllDue();
        ScheduleFolderWork();
    } else if (message == WM_NCDESTROY) {
        // The tooltip belongs to this window and goes with it.
        tooltip = nullptr;
        tooltipRow = -1;
        KillTimer(window, RetryTimerId);
        KillTimer(window, FolderWorkTimerId);
        KillTimer(window, FolderRetryTimerId);
        folderWorkAsked = false;
        RemoveWindowSubclass(window, MainWindowProtectionProc, SubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void CALLBACK OnRetryTimer(HWND, UINT, UINT_PTR, DWORD) { RetryUnheldFiles(RetryBudgetMilliseconds); }

} // namespace

const std::vector<ProtectedFile>& ProtectedFileList() { return files; }

void AddListedFiles(std::vector<std::string> lines) {
    files.reserve(files.size() + lines.size());
    // Thousands of rows must not cost a repaint each.
    BeginGadgetBatch(GadgetFileList);
    for (std::string& line : lines) {
        ListedFile listed = ParseListLine(std::move(line));
        // Each path is converted for the system once, for its key and its lock alike.
        std::wstring wide = ToWidePath(listed.path);
        std::wstring key = FileKey(wide);
        AppendFile(std::move(listed.path), wide, std::move(key), listed.readable);
    }
    EndGadgetBatch(GadgetFileList);
    UpdateStatusText();
}

void AddChosenFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::unordered_map<std::wstring, int> listed;
    listed.reserve(files.size() + paths.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        listed.emplace(files[i].key, static_cast<int>(i));

    std::vector<int> alreadyListed;
    bool added = false;
    BeginGadgetBatch(GadgetFileList);
    for (const std::string& path : paths) {
        std::wstring wide = ToWidePath(path);
        std::wstring key = FileKey(wide);
        auto found = listed.find(key);
        if (found != listed.end()) {
            alreadyListed.push_back(found->second);
            continue;
        }
        int row = static_cast<int>(files.size());
        if (AppendFile(path, wide, key)) {
            listed.emplace(std::move(key), row);
            added = true;
        }
    }
    EndGadgetBatch(GadgetFileList);

    if (!alreadyListed.empty()) {
        // Show the user where the file already stands instead of listing it twice.
        WriteGadgetState(GadgetFileList, -1);
        for (int row : alreadyListed)
            WriteGadgetItemState(GadgetFileList, row, 1);
        SendMessageW(GadgetHandle(GadgetFileList), LVM_ENSUREVISIBLE, static_cast<WPARAM>(alreadyListed.front()),
                     FALSE);
        OnFileListEvent();
    }
    // On disk before anything tells the user: what was shown must survive a kill.
    if (added) OnFileListChanged();
    UpdateStatusText();
}

void AddFiles() {
    std::string path = ShowOpenFileDialog("Dateien hinzufügen", "", "Alle Dateien|*.*", 0, 1);
    std::vector<std::string> chosen;
    while (!path.empty()) {
        chosen.push_back(std::move(path));
        path = NextChosenFileName();
    }
    AddChosenFiles(chosen);
}

void AddFolder() {
    std::string path = ShowFolderDialog("Ordner hinzufügen");
    if (path.empty()) return;
    if (!IsFolderPath(path)) path += '\\';
    AddChosenFiles({path});
}

const char* LevelText(bool readable) { return readable ? "lesen erlaubt" : "gesperrt"; }

bool SelectionAllowsReading() {
    std::vector<int> rows = SelectedRows();
    return !rows.empty() && std::all_of(rows.begin(), rows.end(), [](int row) {
        return row < static_cast<int>(files.size()) && files[row].readable;
    });
}

void AllowReadingForSelection() {
    std::vector<int> rows = SelectedRows();
    bool readable = !SelectionAllowsReading();
    bool changed = false;
    HideTooltip();
    for (int row : rows) {
        if (row >= static_cast<int>(files.size())) continue;
        ProtectedFile& file = files[row];
        if (file.readable == readable) continue;
        changed = true;
        file.readable = readable;
        WriteGadgetItemText(GadgetFileList, row, LevelText(readable), 1);
        if (file.tree) {
            file.tree->SetReadable(readable);
        } else if (file.lock && file.state == LockState::ReadersWait && readable) {
            file.state = LockState::Held; // held with reading shared already
        } else if (file.lock) {
            TryLock(file); // held: lets go and holds again at once, at the new level
        }
        ShowRowState(row, file);
    }
    if (!changed) return;
    ScheduleFolderWork();
    OnFileListChanged();
    UpdateStatusText();
}

void RemoveSelectedFiles() {
    std::vector<int> rows = SelectedRows();
    if (!rows.empty()) {
        HideTooltip();
        BeginGadgetBatch(GadgetFileList);
        // Bottom up, so that the rows still to go keep their numbers.
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            if (*row >= static_cast<int>(files.size())) continue;
            DeleteGadgetItem(GadgetFileList, *row);
            files.erase(files.begin() + *row);
        }
        EndGadgetBatch(GadgetFileList);
        retryCursor = 0;
        // A second row of a file just let go may hold it now, in a folder row too, and room
        // under the ceiling may have come free.
        bool duplicates = std::any_of(files.begin(), files.end(),
                                      [](const ProtectedFile& file) { return file.state == LockState::Duplicate; });
        if (duplicates) RetryUnheldFiles(0);
        for (ProtectedFile& file : files)
            if (file.tree) file.tree->RetryWaiting();
        ShowFolderRows();
        ScheduleFolderWork();
    }
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, 1);
    if (!rows.empty()) OnFileListChanged();
    UpdateStatusText();
}

void OnFileListEvent() {
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, ReadGadgetState(GadgetFileList) == -1 ? 1 : 0);
}

bool RetryUnheldFiles(unsigned budgetMilliseconds) {
    std::size_t count = files.size();
    if (count == 0) return false;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const LONGLONG budgetTicks = frequency.QuadPart * budgetMilliseconds / 1000;

    bool changed = false, nowHeld = false;
    for (std::size_t tried = 0; tried < count; ++tried) {
        std::size_t index = retryCursor++ % count;
        ProtectedFile& file = files[index];
        if (file.state == LockState::Held) continue;
        LockState before = file.state;
        TryLock(file);
        if (file.state != before) {
            changed = true;
            if (file.state == LockState::Held) {
                nowHeld = true;
                ShowRowState(static_cast<int>(index), file);
            }
        }
        QueryPerformanceCounter(&now);
        if (budgetTicks > 0 && now.QuadPart - start.QuadPart >= budgetTicks) break;
    }
    retryCursor %= count;
    if (changed) HideTooltip();
    if (nowHeld) UpdateStatusText();
    return changed;
}

void StartProtectionService() {
    HWND main = WindowHandle(WindowMain);
    HWND list = GadgetHandle(GadgetFileList);
    if (!main || !list) return;
    SetTimer(main, RetryTimerId, RetryInterval, OnRetryTimer);
    SetWindowSubclass(main, MainWindowProtectionProc, SubclassId, 0);
    // All that accepting drops takes: the style. Asking the shell would load it at start-up.
    SetWindowLongPtrW(main, GWL_EXSTYLE, GetWindowLongPtrW(main, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);

    SetWindowSubclass(list, FileListProc, SubclassId, 0);
}

void ReleaseAllProtectedFiles() {
    files.clear();
    retryCursor = 0;
    tooltipRow = -1;
}

int HeldLockCount() {
    int held = 0;
    for (const ProtectedFile& file : files) held += file.tree ? file.tree->HeldFiles() : file.lock.valid();
    return held;
}

std::string LockReason(LockState state, unsigned long error, bool folder, const std::string& holder) {
    switch (state) {
    case LockState::Held:
        return {};
    case LockState::NotFound:
        return folder ? "Ordner nicht gefunden" : "Datei nicht gefunden";
    case LockState::InUse:
        return "von einem anderen Programm geöffnet";
    case LockState::AccessDenied:
        return "Zugriff verweigert";
    case LockState::Duplicate:
        return holder.empty() ? "bereits in der Liste" : "bereits in der Liste: " + holder;
    case LockState::TooMany:
        return "zu viele Dateien";
    case LockState::ReadersWait:
        return "wird gesperrt, sobald kein anderes Programm sie liest";
    case LockState::Failed:
        break;
    }
    return SystemErrorText(error);
}

std::string UnprotectedReason(const ProtectedFile& file) {
    if (file.state == LockState::Held) return IsWhole(file) ? std::string() : file.tree->Summary();
    // Nothing can change the file meanwhile: it is protected, only not yet as the row says.
    if (file.state == LockState::ReadersWait) return LockReason(file.state, file.error, false, {});
    return "Nicht geschützt: " + LockReason(file.state, file.error, file.tree != nullptr, file.holder);
}

void UpdateStatusText() {
    int tried = 0, found = 0;
    for (const ProtectedFile& file : files) {
        if (!file.tree || !file.tree->Busy()) continue;
        tried += file.tree->TriedFiles();
        found += file.tree->FoundFiles();
    }
    if (found > 0 || AnyFolderBusy()) {
        std::string progress = "Ordner wird geschützt: " + FormatGroupedInteger(tried) + " von " +
                               FormatGroupedInteger(found) + " Dateien";
        SetStatusFieldText(StatusBarMain, 0, progress.c_str());
        if (statusTextHook) statusTextHook();
        return;
    }
    int held = HeldLockCount();
    std::string text = FormatInteger(static_cast<std::int32_t>(held));
    text += held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt";
    SetStatusFieldText(StatusBarMain, 0, text.c_str());
    if (statusTextHook) statusTextHook();
}

void SetStatusTextHook(void (*hook)()) { statusTextHook = hook; }

int UnprotectedRowCount() {
    return static_cast<int>(std::count_if(files.begin(), files.end(), [](const ProtectedFile& file) { return !IsWhole(file); }));
}

int AlarmingRowCount() {
    unsigned long long now = GetTickCount64();
    int alarming = 0;
    for (const ProtectedFile& file : files) {
        // A second row of a file is red, yet the first row holds the file.
        if (file.state != LockState::Held && file.state != LockState::Duplicate)
            ++alarming;
        else if (file.tree && !file.tree->Busy() && file.tree->UnheldCount() > file.tree->BeingWritten(now))
            ++alarming;
    }
    return alarming;
}
