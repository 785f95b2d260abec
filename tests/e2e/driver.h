// Drives the real Verriq.exe from a separate process, the way a user would: starts it with its own
// application-data folder, finds its windows, clicks, types, reads the controls' texts through
// memory in the target process, answers its dialogs and checks its locks with cmd.exe. Below the
// driver: what a user does with Verriq and what they see, shared by the end-to-end tests.
#pragma once

#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
    std::string root, appdata, files;
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

    // Brings the main window to the front first unless told not to (a click behind a dialog).
    void ClickButton(int id, bool activate = true);
    void ClickRow(int row, bool right = false);
    // Adds a row to the selection the way Ctrl+click does. Under Wine a click sent through
    // SendInput never carries a held Ctrl or Shift (the X11 driver takes the modifier state from
    // the X server's pointer events), so the list is told directly; it reports the change to
    // Verriq just as after a click.
    void AddRowToSelection(int row);

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// Top-level windows of any process titled as Verriq's main window.
int MainWindows(bool visibleOnly);

RECT ClientOnScreen(HWND window);
// The rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND child);
// Distance from the frame's top to the client area's, less what the frame alone takes.
int MenuBarHeight(HWND window);

// Input through the system's input queue, like a real keyboard and mouse.
void HoverAt(int x, int y);
void MouseClick(int x, int y, bool right = false);
void MouseDrag(int fromX, int fromY, int toX, int toY);
struct Key {
    WORD vk;
    bool extended; // Wine tells right Shift and Ctrl from left by the extended-key flag
};
// Presses the keys in order, holds them for holdMs, releases them in reverse order.
void Chord(const std::vector<Key>& keys, int holdMs = 60);
inline void Tap(WORD vk, bool extended = false) { Chord({{vk, extended}}, 10); }
// Holds the keys down until test() is true or the time is over; the result of test(). Under Wine
// the X11 driver drops keys pressed through SendInput whenever the X server reports its own
// keyboard state (when a window is mapped or loses the focus), so such keys are pressed again,
// as a user who still holds them would have them.
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

// Saves the window's screen area (the whole screen for null) as <build>\e2e-shots\<name>.bmp.
std::string SaveScreenshot(const std::string& name, HWND window = nullptr);
// Pixels of the screen inside a rectangle (screen coordinates), 0x00BBGGRR each.
std::vector<COLORREF> GrabPixels(const RECT& area);

// A value under HKEY_CURRENT_USER: its bytes, or its text; nothing when it is not there.
inline std::optional<std::string> RegistryBytes(const std::wstring& key, const wchar_t* name) {
    char data[4096];
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, nullptr, data, &size)) return {};
    return std::string(data, size);
}
inline std::optional<std::string> RegistryText(const std::wstring& key, const wchar_t* name) {
    std::optional<std::string> bytes = RegistryBytes(key, name);
    return bytes ? std::optional<std::string>(FromWide(reinterpret_cast<const wchar_t*>((*bytes + '\0').c_str()))) : bytes;
}

// Item numbers of the toolbar buttons.
constexpr int ButtonAdd = 1, ButtonRemove = 2, ButtonQuit = 3, ButtonFolder = 7;

