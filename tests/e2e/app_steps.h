// What a user does with Verriq and what they see, in the driver's terms: shared by the
// end-to-end tests.
#pragma once

#include "tests/e2e/driver.h"

#include "settings/wide_text.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

// Item numbers of the toolbar buttons.
constexpr int ButtonAdd = 1;
constexpr int ButtonFolder = 7;
constexpr int ButtonRemove = 2;
constexpr int ButtonQuit = 3;

inline std::string StatusFor(int held) {
    return std::to_string(held) + (held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt");
}

// A text as the ANSI code page has it: the form of every list an earlier version wrote.
inline std::string Ansi(const std::string& text) {
    std::wstring wide = ToWide(text);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

// The close question as the user must read it.
inline std::string QuestionNamingX() {
    return "Die Anwendung wird jetzt versteckt und arbeitet im Hintergrund weiter.\r"
           "Ausgewählte Dateien werden weiterhin geschützt.\r"
           "Um die Anwendung aufrufen zu können, drücken Sie die folgende Tastenkombination: Strg + Shift + X.\r"
           "Diese Tastenkombination können Sie im Programmfenster im Menü unter ''Programm'' jederzeit ändern.\r"
           "Falls Sie das Programm beenden möchten, drücken Sie auf ''Nein''.";
}

inline std::string QuestionWithoutLetter() {
    return "Die Anwendung wird jetzt versteckt und arbeitet im Hintergrund weiter.\r"
           "Ausgewählte Dateien werden weiterhin geschützt.\r"
           "Um die Anwendung aufrufen zu können, drücken Sie die von Ihnen eingestellte Tastenkombination.\r"
           "Ihre eingestellte Tastenkombination können Sie im Programmfenster im Menü unter ''Programm'' "
           "jederzeit ändern.\r"
           "Falls Sie das Programm beenden möchten, drücken Sie auf ''Nein''.";
}

// Message boxes may show a CR as CR LF; compare the lines only.
inline std::string Normalised(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
}

// Checks with an independent program (Wine's cmd.exe) that nobody else can read, delete or
// rename the file. scratch is a folder for cmd's output.
struct LockCheck {
    bool readRefused = false;
    bool deleteRefused = false;
    bool renameRefused = false;
    bool all() const { return readRefused && deleteRefused && renameRefused; }
};

inline LockCheck CheckLockedByOthers(const std::string& path, const std::string& content, const std::string& scratch) {
    LockCheck check;
    std::string out = scratch + "\\type-output.txt";
    DeleteFileA(out.c_str());
    RunCmd("type \"" + path + "\" > \"" + out + "\" 2>&1");
    check.readRefused = ReadBytes(out).find(content) == std::string::npos;

    RunCmd("del /q \"" + path + "\"");
    check.deleteRefused = FileExists(path);

    size_t slash = path.rfind('\\');
    std::string newName = "renamed-" + path.substr(slash + 1);
    std::string renamed = path.substr(0, slash + 1) + newName;
    RunCmd("ren \"" + path + "\" \"" + newName + "\"");
    check.renameRefused = FileExists(path) && !FileExists(renamed);
    return check;
}

// cmd.exe reads the file: the lock is gone.
inline bool ReadableByOthers(const std::string& path, const std::string& content, const std::string& scratch) {
    std::string out = scratch + "\\type-output.txt";
    DeleteFileA(out.c_str());
    RunCmd("type \"" + path + "\" > \"" + out + "\" 2>&1");
    return ReadBytes(out).find(content) != std::string::npos;
}

// Entries of "Programm" as the keyboard reaches them: Down passes over the separator.
constexpr int EntryChangeHotKey = 0;
constexpr int EntryStartWithWindows = 1;
constexpr int EntryOfferInExplorer = 2;
constexpr int EntryQuit = 3;

// Walks the main window's menu with the keyboard: F10 selects the bar, Right moves to the
// title, Down opens it and moves to the entry, Enter chooses it. Menus of another process
// cannot be read under Wine, so the result is checked by what the command does.
inline void ChooseMenuEntry(HWND main, int title, int entry) {
    BringToFront(main);
    Tap(VK_F10);
    Sleep(150);
    for (int i = 0; i < title; ++i) Tap(VK_RIGHT);
    Tap(VK_DOWN); // opens the title with its first entry selected
    Sleep(200);
    for (int i = 0; i < entry; ++i) Tap(VK_DOWN);
    Tap(VK_RETURN);
}

// The close box: the system command that it and Alt+F4 send. Sent as the command itself,
// because under Wine a chord typed through SendInput can lose its Alt when the X server reports
// the pointer meanwhile (the X11 driver takes the modifier state from the X events).
inline void RequestClose(HWND window) {
    BringToFront(window);
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// The shell's part of a drop: a DROPFILES block in the target's own memory, posted with
// WM_DROPFILES to the window under the pointer.
inline bool DropFiles(const Verriq& verriq, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += ToWide(path) + L'\0';
    names += L'\0';
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    size_t size = sizeof header + names.size() * sizeof(wchar_t);
    // Verriq lets go of the block itself (DragFinish), so it is not freed here.
    void* block = VirtualAllocEx(verriq.process(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block) return false;
    SIZE_T written = 0;
    if (!WriteProcessMemory(verriq.process(), block, &header, sizeof header, &written) ||
        !WriteProcessMemory(verriq.process(), static_cast<char*>(block) + sizeof header, names.data(),
                            names.size() * sizeof(wchar_t), &written))
        return false;
    return PostMessageW(verriq.main(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0) != 0;
}

// The tooltip Verriq shows, once it is there; null when none comes within the time.
inline HWND WaitTooltip(const Verriq& verriq, int timeoutMs = 3000) {
    HWND tip = nullptr;
    WaitFor([&] {
        for (HWND window : verriq.TopWindows())
            if (ClassOf(window) == "tooltips_class32") tip = window;
        return tip != nullptr;
    }, timeoutMs);
    return tip;
}

// One test's Verriq with its own application-data folder.
class VerriqTest : public ::testing::Test {
  protected:
    VerriqTest() : box(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + std::string("-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Starts Verriq and waits for its window (and for the status bar to say `status`, when given).
    void Start(const char* status = nullptr) {
        ASSERT_TRUE(verriq.Start(box.appdata)) << "Verriq.exe could not be started: " << VerriqExe();
        ASSERT_NE(verriq.WaitMainWindow(), nullptr) << "no main window";
        if (status) {
            ASSERT_TRUE(WaitFor([&] { return verriq.StatusText() == status; }, 20000)) << verriq.StatusText();
        }
    }

    // Writes the list document before the start, creating the storage folder.
    void WriteFileList(const std::string& bytes) {
        MakeFolders(box.storage());
        WriteBytes(box.fileList(), bytes);
    }

    HWND WaitQuestion() { return verriq.WaitWindow("Hintergrundprozess", "#32770"); }

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

    void RequestClose() { e2e::RequestClose(verriq.main()); }

    Sandbox box;
    Verriq verriq;
};

} // namespace e2e
