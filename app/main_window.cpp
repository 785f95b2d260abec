#include "app/main_window.h"

#include "app/application.h"
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

bool MainWindow::Open(HWND main, const std::string& storageFolder, bool hiddenStart, void (*ending)()) {
    if (!main || !WatchOwner(main, Watch, reinterpret_cast<Number>(this))) return false;
    window = main;
    end = ending;
    showRequest = ShowRequestMessage(storageFolder);
    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    StartProtectionService();
    StartNotificationArea(main, hiddenStart);
    // Last: from here on later starts find this window and hand their paths to it.
    StartPathReceiver(main, storageFolder);
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
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data) return false;
        if (data->dwData == QuitHandOverTag)
            *result = TakeQuitRequest(window, *data);
        else if (data->dwData == HandOverTag || data->dwData == ReleaseHandOverTag)
            *result = TakeHandOver(window, *data);
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
        Protect(TakeBatch(false));
        break;
    case ReleaseBatchTimer:
        Release(TakeBatch(true));
        break;
    case QuitEndTimer:
        AfterQuitAnswer();
        break;
    case ReleaseTimer:
        TakeBackDueReleases();
        break;
    default:
        break;
    }
}

void MainWindow::Close() {
    StopPathReceiver(window);
    StopNotificationArea();
    StopProtectionService(window);
    KillTimer(window, QuitEndTimer);
    KillTimer(window, ReleaseTimer);
    window = nullptr;
    showRequest = taskbarCreated = 0;
    end = nullptr;
}