inline std::string StatusFor(int held) {
    return std::to_string(held) + (held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt");
}

// A text as the ANSI code page has it: the form of every list an earlier version wrote.
inline std::string Ansi(const std::string& text) {
    std::wstring wide = ToWide(text);
    std::string bytes(wide.size() * 4, '\0');
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes.substr(0, length > 0 ? length : 0);
}

// cmd.exe reads the file: the lock is gone.
inline bool ReadableByOthers(const std::string& path, const std::string& content, const std::string& scratch) {
    std::string out = scratch + "\\type-output.txt";
    DeleteFileA(out.c_str());
    RunCmd("type \"" + path + "\" > \"" + out + "\" 2>&1");
    return ReadBytes(out).find(content) != std::string::npos;
}

// What an independent program (Wine's cmd.exe) managed to do to the file, in order; scratch is
// a folder for its output.
inline std::vector<std::string> WhatCmdDid(const std::string& path, const std::string& content,
                                           const std::string& scratch) {
    std::vector<std::string> done;
    if (ReadableByOthers(path, content, scratch)) done.push_back("type");
    std::string copy = scratch + "\\kopie.txt";
    DeleteFileA(copy.c_str());
    RunCmd("copy /y \"" + path + "\" \"" + copy + "\"");
    if (ReadBytes(copy) == content) done.push_back("copy");
    RunCmd("echo x>> \"" + path + "\"");
    RunCmd("echo x> \"" + path + "\"");
    bool read = false;
    std::string now = ReadBytes(path, &read);
    if (read && now != content) done.push_back("write");
    RunCmd("del /q \"" + path + "\"");
    if (!FileExists(path)) done.push_back("del");
    RunCmd("ren \"" + path + "\" \"umbenannt-" + path.substr(path.rfind('\\') + 1) + "\"");
    if (!FileExists(path)) done.push_back("ren");
    return done;
}

// Nobody else can read, change, delete or rename the file.
inline ::testing::AssertionResult LockedAgainstOthers(const std::string& path, const std::string& content,
                                                      const std::string& scratch) {
    std::vector<std::string> done = WhatCmdDid(path, content, scratch);
    if (done.empty()) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure() << "cmd got through to " << path << ":";
    for (const std::string& what : done) failure << " " << what;
    return failure;
}

// Entries of "Programm" as the keyboard reaches them: Down passes over the separator.
constexpr int EntryChangeHotKey = 0, EntryStartWithWindows = 1, EntryOfferInExplorer = 2,
              EntryReleasePeriod = 3, EntryQuit = 4;

// Walks the main window's menu with the keyboard: F10 selects the bar, Right moves to the
// title, Down opens it and moves to the entry, Enter chooses it. Menus of another process
// cannot be read under Wine, so the result is checked by what the command does. Given a shot,
// it saves a picture of the open menu and closes it instead.
inline void ChooseMenuEntry(HWND main, int title, int entry, const char* shot = nullptr) {
    BringToFront(main);
    Tap(VK_F10);
    Sleep(150);
    for (int i = 0; i < title; ++i) Tap(VK_RIGHT);
    Tap(VK_DOWN); // opens the title with its first entry selected
    Sleep(200);
    for (int i = 0; i < entry; ++i) Tap(VK_DOWN);
    if (shot) {
        Sleep(300);
        SaveScreenshot(shot);
    }
    for (WORD key : shot ? std::vector<WORD>{VK_ESCAPE, VK_ESCAPE} : std::vector<WORD>{VK_RETURN}) Tap(key);
}

// The shell's part of a drop: a DROPFILES block in the target's own memory, posted with
// WM_DROPFILES to the window under the pointer.
inline bool DropFiles(const Verriq& verriq, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += ToWide(path) + L'\0';
    names += L'\0';
    DROPFILES header = {sizeof header};
    header.fWide = TRUE;
    std::string bytes = std::string(reinterpret_cast<const char*>(&header), sizeof header) +
                        std::string(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(wchar_t));
    // Verriq lets go of the block itself (DragFinish), so it is not freed here.
    void* block = VirtualAllocEx(verriq.process(), nullptr, bytes.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    return block && WriteProcessMemory(verriq.process(), block, bytes.data(), bytes.size(), &written) &&
           PostMessageW(verriq.main(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0) != 0;
}

// One test's Verriq with its own application-data folder.
class VerriqTest : public ::testing::Test {
  protected:
    VerriqTest() : box(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + std::string("-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Starts Verriq (again, once the last one ended) and waits for its window and, unless held is
    // negative, for the status bar to count that many files held.
    void Start(int held = -1) {
        verriq.Kill();
        ASSERT_TRUE(verriq.Start(box.appdata)) << "Verriq.exe could not be started: " << VerriqExe();
        ASSERT_NE(verriq.WaitMainWindow(), nullptr) << "no main window";
        ASSERT_TRUE(Holding(held, 20000));
    }

    // The status bar counts that many files held (any number, for a negative one).
    ::testing::AssertionResult Holding(int held, int timeoutMs = 5000) {
        if (held < 0 || WaitFor([&] { return verriq.StatusText() == StatusFor(held); }, timeoutMs))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the status bar says " << verriq.StatusText();
    }

    void Quit() {
        verriq.ClickButton(ButtonQuit);
        EXPECT_EQ(verriq.WaitExit(), 0);
    }

    void RemoveRow(int row, int rowsAfter) {
        verriq.ClickRow(row);
        ASSERT_TRUE(WaitFor([&] { return verriq.ButtonEnabled(ButtonRemove); })) << "a selected row does not enable Entfernen";
        verriq.ClickButton(ButtonRemove);
        ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == rowsAfter; })) << verriq.RowCount();
    }

    // The close box, and "Ja" to the question: the window hides.
    void Hide() {
        HWND question = AskToClose();
        ASSERT_NE(question, nullptr) << "no close question";
        ASSERT_TRUE(PressButton(question, "Ja"));
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(verriq.main()); })) << "the window was not hidden";
    }

    // Writes the list document before the start, creating the storage folder.
    void WriteFileList(const std::string& bytes) {
        MakeFolders(box.storage());
        WriteBytes(box.fileList(), bytes);
    }


    HWND OpenAddDialog() {
        verriq.ClickButton(ButtonAdd);
        return verriq.WaitWindow("Dateien hinzufügen", "#32770");
    }

    // Types into the open dialog's file name box and presses Enter, as a user does: a folder
    // navigates, "a" "b" chooses several files.
    static void EnterFileName(HWND dialog, const std::string& text) {
        HWND combo = FindChildByClass(dialog, "ComboBoxEx32", 0x47C);
        HWND edit = combo ? FindChildByClass(combo, "Edit") : nullptr;
        ASSERT_NE(edit, nullptr) << "no file name box in the open dialog";
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
        BringToFront(dialog);
        Tap(VK_RETURN);
    }

    // Opens the dialog, goes to the sandbox's files folder and chooses names there.
    void AddThroughDialog(const std::string& names) {
        HWND dialog = OpenAddDialog();
        ASSERT_NE(dialog, nullptr) << "the open dialog did not appear";
        EnterFileName(dialog, box.files);
        Sleep(500);
        EnterFileName(dialog, names);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the dialog did not take the files";
    }

    // The close box: the system command that it and Alt+F4 send. Sent as the command itself,
    // because under Wine a chord typed through SendInput can lose its Alt when the X server
    // reports the pointer meanwhile (the X11 driver takes the modifier state from the X events).
    // Returns the question that comes, or null.
    HWND AskToClose() {
        BringToFront(verriq.main());
        PostMessageA(verriq.main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        return verriq.WaitWindow("Hintergrundprozess", "#32770");
    }

    // The pointer on a row, and the tooltip that Verriq shows for it (null when none).
    HWND HoverRow(int row) {
        RECT rect = verriq.RowRect(row);
        HoverAt(rect.left + 40, (rect.top + rect.bottom) / 2);
        return verriq.WaitTopWindowOfClass("tooltips_class32");
    }

    Sandbox box;
    Verriq verriq;
};

} // namespace e2e
