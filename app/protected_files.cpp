#include "app/protected_files.h"

#include "app/application.h"
#include "app/file_list_view.h"
#include "app/lock_defence.h"
#include "app/storage.h"
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "core/handles_win32.h"
#include "core/system_library_win32.h"
#include "framework/owner_subclass.h"
#include "framework/requesters.h"
#include "framework/window.h"
#include "settings/file_list_codec.h"
#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h> // HDROP
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

namespace {

// A pass when the window comes back may take longer: the user is looking.
constexpr unsigned ShownRetryBudgetMilliseconds = 50;

// One slice of scanning and holding; the window answers between two, well within 100 ms.
constexpr unsigned FolderSliceMilliseconds = 40;
constexpr unsigned FolderRetryBudgetMilliseconds = 20;
bool folderWorkAsked = false;

// The model before it may take a folder: a folder's watcher tells the main window of changes,
// and rows are added (the list at start among them) before the services start.
ProtectionModel& WatchingModel() {
    ProtectionModel& model = Protection();
    model.SetWatchTarget(WindowHandle(WindowMain), FolderMessage);
    return model;
}

} // namespace

// Asks for the next slice of work while a folder is busy, and for a retry when a file in a
// folder is due; nothing at all while every folder is held whole, so an idle Verriq stays idle.
void ScheduleFolderWork() {
    ProtectionModel& model = Protection();
    HWND main = WindowHandle(WindowMain);
    if (!main) {
        // Without a window (tests of the model) the work is done at once.
        while (model.AnyFolderBusy()) model.WorkFolders(FolderSliceMilliseconds);
        return;
    }
    if (!folderWorkAsked && model.AnyFolderBusy()) {
        folderWorkAsked = true;
        // A posted message comes before input and painting: while they wait, the next slice
        // waits behind them on a timer. A full queue refuses the post; the timer still comes.
        if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0 || !PostMessageW(main, FolderMessage, 0, 0))
            SetTimer(main, FolderWorkTimer, 1, nullptr);
    }
    long long due = model.NextFolderDue();
    if (due < 0)
        KillTimer(main, FolderRetryTimer);
    else
        SetTimer(main, FolderRetryTimer, static_cast<UINT>(std::max<long long>(due, USER_TIMER_MINIMUM)), nullptr);
}

namespace {

void AfterFolderChange() {
    ShowRowStates();
    UpdateStatusText();
    ScheduleFolderWork();
}

} // namespace

void DoFolderWork() {
    folderWorkAsked = false;
    Protection().WorkFolders(FolderSliceMilliseconds);
    AfterFolderChange();
}

void RetryInFolders() {
    Protection().RetryDueInFolders(FolderRetryBudgetMilliseconds);
    AfterFolderChange();
}

void OnFolderChanged(WPARAM tree) {
    Protection().TakeFolderChanges(tree);
    AfterFolderChange();
}

