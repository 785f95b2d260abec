// Start-up, the main loop and the one way out.
#include "app/application.h"
#include "app/autostart.h"
#include "app/background.h"
#include "app/layout.h"
#include "app/protected_files.h"
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

const char* ProductName = "";
const char* ProductVersion = "";

namespace {

// The main window opens with a caption, system menu, sizing border and maximise box, centred
// on the screen (the framework's option bit 1). Sizes are at 96 DPI.
constexpr unsigned MainWindowFlags = 0xCD0001;
constexpr int MainInnerWidth = 400;
constexpr int MainInnerHeight = 220;

void ShowAboutBox() {
    std::string text = std::string(ProductName) + " " + ProductVersion;
    // Every credits line starts with CR, so the block begins on the box's second line.
    text += "\r"
            // Short lines: the box breaks longer ones again, wherever it likes.
            "\rSolange Verriq läuft, kann kein"
            "\randeres Programm eine geschützte"
            "\rDatei lesen, ändern, ersetzen,"
            "\rlöschen oder umbenennen."
            "\rDas gilt nicht, wenn Verriq beendet"
            "\roder abgebrochen wird, bei direktem"
            "\rZugriff auf den Datenträger, unter"
            "\reinem anderen Betriebssystem und,"
            "\runter Wine, für Linux-Programme."
            "\r© 2026 Ondrak";
    ShowMessageBox("Informationen", text.c_str(), MB_ICONINFORMATION);
}

// The folder we were started from (often the downloads folder or the desktop) would stay busy
// as our current folder: it could not be renamed or deleted while we run. Nothing here names a
// file relative to the current folder, and the system folder is never renamed.
void LeaveStartFolder() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) SetCurrentDirectoryW(folder);
}

void Quit() {
    // "Nein" to quitting without a saved list returns to the window.
    if (SaveForQuit()) ShutDown();
}

// The documents are saved; the system ends us anyway, so end with the locks let go in order.
void OnSessionEnded() { ShutDown(); }

void OnMenuEvent(Number item) {
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
    case ItemAbout:
        ShowAboutBox();
        break;
    case ItemChangeHotKey:
        OpenHotKeyDialog();
        break;
    case ItemStartWithWindows:
        ToggleAutostart();
        break;
    case ItemAllowReading:
        AllowReadingForSelection();
        break;
    default:
        break;
    }
}

void OnGadgetEvent(Number gadget) {
    if (gadget == GadgetFileList)
        OnFileListEvent();
    else if (gadget == GadgetHotKeyField)
        OnHotKeyField();
}

[[noreturn]] void RunMainLoop() {
    for (;;) {
        // The loop does not ask which window an event came from: a close request or a resize
        // is handled the same for both windows.
        int event = WaitEvent();
        if (event == SizeWindowEvent)
            FitFileListToWindow();
        else if (event == MenuEvent)
            OnMenuEvent(EventMenuNumber());
        else if (event == GadgetEvent)
            OnGadgetEvent(EventGadgetNumber());
        else if (event == CloseWindowEvent)
            OnCloseRequest();
        else if (event == DpiChangedWindowEvent && EventWindow() == WindowMain)
            FollowNewScale();
    }
}

} // namespace

[[noreturn]] void ShutDown() {
    // The watcher must be gone before anything it might still read is.
    StopHotKeyWatcher();
    StopSessionService(WindowHandle(WindowMain));
    EndThreads();
    EndSettings();
    EndGadgets();
    EndWindows();
    ReleaseAllImages();
    EndImageSupport();
    CloseAllDataFiles();
    EndPrivateHeap();
    // The locks on the protected files end with the process.
    ExitProcess(0);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything else may load a library: none may come from the folder we were started in.
    KeepLibrarySearchInSystemFolder();
    LeaveStartFolder();
    InitPrivateHeap();
    StartFrameworkServices();
    ProductName = "Verriq";
    ProductVersion = "1.0.0";

    // Started at log-on: everything as usual, only without a window; the hot key or another
    // start brings it.
    bool hidden = IsBackgroundStart(GetCommandLineW());

    // A second start for the same storage folder shows the running copy instead and ends before
    // it opens a window or touches a document. One from log-on leaves a running copy as it is.
    std::string storage = StorageFolder(ProductName);
    if (!ClaimInstance(storage)) {
        if (!hidden) AskRunningCopyToShow(storage);
        ShutDown();
    }

    std::string title = std::string(ProductName) + " " + ProductVersion;
    // Without a main window there is nothing to protect with: leave before any folder or
    // document is made.
    // No window yet to ask: it opens on the main screen, at the system's scale.
    if (!OpenTopWindow(WindowMain, 0, 0, DpiScale(nullptr, MainInnerWidth), DpiScale(nullptr, MainInnerHeight),
                       title.c_str(), MainWindowFlags | (hidden ? WindowInvisible : 0), nullptr))
        ShutDown();

    EnsureStorageFolders(ProductName);
    EnsureFileListDocument(ProductName, FileListName);
    EnsureSettingsDocument(ProductName, SettingsName);

    LoadToolbarImages();
    CreateMainMenu();
    ShowAutostartState();
    CreateMainToolbar();
    CreateMainStatusBar();
    CreateFileList();

    LoadFileList(ProductName, FileListName);
    LoadSettings(ProductName, SettingsName);

    LimitMainWindowSize();
    StartProtectionService();
    UINT showRequest = ShowRequestMessage(storage);
    StartSessionService(WindowHandle(WindowMain), showRequest, OnSessionEnded);
    StartHotKeyWatcher(WindowHandle(WindowMain), showRequest);
    RunMainLoop();
}
