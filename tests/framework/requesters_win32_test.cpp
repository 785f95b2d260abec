// The requesters with a helper thread answering the real dialogs the test thread is blocked in.
#include "framework/requesters.h"

#include "core/memory.h"
#include "settings/wide_text.h"
#include "tests/framework/framework_test_support.h"

#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace framework_test;

namespace {

// Cyrillic, Polish and Japanese: no ANSI code page holds them together.
const char Name[] = "Отчёт łódź 日本";

// What the helper thread does with the dialog, and what it saw while the dialog was up.
struct DialogScript {
    std::string title;
    std::vector<std::string> typed; // each typed into the file name box and confirmed
    int button = IDCANCEL;          // pressed at the end (message boxes, or cancelling)
    std::vector<HWND> watched;      // windows whose state is noted while the dialog is up
    HWND dialog = nullptr, owner = nullptr;
    std::vector<BOOL> enabledDuring;
    std::string proposedName, folder, boxText; // boxText: the longest static text
};

// A dialog's first edit control and its longest static text.
struct Found {
    HWND edit = nullptr;
    std::string longest;
};

BOOL CALLBACK Look(HWND window, LPARAM parameter) {
    auto* found = reinterpret_cast<Found*>(parameter);
    wchar_t className[16] = {}, text[1024] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, text, 1024);
    if (!found->edit && _wcsicmp(className, L"Edit") == 0) found->edit = window;
    if (_wcsicmp(className, L"Static") == 0 && FromWide(text).size() > found->longest.size())
        found->longest = FromWide(text);
    return TRUE;
}

DWORD WINAPI AnswerDialog(void* parameter) {
    auto* script = static_cast<DialogScript*>(parameter);
    std::wstring title = ToWide(script->title);
    HWND dialog = nullptr;
    for (int i = 0; i < 1000 && !(dialog && IsWindowVisible(dialog)); ++i, Sleep(10))
        dialog = FindWindowW(L"#32770", title.c_str());
    if (!(script->dialog = dialog)) return 1;
    Sleep(200); // let it finish filling itself
    script->owner = GetWindow(dialog, GW_OWNER);
    for (HWND window : script->watched)
        script->enabledDuring.push_back(IsWindowEnabled(window));
    // The file name box is a ComboBoxEx (0x47C) with an edit inside.
    Found found;
    for (int i = 0; i < 500 && !found.edit && GetDlgItem(dialog, 0x47C); ++i, Sleep(10))
        EnumChildWindows(GetDlgItem(dialog, 0x47C), Look, reinterpret_cast<LPARAM>(&found));
    if (HWND edit = found.edit) {
        wchar_t proposed[MAX_PATH] = {};
        GetWindowTextW(edit, proposed, MAX_PATH);
        script->proposedName = FromWide(proposed);
        // The requester's dialog is a Unicode one: its CDM_ answers follow that.
        wchar_t folder[MAX_PATH] = {};
        SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        script->folder = FromWide(folder);
        for (const std::string& text : script->typed) {
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            Sleep(300);
            if (!IsWindow(dialog)) return 0;
        }
    }
    EnumChildWindows(dialog, Look, reinterpret_cast<LPARAM>(&found));
    script->boxText = found.longest;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(script->button, BN_CLICKED), 0);
    return 0;
}

// Runs the script on a helper thread while the test thread shows the requester in show().
template <class Show> void Answered(DialogScript& script, Show show) {
    HANDLE thread = CreateThread(nullptr, 0, AnswerDialog, &script, 0, nullptr);
    show();
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
}

void Touch(const std::wstring& path) {
    HANDLE file =
        CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

std::string Quoted(std::initializer_list<std::string> names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "\"" : " \"") + name + "\"";
    return text;
}

// The main window, another enabled one, a disabled one and an invisible one.
class RequesterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        InitRequesters();
        OpenTopWindow(2, 10, 10, 200, 100, "Zwei", 0xCD0000, nullptr);
        OpenTopWindow(3, 20, 20, 200, 100, "Drei", 0xCD0000, nullptr);
        OpenTopWindow(4, 30, 30, 200, 100, "Vier", 0xCD0000 | WindowInvisible, nullptr);
        SetWindowDisabled(3, 1);
        OpenTopWindow(0, 0, 0, 300, 200, "Haupt", 0xCD0001, nullptr);
        main = WindowHandle(0);
        SetForegroundWindow(main);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
    }
    void TearDown() override { CloseWindows({0, 2, 3, 4}); }
    DialogScript Script(const std::string& title, std::vector<std::string> typed = {}) {
        DialogScript script;
        script.title = title;
        script.typed = std::move(typed);
        script.watched = {WindowHandle(2), WindowHandle(3), WindowHandle(4)};
        return script;
    }
    // While a requester is up the other windows are disabled; afterwards each is as before.
    void ExpectOwnedAndStatesBack(const DialogScript& script) {
        ASSERT_NE(script.dialog, nullptr) << script.title;
        EXPECT_EQ(script.owner, main);
        EXPECT_EQ(script.enabledDuring, (std::vector<BOOL>{FALSE, FALSE, TRUE})) << script.title;
        EXPECT_TRUE(IsWindowEnabled(WindowHandle(2)) && IsWindowEnabled(main) &&
                    IsWindowEnabled(WindowHandle(4)));
        EXPECT_FALSE(IsWindowEnabled(WindowHandle(3)));
        EXPECT_FALSE(IsWindowVisible(WindowHandle(4)));
    }
    HWND main = nullptr;
};

