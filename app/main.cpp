// Start-up, the main loop and the one way out.
#include "app/application.h"
#include "app/autostart.h"
#include "app/background.h"
#include "app/explorer_menu.h"
#include "app/file_list_view.h"
#include "app/handover.h"
#include "app/layout.h"
#include "app/main_window.h"
#include "app/notification_area.h"
#include "app/protected_files.h"
#include "app/quit_request.h"
#include "app/release.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "app/storage.h"
#include "controls/gadget.h"
#include "core/memory.h"
#include "core/system_library_win32.h"
#include "framework/dpi.h"
#include "framework/requesters.h"
#include "framework/threads.h"
#include "framework/window.h"
#include "images/images.h"
#include "settings/files.h"
#include "settings/settings_document.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

const char* ProductName = "";
const char* ProductVersion = "";

namespace {

// What the process ends with: 1 only when paths could not be handed to the running copy; a quit
// request's own codes (QuitExitCode).
unsigned exitCode = 0;

// The main window opens with a caption, system menu, sizing border and maximise box, centred
// on the screen (the framework's option bit 1). Sizes are at 96 DPI.
constexpr unsigned MainWindowFlags = 0xCD0001;
constexpr int MainInnerWidth = 400;
constexpr int MainInnerHeight = 220;

// The folder we were started from (often the downloads folder or the desktop) would stay busy
// as our current folder: it could not be renamed or deleted while we run. Nothing here names a
// file relative to the current folder, and the system folder is never renamed.
void LeaveStartFolder() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) SetCurrentDirectoryW(folder);
}

[[noreturn]] void RunMainLoop() {
    for (;;) {
        // Commands and the list's events are the main window's own; what remains here are the
        // framework's window events. The loop does not ask which window an event came from: a
        // close request or a resize is handled the same for both windows.
        int event = WaitEvent();
        if (event == SizeWindowEvent)
            FitFileListToWindow();
        else if (event == GadgetEvent && EventGadgetNumber() == GadgetHotKeyField)
            OnHotKeyField();
        else if (event == CloseWindowEvent)
            OnCloseRequest();
        else if (event == DpiChangedWindowEvent && EventWindow() == WindowMain)
            FollowNewScale();
    }
}

} // namespace

#ifdef VERRIQ_COVERAGE
// ExitProcess skips the runtime's exit handlers, where the counters of a coverage build are written.
extern "C" void __gcov_dump();
#endif

[[noreturn]] void ShutDown() {
    // The notification area would keep a dead program's picture until the pointer passes over it.
    StopNotificationArea();
    // The watcher must be gone before anything it might still read is.
    StopHotKeyWatcher();
    EndThreads();
    EndSettings();
    EndGadgets();
    EndWindows();
    ReleaseAllImages();
    EndImageSupport();
    CloseAllDataFiles();
    EndPrivateHeap();
#ifdef VERRIQ_COVERAGE
    __gcov_dump();
#endif
    // The locks on the protected files end with the process.
    ExitProcess(exitCode);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything else may load a library: none may come from the folder we were started in.
    KeepLibrarySearchInSystemFolder();
    InitPrivateHeap();
    StartFrameworkServices();
    ProductName = "Verriq";
    ProductVersion = "1.0.0";

    // Started at log-on: everything as usual, only without a window; the hot key or another
    // start brings it.
    bool hidden = IsBackgroundStart(GetCommandLineW());
    // Paths given to protect are relative to the folder we were started in, so they are made
    // full before we leave it.
    std::vector<std::wstring> arriving;
    bool protecting = PathsToProtect(GetCommandLineW(), &arriving) && !arriving.empty();
    std::vector<std::wstring> toRelease;
    bool releasing = !protecting && PathsToRelease(GetCommandLineW(), &toRelease) && !toRelease.empty();
    LeaveStartFolder();

    // A second start for the same storage folder shows the running copy instead and ends before
    // it opens a window or touches a document. One from log-on leaves a running copy as it is.
    std::string storage = StorageFolder(ProductName);
    // A quit request never becomes the running copy, whether it found one or not.
    if (IsQuitRequest(GetCommandLineW())) {
        exitCode = QuitRunningCopy(storage);
        ShutDown();
    }
    // Paths for a running copy are handed over without bringing it to the front; when it is
    // gone before it could take them, this start becomes the running copy.
    if (!ClaimInstance(storage)) {
        HandOverResult handed = protecting  ? HandPathsOver(storage, arriving)
                                : releasing ? HandPathsOver(storage, toRelease, ReleaseHandOverTag)
                                            : HandOverResult::Delivered;
        if (handed != HandOverResult::NoneRunning) {
            if (!protecting && !releasing && !hidden) AskRunningCopyToShow(storage);
            // 0 only when every path arrived: 1 when the running copy did not take them all in
            // time, 2 when it refused one of them.
            exitCode = handed == HandOverResult::Failed ? 1 : handed == HandOverResult::Refused ? 2 : 0;
            ShutDown();
        }
    }

    std::string title = std::string(ProductName) + " " + ProductVersion;
    // Without a main window there is nothing to protect with: leave before any folder or
    // document is made.
    // No window yet to ask: it opens on the main screen, at the system's scale. It is built
    // unseen and shown with its bars: shown first, it would paint again for every bar added.
    if (!OpenTopWindow(WindowMain, 0, 0, DpiScale(nullptr, MainInnerWidth), DpiScale(nullptr, MainInnerHeight),
                       title.c_str(), MainWindowFlags | WindowInvisible, nullptr))
        ShutDown();

    EnsureStorageFolders(ProductName);
    EnsureFileListDocument(ProductName, FileListName);
    EnsureSettingsDocument(ProductName, SettingsName);
    // Before the menu: it shows the release period that the settings hold.
    LoadSettings(ProductName, SettingsName);

    LoadToolbarImages();
    CreateMainMenu();
    ShowAutostartState();
    ShowExplorerMenuState();
    CreateMainToolbar();
    CreateMainStatusBar();
    CreateFileList();
    LimitMainWindowSize();
    // Shown before the list is read: a long list takes a while, and the window tells at once
    // that Verriq has started.
    if (!hidden) SetWindowHidden(WindowMain, 0);

    std::vector<std::string> lines;
    LoadFileList(ProductName, FileListName, lines);
    AddListedFiles(std::move(lines));

    // Owns the wiring of everything the application handles on its window. It lives in this
    // frame, which the main loop never leaves.
    MainWindow mainWindow;
    mainWindow.Open(WindowHandle(WindowMain), storage, hidden, ShutDown);
    if (protecting) mainWindow.Protect(arriving);
    if (releasing) mainWindow.Release(toRelease);
    StartHotKeyWatcher(WindowHandle(WindowMain), mainWindow.ShowRequest());
    RunMainLoop();
}