namespace {

// The list's keys, pointer and menu, seen ahead of the list through the framework's one watch.
bool WatchFileList(HWND list, Number, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_KEYDOWN:
        // Entf does what "Entfernen" does; the key is ours, not the list's.
        if (wParam == VK_DELETE && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
            RemoveSelectedFiles();
            *result = 0;
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        TrackRowTooltip(list, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return false;
    case WM_MOUSELEAVE:
        HideTooltip();
        return false;
    case WM_CONTEXTMENU:
        ShowRowMenu(list, lParam);
        *result = 0;
        return true;
    default:
        return false;
    }
}


} // namespace

// Files and folders dragged from the Explorer are added as if chosen in the dialogs. The shell
// library is taken in by the first drop, not at start-up; without it the drop adds nothing, and
// its block, global memory that is ours once it arrived, is freed all the same.
void AddDroppedFiles(HDROP drop) {
    using QueryFunction = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using FinishFunction = void(WINAPI*)(HDROP);
    auto query = LateSystemFunction<QueryFunction>(L"shell32.dll", "DragQueryFileW");
    auto finish = LateSystemFunction<FinishFunction>(L"shell32.dll", "DragFinish");
    if (!query || !finish) {
        UniqueGlobalMemory unread(drop);
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

void CatchUpOnShow() {
    // A drive plugged in or a program closed while the window was away: catch up at once,
    // inside folders too.
    RetryUnheldFiles(ShownRetryBudgetMilliseconds);
    Protection().MakeAllDue();
    ScheduleFolderWork();
}

void AddListedFiles(std::vector<std::string> lines) {
    ProtectionModel& model = WatchingModel();
    for (std::string& line : lines) {
        ListedFile listed = ParseListLine(std::move(line));
        // Each path is converted for the system once, for its key and its lock alike.
        std::wstring wide = ToWidePath(listed.path);
        std::wstring key = FileKey(wide);
        model.Append(std::move(listed.path), wide, std::move(key), listed.readable);
    }
    // Thousands of entries cost the list one message: it asks for the rows it shows.
    ShowRows();
    ScheduleFolderWork();
    UpdateStatusText();
}

void AddChosenFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    ProtectionModel& model = WatchingModel();
    const std::vector<ProtectedFile>& files = model.Files();
    std::unordered_map<std::wstring, int> listed;
    listed.reserve(files.size() + paths.size());
    for (std::size_t i = 0; i < files.size(); ++i) listed.emplace(files[i].key, static_cast<int>(i));

    std::vector<int> alreadyListed;
    bool added = false;
    for (const std::string& path : paths) {
        std::wstring wide = ToWidePath(path);
        std::wstring key = FileKey(wide);
        auto found = listed.find(key);
        if (found != listed.end()) {
            alreadyListed.push_back(found->second);
            continue;
        }
        listed.emplace(key, static_cast<int>(files.size()));
        model.Append(path, wide, std::move(key), false);
        added = true;
    }
    ScheduleFolderWork();
    ShowRows();
    // On disk before anything tells the user: what was shown must survive a kill.
    if (added) OnFileListChanged();
    UpdateStatusText();
    // Show the user where the file already stands instead of listing it twice.
    SelectRows(alreadyListed);
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

void AllowReadingForSelection() {
    ProtectionModel& model = WatchingModel();
    std::vector<int> rows = SelectedRows();
    bool readable = !SelectionAllowsReading();
    bool changed = false;
    HideTooltip();
    for (int row : rows) {
        if (!model.SetReadable(static_cast<std::size_t>(row), readable)) continue;
        changed = true;
        ShowRowState(row);
    }
    if (!changed) return;
    ScheduleFolderWork();
    OnFileListChanged();
    UpdateStatusText();
}

void RemoveSelectedFiles() {
    std::vector<int> rows = SelectedRows();
    if (!rows.empty()) {
        Protection().Remove(rows);
        ScheduleFolderWork();
        RemoveRows();
        OnFileListChanged();
        UpdateStatusText();
    }
    // The selection went with the rows: so does "Entfernen".
    OnFileListEvent();
}

bool RetryUnheldFiles(unsigned budgetMilliseconds) {
    std::vector<int> changed;
    bool nowHeld = WatchingModel().RetryUnheld(budgetMilliseconds, &changed);
    if (changed.empty()) return false;
    HideTooltip();
    for (int row : changed) ShowRowState(row);
    // A folder that appeared is scanned from now on.
    ScheduleFolderWork();
    if (nowHeld) UpdateStatusText();
    return true;
}

void StartProtectionService() {
    HWND main = WindowHandle(WindowMain);
    HWND list = GadgetHandle(GadgetFileList);
    if (!main || !list) return;
    SetTimer(main, RetryTimer, RetryInterval, nullptr);
    // All that accepting drops takes: the style. Asking the shell would load it at start-up.
    SetWindowLongPtrW(main, GWL_EXSTYLE, GetWindowLongPtrW(main, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);

    WatchOwner(list, WatchFileList, 0);
    StartLockDefence(main);
}

void StopProtectionService(HWND main) {
    // The tooltip belongs to the main window and goes with it.
    ForgetTooltip();
    KillTimer(main, RetryTimer);
    KillTimer(main, FolderWorkTimer);
    KillTimer(main, FolderRetryTimer);
    folderWorkAsked = false;
    StopLockDefence(main);
}

void ReleaseAllProtectedFiles() {
    Protection().Clear();
    ForgetRows();
    HideTooltip();
}
