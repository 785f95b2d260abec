#include "framework/requesters.h"

#include "core/memory.h"
#include "framework/window.h"
#include "settings/wide_text.h"
#include "tests/framework/framework_test_support.h"

#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using namespace framework_test;

namespace {

// What a helper thread does with the dialog the test thread is blocked in, and what it saw.
struct DialogScript {
    std::string title;
    std::vector<std::string> typed; // each typed into the file name box and confirmed
    int button = IDCANCEL;          // pressed at the end (message boxes, or cancelling)
    std::vector<HWND> watched;      // windows whose state is noted while the dialog is up
    // Seen while the dialog was up.
    HWND dialog = nullptr;
    HWND owner = nullptr;
    std::vector<BOOL> enabledDuring;
    std::string proposedName;
    std::string boxText; // the longest static text of a message box
    std::string folder;
    int filterCount = -1;
    int filterSelected = -1;
};

struct FindDialogState {
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
    auto* state = reinterpret_cast<FindDialogState*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t className[16] = {}, title[256] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, title, 256);
    if (std::wcscmp(className, L"#32770") == 0 && FromWide(title) == state->title) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog(const char* title) {
    for (int i = 0; i < 1000; ++i) {
        FindDialogState state{title, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&state));
        if (state.found) return state.found;
        Sleep(10);
    }
    return nullptr;
}

BOOL CALLBACK LongestStatic(HWND window, LPARAM parameter) {
    wchar_t className[16] = {}, text[1024] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, text, 1024);
    auto* longest = reinterpret_cast<std::string*>(parameter);
    if (_wcsicmp(className, L"Static") == 0 && FromWide(text).size() > longest->size()) *longest = FromWide(text);
    return TRUE;
}

BOOL CALLBACK MatchEdit(HWND window, LPARAM parameter) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "Edit") != 0) return TRUE;
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

// The file name box is a ComboBoxEx (0x47C) with an edit inside.
HWND FileNameEdit(HWND dialog) {
    for (int i = 0; i < 500; ++i) {
        if (HWND box = GetDlgItem(dialog, 0x47C)) {
            HWND edit = nullptr;
            EnumChildWindows(box, MatchEdit, reinterpret_cast<LPARAM>(&edit));
            if (edit) return edit;
        }
        Sleep(10);
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return FromWide(text);
}

DWORD WINAPI AnswerDialog(void* parameter) {
    auto* script = static_cast<DialogScript*>(parameter);
    HWND dialog = FindDialog(script->title.c_str());
    script->dialog = dialog;
    if (!dialog) return 1;
    Sleep(200); // let it finish filling itself
    script->owner = GetWindow(dialog, GW_OWNER);
    for (HWND window : script->watched)
        script->enabledDuring.push_back(IsWindowEnabled(window));
    if (HWND edit = GetDlgItem(dialog, 0x47C) ? FileNameEdit(dialog) : nullptr) {
        script->proposedName = WindowText(edit);
        // The requester's dialog is a Unicode one: its CDM_ answers follow that.
        wchar_t folder[MAX_PATH] = {};
        SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        script->folder = FromWide(folder);
        if (HWND types = GetDlgItem(dialog, 0x470)) {
            script->filterCount = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
            script->filterSelected = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
        }
        for (const std::string& text : script->typed) {
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            Sleep(300);
            if (!IsWindow(dialog)) return 0;
        }
    }
    EnumChildWindows(dialog, LongestStatic, reinterpret_cast<LPARAM>(&script->boxText));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(script->button, BN_CLICKED), 0);
    return 0;
}

// Runs the script on a helper thread while the test thread shows the requester.
class Answerer {
  public:
    explicit Answerer(DialogScript& script) {
        thread = CreateThread(nullptr, 0, AnswerDialog, &script, 0, nullptr);
    }
    ~Answerer() {
        WaitForSingleObject(thread, 20000);
        CloseHandle(thread);
    }
    Answerer(const Answerer&) = delete;
    Answerer& operator=(const Answerer&) = delete;

  private:
    HANDLE thread;
};

std::string TempFolder(const char* name) {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void Touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

std::string Quoted(std::initializer_list<std::string> names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "\"" : " \"") + name + "\"";
    return text;
}

const char* OpenMultiple(const char* defaultFile = "") {
    return ShowOpenFileDialog("Dateien hinzufügen", defaultFile, "Alle Dateien|*.*", 0, OpenFileMultiple);
}

class RequesterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        InitRequesters();
        folder = TempFolder("verriq_requester");
        Touch(folder + "\\a.txt");
        Touch(folder + "\\b.txt");
        OpenTopWindow(0, 0, 0, 300, 200, "Haupt", 0xCD0001, nullptr);
        SetForegroundWindow(WindowHandle(0));
        Pump(100);
    }
    void TearDown() override {
        DeleteFileA((folder + "\\a.txt").c_str());
        DeleteFileA((folder + "\\b.txt").c_str());
        RemoveDirectoryA(folder.c_str());
        CloseWindows({0, 2, 3, 4});
    }
    DialogScript OpenScript(std::vector<std::string> typed) {
        DialogScript script;
        script.title = "Dateien hinzufügen";
        script.typed = std::move(typed);
        return script;
    }
    std::string folder;
};

TEST_F(RequesterTest, MessageBoxAnswersTheButtonAndLeavesEarlierStatesAlone) {
    HWND main = WindowHandle(0);
    OpenTopWindow(2, 10, 10, 200, 100, "Zwei", 0xCD0000, nullptr);
    OpenTopWindow(3, 20, 20, 200, 100, "Drei", 0xCD0000, nullptr);
    OpenTopWindow(4, 30, 30, 200, 100, "Vier", 0xCD0000 | WindowInvisible, nullptr);
    SetWindowDisabled(3, 1);
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));

    DialogScript script;
    script.title = "Hintergrundprozess";
    script.button = IDNO;
    script.watched = {WindowHandle(2), WindowHandle(3), WindowHandle(4)};
    int answer;
    {
        Answerer answerer(script);
        answer = ShowMessageBox("Hintergrundprozess", "Weiter im Hintergrund?", MB_ICONQUESTION | MB_YESNO);
    }
    EXPECT_EQ(answer, IDNO);
    ASSERT_NE(script.dialog, nullptr);
    EXPECT_EQ(script.owner, main);
    EXPECT_EQ(script.enabledDuring, (std::vector<BOOL>{FALSE, FALSE, TRUE}));
    EXPECT_TRUE(IsWindowEnabled(WindowHandle(2)));
    EXPECT_FALSE(IsWindowEnabled(WindowHandle(3)));
    EXPECT_TRUE(IsWindowEnabled(WindowHandle(4)));
    EXPECT_FALSE(IsWindowVisible(WindowHandle(4)));
    EXPECT_TRUE(IsWindowEnabled(main));
}

// Cyrillic, Polish and Japanese: no ANSI code page holds them together.
const char Name[] = "Отчёт łódź 日本";
const wchar_t WideName[] = L"Отчёт łódź 日本";

TEST_F(RequesterTest, MessageBoxShowsTitleAndTextInEveryScript) {
    DialogScript script;
    script.title = Name;
    script.button = IDOK;
    std::string text = std::string("Die Datei ") + Name + ".txt ist geschützt.";
    {
        Answerer answerer(script);
        EXPECT_EQ(ShowMessageBox(Name, text.c_str(), MB_OK), IDOK);
    }
    ASSERT_NE(script.dialog, nullptr) << "no box titled in UTF-16 as given in UTF-8";
    EXPECT_EQ(script.boxText, text);
}

TEST_F(RequesterTest, OpenDialogGivesNamesInEveryScriptAndBeyondTheClassicLimit) {
    // A folder named in three scripts, and in it a name that makes the path longer than 260.
    std::wstring wideFolder = ToWide(folder) + L"\\" + WideName;
    // A run that failed half-way leaves the folder behind.
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::string longName = std::string(Name) + " " + std::string(200, 'l') + ".txt"; // 232 bytes: Linux counts a name in bytes
    for (const std::wstring& file : {std::wstring(WideName) + L".txt", ToWide(longName)}) {
        HANDLE made = CreateFileW((L"\\\\?\\" + wideFolder + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(made, INVALID_HANDLE_VALUE);
        CloseHandle(made);
    }
    std::string chosenFolder = folder + "\\" + Name;
    DialogScript script = OpenScript({chosenFolder, Quoted({std::string(Name) + ".txt", longName})});
    std::string first, second;
    {
        Answerer answerer(script);
        first = OpenMultiple();
        second = NextChosenFileName();
    }
    EXPECT_EQ(first, chosenFolder + "\\" + Name + ".txt");
    EXPECT_EQ(second, chosenFolder + "\\" + longName);
    EXPECT_GT(ToWide(second).size(), 260u);
    EXPECT_STREQ(NextChosenFileName(), "");

    // One file alone, as the single selection gives it.
    DialogScript single = OpenScript({chosenFolder + "\\" + Name + ".txt"});
    single.title = Name;
    {
        Answerer answerer(single);
        EXPECT_EQ(std::string(ShowOpenFileDialog(Name, nullptr, "Alle Dateien|*.*", 0, 0)),
                  chosenFolder + "\\" + Name + ".txt");
    }
    DeleteFileW((L"\\\\?\\" + wideFolder + L"\\" + WideName + L".txt").c_str());
    DeleteFileW((L"\\\\?\\" + wideFolder + L"\\" + ToWide(longName)).c_str());
    RemoveDirectoryW(wideFolder.c_str());
}

TEST_F(RequesterTest, MultipleSelectionOfOneFile) {
    DialogScript script = OpenScript({folder, "a.txt"});
    std::string first;
    {
        Answerer answerer(script);
        first = OpenMultiple();
    }
    EXPECT_EQ(first, folder + "\\a.txt");
    EXPECT_STREQ(NextChosenFileName(), "");
    // The application's empty default proposes no name.
    EXPECT_EQ(script.proposedName, "");
}

TEST_F(RequesterTest, MultipleSelectionOfTwoFilesInAFolder) {
    OpenTopWindow(2, 10, 10, 200, 100, "Zwei", 0xCD0000, nullptr);
    SetWindowDisabled(2, 1);
    OpenTopWindow(3, 20, 20, 200, 100, "Drei", 0xCD0000, nullptr);
    SetForegroundWindow(WindowHandle(0));
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == WindowHandle(0); }));

    DialogScript script = OpenScript({folder, Quoted({"a.txt", "b.txt"})});
    script.watched = {WindowHandle(2), WindowHandle(3)};
    std::string first;
    {
        Answerer answerer(script);
        first = OpenMultiple();
    }
    EXPECT_EQ(first, folder + "\\a.txt");
    EXPECT_EQ(std::string(NextChosenFileName()), folder + "\\b.txt");
    EXPECT_STREQ(NextChosenFileName(), "");
    EXPECT_STREQ(NextChosenFileName(), "");
    EXPECT_EQ(script.owner, WindowHandle(0));
    EXPECT_EQ(script.enabledDuring, (std::vector<BOOL>{FALSE, FALSE}));
    EXPECT_FALSE(IsWindowEnabled(WindowHandle(2)));
    EXPECT_TRUE(IsWindowEnabled(WindowHandle(3)));
}

