// Drives the real Verriq.exe from a separate process, the way a user would: starts it with its own
// application-data folder, finds its windows, clicks, types, reads the controls' texts through
// memory in the target process, answers its dialogs and checks its locks with cmd.exe.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Folder of this build as a Windows path (Z:\...), where Verriq.exe lives and screenshots go.
std::string BuildFolder();
std::string VerriqExe();

bool MakeFolders(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
// Empty result and ok=false when the file cannot be read (for example while it is locked).
std::string ReadBytes(const std::string& path, bool* ok = nullptr);
// Whether path is there as a file (folder false) or as a folder.
bool Exists(const std::string& path, bool folder);
inline bool FileExists(const std::string& path) { return Exists(path, false); }
inline bool FolderExists(const std::string& path) { return Exists(path, true); }

// A fresh folder per test: <build>\e2e\<name>\ with "appdata" and "files" below it.
struct Sandbox {
    explicit Sandbox(const std::string& name);
    std::string root;
    std::string appdata;
    std::string files;
    std::string storage() const { return appdata + "\\Ondrak\\Verriq\\"; }
    std::string fileList() const { return storage() + "Dateien.ini"; }
    std::string settings() const { return storage() + "Einstellungen.ini"; }
    // Creates files\<name> holding text; returns its full path.
    std::string MakeFile(const std::string& name, const std::string& text);
};

template <class F> bool WaitFor(F test, int timeoutMs = 5000, int stepMs = 20) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return test();
        Sleep(stepMs);
    }
}

HWND FindChildByClass(HWND parent, const char* className, int id = -1);

// One running Verriq.exe.
class Verriq {
  public:
    Verriq() = default;
    ~Verriq() { Kill(); } // ends a process that is still running
    Verriq(const Verriq&) = delete;
    Verriq& operator=(const Verriq&) = delete;

    // By a whole command line, the exe's path first (empty: the exe alone); folder is the
    // current folder it starts in (empty: the driver's own).
    bool Start(const std::string& appdata, const std::string& commandLine = {}, const std::string& folder = {});
    // Main window by title, visible unless told otherwise; null after the time-out.
    HWND WaitMainWindow(int timeoutMs = 15000, bool visible = true);
    HWND main() const { return main_; }
    HANDLE process() const { return process_; }
    bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    // Exit code, or -1 when the process is still running after the time-out.
    long WaitExit(int timeoutMs = 10000);
    void Kill();

    // Top-level window of this process with this title (and class, when given).
    HWND FindWindowByTitle(const std::string& title, const char* className = nullptr) const;
    HWND WaitWindow(const std::string& title, const char* className = nullptr, int timeoutMs = 8000) const;
    // Visible top-level windows of this process.
    std::vector<HWND> TopWindows() const;
    // The first of them of this class once there is one; null after the time-out.
    HWND WaitTopWindowOfClass(const char* className, int timeoutMs = 3000) const;

    HWND list() const { return FindChildByClass(main_, "SysListView32"); }
    HWND toolbar() const { return FindChildByClass(main_, "ToolbarWindow32"); }
    HWND statusBar() const { return FindChildByClass(main_, "msctls_statusbar32"); }
    int RowCount() const { return static_cast<int>(SendMessageW(list(), LVM_GETITEMCOUNT, 0, 0)); }
    std::string CellText(int row, int column = 0) const;
    std::vector<std::string> Rows() const;
    std::vector<int> SelectedRows() const;
    RECT RowRect(int row) const; // screen coordinates
    std::string StatusText() const;
    bool ButtonEnabled(int id) const { return SendMessageW(toolbar(), TB_ISBUTTONENABLED, id, 0) != 0; }
    std::string ButtonText(int id) const;
    RECT ButtonRect(int id) const; // screen coordinates

    // Brings the main window to the front first unless activate is false (a click on a window
    // behind a dialog).
    void ClickButton(int id, bool activate = true);
    void ClickRow(int row, bool right = false);
    // Adds a row to the selection the way Ctrl+click does. Under Wine a click sent through
    // SendInput never carries a held Ctrl or Shift (the X11 driver takes the modifier state from
    // the X server's pointer events), so the list is told directly; it reports the change to
    // Verriq just as after a click.
    void AddRowToSelection(int row);

  private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// Top-level windows of any process titled as Verriq's main window.
int MainWindows(bool visibleOnly);

RECT ClientOnScreen(HWND window);
// Height of the menu bar: distance between the top of the client area and the top of the
// frame, less what the frame without a menu would take.
int MenuBarHeight(HWND window);
// The rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child);

// Input, sent through the system's input queue like a real keyboard and mouse.
void HoverAt(int x, int y);
void MouseClick(int x, int y, bool right = false);
void MouseDrag(int fromX, int fromY, int toX, int toY);
void Tap(WORD vk, bool extended = false);
struct Key {
    WORD vk;
    bool extended;
};
// Presses the keys in order, holds them for holdMs, releases them in reverse order.
void Chord(const std::vector<Key>& keys, int holdMs = 60);
// Holds the keys down until test() is true or the time is over, then lets them go; the result
// of test(). Under Wine the X11 driver drops keys that were pressed through SendInput whenever
// the X server reports its own keyboard state (for example when a window is mapped or loses
// the focus), so keys that went up without being released are pressed again, as a user who
// still holds them would have them.
bool HoldKeysWhile(const std::vector<Key>& keys, const std::function<bool()>& test, int timeoutMs);

bool BringToFront(HWND window);
// The window with the keyboard focus in the thread that owns window (any process), or null.
HWND FocusOf(HWND window);

// The button whose caption is text (an ampersand in the caption is ignored).
HWND FindButton(HWND dialog, const std::string& text);
bool PressButton(HWND dialog, const std::string& text);
// The longest static text of a message box: its message.
std::string MessageBoxText(HWND box);

// Runs a command line with Wine's own cmd.exe; the exit code, or -1 when it cannot be run.
int RunCmd(const std::string& commandLine, int timeoutMs = 15000);

// Saves the screen area of the window (or the whole screen for null) as a BMP under
// <build>\e2e-shots\<name>.bmp; returns the path or the empty text.
std::string SaveScreenshot(const std::string& name, HWND window = nullptr);
// Pixels of the screen inside a rectangle (screen coordinates), 0x00BBGGRR each.
std::vector<COLORREF> GrabPixels(const RECT& area);

} // namespace e2e