TEST_F(RequesterTest, MessageBoxShowsEveryScriptAndAnswersTheButton) {
    DialogScript script = Script(Name);
    script.button = IDNO;
    std::string text = std::string("Die Datei ") + Name + ".txt ist geschützt.";
    int answer = 0;
    Answered(script, [&] { answer = ShowMessageBox(Name, text.c_str(), MB_ICONQUESTION | MB_YESNO); });
    EXPECT_EQ(answer, IDNO);
    ExpectOwnedAndStatesBack(script);
    EXPECT_EQ(script.boxText, text);
}

TEST_F(RequesterTest, OpenDialogsGiveWholePathsInEveryScriptAndAnyLength) {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "verriq_requester";
    std::string scripts = folder + "\\" + Name;
    // A folder as deep as the system lets one be made, then names that make paths up to and
    // beyond the classic 259 characters.
    std::vector<std::string> made = {folder, scripts};
    for (std::string deep = folder + "\\" + std::string(40, 'v'); deep.size() < 248;
         deep += "\\" + std::string(40, 'v'))
        made.push_back(deep);
    for (const std::string& path : made)
        CreateDirectoryW(ToWide(path).c_str(), nullptr); // a run that failed half-way leaves them behind
    const std::string& deep = made.back();
    std::string fits(259 - deep.size() - 1, 'f');
    std::vector<std::string> files = {folder + "\\a.txt", folder + "\\b.txt", scripts + "\\" + Name + ".txt"};
    for (const std::string& file : files)
        Touch(ToWide(file));

    struct Case {
        std::string defaultFile;
        unsigned flags;
        std::vector<std::string> typed, chosen;
        std::string proposed, startFolder; // no start folder: not asked
    } cases[] = {
        {"",
         OpenFileMultiple,
         {deep, Quoted({"a.txt", fits + "g", fits})},
         {deep + "\\a.txt", deep + "\\" + fits + "g", deep + "\\" + fits},
         "",
         ""},
        {"", 0, {files[2]}, {files[2]}, "", ""},
        {folder + "\\*.txt", OpenFileMultiple, {}, {""}, "", folder},
        {"notiz.txt", OpenFileMultiple, {}, {""}, "notiz.txt", ""},
        {folder + "\\b.txt", 0, {}, {""}, "b.txt", folder},
    };
    for (const Case& c : cases) {
        DialogScript script = Script("Dateien hinzufügen", c.typed);
        std::vector<std::string> chosen;
        Answered(script, [&] {
            chosen.push_back(ShowOpenFileDialog(script.title.c_str(), c.defaultFile.c_str(),
                                                "Alle Dateien|*.*", 0, c.flags));
            for (const char* next = NextChosenFileName(); *next; next = NextChosenFileName())
                chosen.push_back(next);
        });
        SCOPED_TRACE(c.typed.empty() ? c.defaultFile : c.typed.back());
        ExpectOwnedAndStatesBack(script);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(script.proposedName, c.proposed);
        EXPECT_TRUE(c.startFolder.empty() || script.folder == c.startFolder) << script.folder;
    }

    // A cancel forgets what an earlier dialog chose and was not yet taken.
    DialogScript choose = Script("Dateien hinzufügen", {folder, Quoted({"a.txt", "b.txt"})});
    Answered(choose,
             [&] { ShowOpenFileDialog(choose.title.c_str(), "", "Alle Dateien|*.*", 0, OpenFileMultiple); });
    DialogScript cancel = Script("Dateien hinzufügen");
    Answered(cancel,
             [&] { ShowOpenFileDialog(cancel.title.c_str(), "", "Alle Dateien|*.*", 0, OpenFileMultiple); });
    EXPECT_STREQ(NextChosenFileName(), "");

    for (const std::string& file : files)
        DeleteFileW((L"\\\\?\\" + ToWide(file)).c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryW(ToWide(*it).c_str());
}

// The folder dialog: the path typed into its name box (when one is given) and OK, else Cancel.
struct FolderScript {
    std::string title, typed;
    std::vector<HWND> watched;
    HWND dialog = nullptr, owner = nullptr;
    std::vector<BOOL> enabledDuring;
    bool typedIn = false;
};

BOOL CALLBACK FirstEdit(HWND window, LPARAM parameter) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (_wcsicmp(className, L"Edit") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

DWORD WINAPI AnswerFolderDialog(void* parameter) {
    auto* script = static_cast<FolderScript*>(parameter);
    std::wstring title = ToWide(script->title);
    HWND dialog = nullptr;
    for (int i = 0; i < 1000 && !(dialog && IsWindowVisible(dialog)); ++i, Sleep(10))
        dialog = FindWindowW(nullptr, title.c_str());
    if (!(script->dialog = dialog)) return 1;
    Sleep(300);
    script->owner = GetWindow(dialog, GW_OWNER);
    for (HWND window : script->watched)
        script->enabledDuring.push_back(IsWindowEnabled(window));
    HWND edit = nullptr;
    if (!script->typed.empty()) EnumChildWindows(dialog, FirstEdit, reinterpret_cast<LPARAM>(&edit));
    if (edit) {
        script->typedIn = true;
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(script->typed).c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        for (int i = 0; i < 300 && IsWindow(dialog); ++i)
            Sleep(10);
    }
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
}

// A folder chosen comes back whole in any script; a cancelled dialog chooses nothing; either
// way the windows the dialog disabled are as they were.
TEST_F(RequesterTest, FolderDialogGivesTheChosenFolderOrNothing) {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "verriq_folder_" + Name;
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    if (folder.back() == '\\') folder.pop_back();

    struct Case {
        std::string typed;
    } cases[] = {{""}, {folder}};
    for (const Case& c : cases) {
        FolderScript script;
        script.title = "Ordner hinzufügen";
        script.typed = c.typed;
        script.watched = {WindowHandle(2), WindowHandle(3), WindowHandle(4)};
        std::string chosen = "unset";
        HANDLE thread = CreateThread(nullptr, 0, AnswerFolderDialog, &script, 0, nullptr);
        chosen = ShowFolderDialog(script.title.c_str());
        WaitForSingleObject(thread, 20000);
        CloseHandle(thread);
        SCOPED_TRACE(c.typed);
        ASSERT_NE(script.dialog, nullptr);
        EXPECT_EQ(script.owner, main);
        EXPECT_EQ(script.enabledDuring, (std::vector<BOOL>{FALSE, FALSE, TRUE}));
        EXPECT_TRUE(IsWindowEnabled(WindowHandle(2)) && IsWindowEnabled(main));
        EXPECT_FALSE(IsWindowEnabled(WindowHandle(3)));
        if (c.typed.empty()) {
            EXPECT_EQ(chosen, "");
        } else {
            ASSERT_TRUE(script.typedIn);
            EXPECT_EQ(chosen, folder);
        }
    }
    RemoveDirectoryW(ToWide(folder).c_str());
}

// What the requester hands out one by one from a block it takes over.
std::vector<std::string> Taken(char* buffer, std::size_t size) {
    std::vector<std::string> paths;
    for (const char* path = TakeMultipleSelection(buffer, size); *path; path = NextChosenFileName())
        paths.push_back(path);
    return paths;
}

// The dialog's result as GetOpenFileNameW leaves it.
std::vector<std::string> Taken(const std::vector<std::string>& parts) {
    std::size_t size = 4;
    for (const std::string& part : parts)
        size += part.size() + 1;
    auto* buffer = static_cast<char*>(AllocateMemory(size));
    char* cursor = buffer;
    for (const std::string& part : parts) {
        std::memcpy(cursor, part.data(), part.size());
        cursor += part.size() + 1;
    }
    return Taken(buffer, size);
}

TEST(MultipleSelection, NamesOfAnyLengthComeWholeAndInOrder) {
    std::string folder = "C:\\" + std::string(240, 'd'), deep = "C:";
    for (int level = 0; level < 100; ++level)
        deep += "\\" + std::string(200, 'q');
    // 243 + 1 + 15 = 259 characters was the old limit; the others go beyond it.
    std::string fits(15, 'f'), longer(16, 'g'), longest(255, 'h');
    struct Case {
        std::vector<std::string> parts, paths;
    } cases[] = {
        {{folder, longer, fits, longest},
         {folder + "\\" + longer, folder + "\\" + fits, folder + "\\" + longest}},
        {{deep}, {deep}},
        {{""}, {}},
        {{"D:\\", "a.txt", "b.txt"}, {"D:\\a.txt", "D:\\b.txt"}}, // a root folder keeps its one backslash
    };
    for (const Case& c : cases)
        EXPECT_EQ(Taken(c.parts), c.paths) << c.parts[0].substr(0, 8);
    // A block filled to its last byte without the closing empty text.
    const char raw[] = {'E', ':', '\\', 'x', 0, 'a', 0, 'b'};
    auto* buffer = static_cast<char*>(AllocateMemory(sizeof raw));
    std::memcpy(buffer, raw, sizeof raw);
    EXPECT_EQ(Taken(buffer, sizeof raw), (std::vector<std::string>{"E:\\x\\a", "E:\\x\\b"}));
}

} // namespace