TEST_F(RequesterTest, MultipleSelectionInADriveRootHasOneBackslash) {
    Touch("C:\\verriq_ra.txt");
    Touch("C:\\verriq_rb.txt");
    DialogScript script = OpenScript({"C:\\", Quoted({"verriq_ra.txt", "verriq_rb.txt"})});
    std::string first;
    {
        Answerer answerer(script);
        first = OpenMultiple();
    }
    EXPECT_EQ(first, "C:\\verriq_ra.txt");
    EXPECT_STREQ(NextChosenFileName(), "C:\\verriq_rb.txt");
    EXPECT_STREQ(NextChosenFileName(), "");
    DeleteFileA("C:\\verriq_ra.txt");
    DeleteFileA("C:\\verriq_rb.txt");
}

TEST_F(RequesterTest, CancelGivesTheEmptyText) {
    DialogScript script = OpenScript({});
    std::string first = "x";
    {
        Answerer answerer(script);
        first = OpenMultiple();
    }
    ASSERT_NE(script.dialog, nullptr);
    EXPECT_EQ(first, "");
    EXPECT_STREQ(NextChosenFileName(), "");
}

TEST_F(RequesterTest, CancelForgetsAnEarlierSelection) {
    DialogScript choose = OpenScript({folder, Quoted({"a.txt", "b.txt"})});
    {
        Answerer answerer(choose);
        OpenMultiple();
    }
    DialogScript cancel = OpenScript({});
    {
        Answerer answerer(cancel);
        EXPECT_STREQ(OpenMultiple(), "");
    }
    EXPECT_STREQ(NextChosenFileName(), "");
}

TEST_F(RequesterTest, DefaultFileSplitsIntoFolderAndCheckedName) {
    DialogScript mask = OpenScript({});
    {
        Answerer answerer(mask);
        OpenMultiple((folder + "\\*.txt").c_str());
    }
    EXPECT_EQ(mask.proposedName, "");
    EXPECT_EQ(mask.folder, folder);

    DialogScript plain = OpenScript({});
    {
        Answerer answerer(plain);
        OpenMultiple("notiz.txt");
    }
    EXPECT_EQ(plain.proposedName, "notiz.txt");

    DialogScript named = OpenScript({});
    {
        Answerer answerer(named);
        OpenMultiple((folder + "\\b.txt").c_str());
    }
    EXPECT_EQ(named.proposedName, "b.txt");
    EXPECT_EQ(named.folder, folder);
}

TEST_F(RequesterTest, PatternPairsBecomeTheTypeList) {
    DialogScript script = OpenScript({});
    script.title = "Öffnen";
    {
        Answerer answerer(script);
        EXPECT_STREQ(ShowOpenFileDialog("Öffnen", nullptr, "Texte|*.txt|Alle Dateien|*.*", 1, 0), "");
    }
    EXPECT_EQ(script.filterCount, 2);
    EXPECT_EQ(script.filterSelected, 1);
}

