// Drives the real Verriq.exe from a separate process, the way a user would: starts it with its own
// application-data folder, finds its windows, clicks, types, reads the controls' texts through
// memory in the target process, answers its dialogs and checks its locks with cmd.exe.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Folder of this build as a Windows path (Z:\...), where Verriq.exe lives and screenshots go.
std::string BuildFolder();
std::string VerriqExe();

// Folders and files.
bool MakeFolders(const std::string& path);
void RemoveTree(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
// Empty result and ok=false when the file cannot be read (for example while it is locked).
std::string ReadBytes(const std::string& path, bool* ok = nullptr);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

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

// Milliseconds-based polling: calls test until it is true or the time is over.
template <class F> bool WaitFor(F test, int timeoutMs = 5000, int stepMs = 20) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return test();
        Sleep(stepMs);
    }
}

// Memory inside another process for messages whose parameters point to memory.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    void* address() const { return address_; }
    LPARAM param() const { return reinterpret_cast<LPARAM>(address_); }
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;

  private:
    HANDLE process_;
    void* address_;
};

// One running Verriq.exe.
class Verriq {
  public:
    Verriq() = default;
    ~Verriq(); // ends a process that is still running
    Verriq(const Verriq&) = delete;
    Verriq& operator=(const Verriq&) = delete;

    bool Start(const std::string& appdata);
    // Starts by a whole command line, the exe's path first.
    // folder: the current folder it starts in (empty: the driver's own).
    bool Start(const std::string& appdata, const std::string& commandLine, const std::string& folder = {});
    // Main window by title, visible unless told otherwise; null after the time-out.
    HWND WaitMainWindow(int timeoutMs = 15000, bool visible = true);
    HWND main() const { return main_; }
    HANDLE process() const { return process_; }
    DWORD pid() const { return pid_; }
    bool Running() const;
    // Exit code, or -1 when the process is still running after the time-out.
    long WaitExit(int timeoutMs = 10000);
    void Kill();

    // Top-level window of this process with this title (and class, when given).
    HWND FindWindowByTitle(const std::string& title, const char* className = nullptr) const;
    HWND WaitWindow(const std::string& title, const char* className = nullptr, int timeoutMs = 8000) const;
    // Any visible top-level window of this process other than the main window.
    std::vector<HWND> TopWindows() const;

    // Controls of the main window.
    HWND list() const;
    HWND toolbar() const;
    HWND statusBar() const;

    int RowCount() const;
    std::string RowText(int row) const;
    std::string CellText(int row, int column) const;
    std::vector<std::string> Rows() const;
    std::vector<int> SelectedRows() const;
    RECT RowRect(int row) const; // screen coordinates
    std::string StatusText() const;
    bool ButtonEnabled(int id) const;
    std::string ButtonText(int id) const;
    RECT ButtonRect(int id) const; // screen coordinates

    // Brings the main window to the front first unless activate is false (a click on a window
    // behind a dialog).
    void ClickButton(int id, bool activate = true);
    void ClickRow(int row);
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

HWND FindChildByClass(HWND parent, const char* className, int id = -1);
std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// Text of every child (static texts, buttons) of a dialog, in z-order.
std::vector<HWND> Children(HWND parent);

// Client rectangle of a window in screen coordinates.
RECT ClientOnScreen(HWND window);
// Height of the menu bar: distance between the top of the client area and the top of the
// frame, less what the frame without a menu would take.
int MenuBarHeight(HWND window);
// The rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child);

// Input, sent through the system's input queue like a real keyboard and mouse.
void MouseClick(int x, int y, bool right = false);
void MouseDrag(int fromX, int fromY, int toX, int toY);
void KeyDown(WORD vk, bool extended = false);
void KeyUp(WORD vk, bool extended = false);
void Tap(WORD vk, bool extended = false);
// Presses the keys in order, holds them for holdMs, releases them in reverse order.
struct Key {
    WORD vk;
    bool extended;
};
void Chord(const std::vector<Key>& keys, int holdMs = 60);
// Presses the keys and keeps them down until Release is called.
void PressKeys(const std::vector<Key>& keys);
void ReleaseKeys(const std::vector<Key>& keys);
bool KeyIsDown(int vk); // the system's asynchronous view, as the watcher sees it
// Holds the keys down until test() is true or the time is over, then lets them go; the result
// of test(). Under Wine the X11 driver drops keys that were pressed through SendInput whenever
// the X server reports its own keyboard state (for example when a window is mapped or loses
// the focus), so keys that went up without being released are pressed again, as a user who
// still holds them would have them.
bool HoldKeysWhile(const std::vector<Key>& keys, const std::function<bool()>& test, int timeoutMs);

bool BringToFront(HWND window);
// The window with the keyboard focus in the thread that owns window (any process), or null.
HWND FocusOf(HWND window);

// Dialog answers: the button whose caption is text (an ampersand in the caption is ignored).
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

namespace e2e {
// Moves the pointer there through the input queue, as a hand on the mouse would.
void HoverAt(int x, int y);
} // namespace e2e
