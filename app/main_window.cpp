#include "app/main_window.h"

#include "app/application.h"
#include "app/autostart.h"
#include "app/background.h"
#include "app/explorer_menu.h"
#include "app/file_list_view.h"
#include "app/handover.h"
#include "app/lock_defence.h"
#include "app/notification_area.h"
#include "app/protected_files.h"
#include "app/quit_request.h"
#include "app/release.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "app/storage.h"
#include "framework/owner_subclass.h"
#include "framework/requesters.h"
#include "framework/window.h"

#include <string>

namespace {

void ShowAboutBox() {
    std::string text = std::string(ProductName) + " " + ProductVersion;
    // Every credits line starts with CR, so the block begins on the box's second line.
    text += "\r"
            // Short lines: the box breaks longer ones again, wherever it likes.
            "\r„gesperrt“: solange Verriq läuft,"
            "\rkann kein anderes Programm die"
            "\rDatei lesen, ändern, ersetzen,"
            "\rlöschen oder umbenennen."
            "\r„lesen erlaubt“: andere Programme"
            "\rdürfen sie lesen und kopieren,"
            "\raber nicht ändern oder löschen."
            "\rZum Bearbeiten freigegeben ist"
            "\reine Datei eine Zeit lang gar"
            "\rnicht geschützt; danach schützt"
            "\rVerriq sie von selbst wieder."
            "\rSchließt ein Programm Verriqs"
            "\rSperre von außen, ist die Datei"
            "\rbis zu 2 Sekunden ungeschützt;"
            "\rVerriq sperrt sie wieder und"
            "\rmeldet es."
            "\rKein Schutz, wenn Verriq beendet"
            "\roder abgebrochen wird, bei direktem"
            "\rZugriff auf den Datenträger, unter"
            "\reinem anderen Betriebssystem, für"
            "\rAdministratoren und, unter Wine,"
            "\rfür Linux-Programme."
            "\r© 2026 Ondrak";
    ShowMessageBox("Informationen", text.c_str(), MB_ICONINFORMATION);
}

void Quit() {
    // "Nein" to quitting without a saved list returns to the window.
    if (SaveForQuit()) ShutDown();
}

} // namespace

bool MainWindow::Open(HWND main, const std::string& storageFolder, bool hiddenStart, void (*ending)()) {
    if (!main || !WatchOwner(main, Watch, reinterpret_cast<Number>(this))) return false;
    window = main;
    end = ending;
    showRequest = ShowRequestMessage(storageFolder);
    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    StartProtectionService();
    StartNotificationArea(main, hiddenStart);
    // Last: from here on later starts find this window and hand their paths to it.
    inbox.Start(main, storageFolder);
    return true;
}

void MainWindow::Protect(const std::vector<std::wstring>& paths) {
    // Nobody sees new rows in a hidden window: the picture says what was added.
    std::string told = AddArrivingPaths(paths);
    if (!told.empty()) ShowNotifyBalloon(ProductName, told.c_str(), false);
}

void MainWindow::Release(const std::vector<std::wstring>& paths) { ReleaseArrivingPaths(paths); }

bool MainWindow::Watch(HWND, Number self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return reinterpret_cast<MainWindow*>(self)->Take(message, wParam, lParam, result);
}