TEST_F(RequesterTest, SingleSelectionGivesTheFullPath) {
    DialogScript script = OpenScript({folder + "\\b.txt"});
    script.title = "Öffnen";
    {
        Answerer answerer(script);
        EXPECT_EQ(std::string(ShowOpenFileDialog("Öffnen", nullptr, "Alle Dateien|*.*", 0, 0)),
                  folder + "\\b.txt");
    }
    EXPECT_STREQ(NextChosenFileName(), "");
}

TEST_F(RequesterTest, NamesBeyondTheClassicPathLimitComeWhole) {
    // A folder as deep as the system lets one be made, then names that make paths up to and
    // beyond the classic 259 characters: none is cut and none is left out.
    std::string deep = folder;
    std::vector<std::string> made;
    while (deep.size() + 41 < 248) {
        deep += "\\" + std::string(40, 'v');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
        made.push_back(deep);
    }
    std::string fits(259 - deep.size() - 1, 'f');
    std::string tooLong = fits + "g";
    DialogScript script = OpenScript({deep, Quoted({"a.txt", tooLong, fits})});
    std::string first;
    {
        Answerer answerer(script);
        first = OpenMultiple();
    }
    EXPECT_EQ(first, deep + "\\a.txt");
    EXPECT_EQ(std::string(NextChosenFileName()), deep + "\\" + tooLong);
    EXPECT_EQ(std::string(NextChosenFileName()), deep + "\\" + fits);
    EXPECT_STREQ(NextChosenFileName(), "");
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryA(it->c_str());
}

// The dialog's result as GetOpenFileNameA leaves it, in a block the requester takes over.
char* DialogResult(std::initializer_list<std::string> parts, std::size_t& size) {
    size = 4;
    for (const std::string& part : parts)
        size += part.size() + 1;
    auto* buffer = static_cast<char*>(AllocateMemory(size));
    char* cursor = buffer;
    for (const std::string& part : parts) {
        std::memcpy(cursor, part.data(), part.size());
        cursor += part.size() + 1;
    }
    return buffer;
}

TEST(MultipleSelection, NamesOfAnyLengthComeWholeAndInOrder) {
    std::string folder = "C:\\" + std::string(240, 'd');
    // 243 + 1 + 15 = 259 characters was the old limit; the others go beyond it.
    std::string fits(15, 'f');
    std::string longer(16, 'g');
    std::string longest(255, 'h');
    std::size_t size = 0;
    char* buffer = DialogResult({folder, longer, fits, longest, "b.txt"}, size);
    EXPECT_EQ(std::string(TakeMultipleSelection(buffer, size)), folder + "\\" + longer);
    EXPECT_EQ(std::string(NextChosenFileName()), folder + "\\" + fits);
    EXPECT_EQ(std::string(NextChosenFileName()), folder + "\\" + longest);
    EXPECT_EQ(std::string(NextChosenFileName()), folder + "\\b.txt");
    EXPECT_STREQ(NextChosenFileName(), "");

    // One full path beyond the old limit, and one far beyond it.
    buffer = DialogResult({"C:\\" + std::string(257, 'p')}, size);
    EXPECT_EQ(std::string(TakeMultipleSelection(buffer, size)).size(), 260u);
    EXPECT_STREQ(NextChosenFileName(), "");
    std::string deep = "C:";
    for (int level = 0; level < 100; ++level)
        deep += "\\" + std::string(200, 'q');
    buffer = DialogResult({deep}, size);
    EXPECT_EQ(std::string(TakeMultipleSelection(buffer, size)), deep);
    // An empty block chooses nothing.
    buffer = DialogResult({""}, size);
    EXPECT_STREQ(TakeMultipleSelection(buffer, size), "");
    EXPECT_STREQ(NextChosenFileName(), "");
}

TEST(MultipleSelection, ARootFolderKeepsItsOneBackslashAndAMissingEndIsSafe) {
    std::size_t size = 0;
    char* buffer = DialogResult({"D:\\", "a.txt", "b.txt"}, size);
    EXPECT_STREQ(TakeMultipleSelection(buffer, size), "D:\\a.txt");
    EXPECT_STREQ(NextChosenFileName(), "D:\\b.txt");
    EXPECT_STREQ(NextChosenFileName(), "");

    // A block filled to its last byte without the closing empty text.
    const char raw[] = {'E', ':', '\\', 'x', 0, 'a', 0, 'b'};
    buffer = static_cast<char*>(AllocateMemory(sizeof raw));
    std::memcpy(buffer, raw, sizeof raw);
    EXPECT_STREQ(TakeMultipleSelection(buffer, sizeof raw), "E:\\x\\a");
    EXPECT_STREQ(NextChosenFileName(), "E:\\x\\b");
    EXPECT_STREQ(NextChosenFileName(), "");
}

} // namespace