bool MainWindow::Take(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    // Registered numbers are known only at run time: they cannot be cases.
    if (showRequest && message == showRequest) {
        ShowMainWindowInFront(window);
        return true;
    }
    if (taskbarCreated && message == taskbarCreated) {
        AddPictureAgain();
        return true;
    }
    switch (message) {
    case WM_COMMAND:
        // The menu bar's and the row menu's entries, and the toolbar's buttons, which share
        // their numbers; anything else (a gadget's, the focus keys) is the framework's.
        if ((lParam == 0 && HIWORD(wParam) == 0) ||
            (lParam != 0 && GetWindowLongW(reinterpret_cast<HWND>(lParam), GWL_ID) == ToolbarControlId))
            return OnCommand(LOWORD(wParam));
        return false;
    case GadgetEventMessage:
        if (static_cast<Number>(wParam) != GadgetFileList) return false;
        OnFileListEvent();
        return true;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data) return false;
        if (data->dwData == QuitHandOverTag)
            *result = quits.Take(window, *data);
        else if (data->dwData == HandOverTag || data->dwData == ReleaseHandOverTag)
            *result = inbox.Take(window, *data);
        else
            return false;
        return true;
    }
    case WM_DROPFILES:
        AddDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    case FolderMessage:
        if (wParam == 0)
            DoFolderWork();
        else
            OnFolderChanged(wParam);
        return true;
    case HolderMessage:
        ShowHolderAnswers();
        return true;
    case PictureMessage:
        OnPictureEvent(wParam, lParam);
        return true;
    case WM_TIMER:
        if (wParam < RetryTimer || wParam > ReleaseTimer) return false;
        OnTimer(wParam);
        return true;
    case WM_SHOWWINDOW:
        if (wParam) CatchUpOnShow();
        return false;
    case WM_DPICHANGED:
        FollowPictureScale(LOWORD(wParam));
        return false;
    case WM_QUERYENDSESSION:
        // Everything is on disk already; a question now could only hold the log-off up.
        *result = TRUE;
        return true;
    case WM_ENDSESSION:
        // The documents are saved; the system ends us anyway, so end with the locks let go in order.
        if (wParam) {
            SaveDocumentsQuietly();
            if (end) end();
        }
        return true;
    case WM_NCDESTROY:
        Close();
        return false;
    default:
        return false;
    }
}

bool MainWindow::OnCommand(int item) {
    switch (item) {
    case ItemAddFiles:
        AddFiles();
        break;
    case ItemAddFolder:
        AddFolder();
        break;
    case ItemRemoveFiles:
        RemoveSelectedFiles();
        break;
    case ItemQuitButton:
    case ItemQuitMenu:
        Quit();
        break;
    case ItemShowWindow:
        ShowMainWindowInFront(window);
        break;
    case ItemAbout:
        ShowAboutBox();
        break;
    case ItemChangeHotKey:
        OpenHotKeyDialog();
        break;
    case ItemStartWithWindows:
        ToggleAutostart();
        break;
    case ItemOfferInExplorer:
        ToggleExplorerMenu();
        break;
    case ItemAllowReading:
        AllowReadingForSelection();
        break;
    case ItemReleaseForEditing:
        ReleaseSelectionForEditing();
        break;
    default:
        if (item < ItemReleasePeriodFirst || item > ItemReleasePeriodLast) return false;
        if (ChooseReleasePeriod(item)) OnSettingsChanged();
        break;
    }
    return true;
}

void MainWindow::OnTimer(UINT_PTR timer) {
    // Every timer but the steady ones runs once per SetTimer.
    if (timer != RetryTimer && timer != DefenceTimer && timer != LookTimer) KillTimer(window, timer);
    switch (timer) {
    case RetryTimer:
        RetryUnheldFiles(RetryBudgetMilliseconds);
        break;
    case FolderWorkTimer:
        DoFolderWork();
        break;
    case FolderRetryTimer:
        RetryInFolders();
        break;
    case DefenceTimer:
        DefendLocks();
        break;
    case LookTimer:
        LookAtProtection();
        break;
    case BatchTimer:
        Protect(inbox.TakeBatch(false));
        break;
    case ReleaseBatchTimer:
        Release(inbox.TakeBatch(true));
        break;
    case QuitEndTimer:
        quits.AfterAnswer();
        break;
    case ReleaseTimer:
        TakeBackDueReleases();
        break;
    default:
        break;
    }
}

void MainWindow::Close() {
    inbox.Stop(window);
    StopNotificationArea();
    StopProtectionService(window);
    KillTimer(window, QuitEndTimer);
    KillTimer(window, ReleaseTimer);
    window = nullptr;
    showRequest = taskbarCreated = 0;
    end = nullptr;
}
