// Files under any name the file system allows (dropped, chosen in several scripts, beyond the
// classic limit) are held, shown as named and kept across a restart; the drop's and the dialog's
// libraries come with their first use, not with the start.
#include "tests/e2e/driver.h"

#include <psapi.h>

#include <algorithm>

using namespace e2e;

namespace {

const std::string MixedName = "Отчёт łódź 日本.txt";

// Another program's attempt to read the file, through the form that lifts the classic limit.
bool OthersCanOpen(const std::string& path) {
    HANDLE file = CreateFileW(ToWidePath(path, 0).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// 1 when the process has loaded the module (lower-case file name), 0 when not, -1 when its
// modules cannot be listed: under Wine the 64-bit driver may see none of a 32-bit process's.
int HasModule(HANDLE process, const wchar_t* wanted) {
    HMODULE modules[512];
    DWORD size = 0;
    if (!EnumProcessModulesEx(process, modules, sizeof modules, &size, LIST_MODULES_ALL)) return -1;
    bool exe = false, found = false;
    for (DWORD i = 0; i < size / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t name[MAX_PATH];
        DWORD length = GetModuleBaseNameW(process, modules[i], name, MAX_PATH);
        CharLowerBuffW(name, length);
        exe = exe || std::wstring(name, length) == L"verriq.exe";
        found = found || std::wstring(name, length) == wanted;
    }
    return exe ? found : -1;
}

} // namespace

class Names : public VerriqTest {};

TEST_F(Names, DroppedAndChosenInSeveralScriptsHeldStoredAsUtf8AndKeptAcrossARestart) {
    std::string a = box.MakeFile("gezogen eins.txt", "eins"), b = box.MakeFile("gezogen zwei.txt", "zwei");
    std::string path = box.MakeFile(MixedName, "Bericht"), empty = box.root + "\\leer";
    ASSERT_TRUE(MakeFolders(empty));
    Start(0);
    const bool listed = HasModule(verriq.process(), L"comdlg32.dll") != -1;
    EXPECT_TRUE(!listed || HasModule(verriq.process(), L"comdlg32.dll") == 0);
    ASSERT_TRUE(DropFiles(verriq, {a, empty, b}));
    ASSERT_TRUE(Holding(2));
    // A folder's row is its path with a backslash at the end.
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{a, empty + "\\", b}));
    EXPECT_FALSE(OthersCanOpen(a));
    EXPECT_FALSE(OthersCanOpen(b));
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\r\n" + empty + "\\\r\n" + b + "\r\n");
    EXPECT_TRUE(!listed || HasModule(verriq.process(), L"shell32.dll") == 1);
    // Entf on the list does what "Entfernen" does.
    verriq.ClickRow(0);
    Tap(VK_DELETE, true);
    ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == 2; })) << verriq.RowCount();
    EXPECT_TRUE(OthersCanOpen(a));
    EXPECT_EQ(ReadBytes(box.fileList()), empty + "\\\r\n" + b + "\r\n");
    HWND dialog = OpenAddDialog();
    ASSERT_NE(dialog, nullptr) << "the open dialog did not appear";
    EXPECT_TRUE(!listed || HasModule(verriq.process(), L"comdlg32.dll") == 1);
    EnterFileName(dialog, box.files);
    Sleep(500);
    EnterFileName(dialog, "\"" + MixedName + "\"");
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the dialog did not take the file";
    ASSERT_TRUE(Holding(2));
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{empty + "\\", b, path}));
    EXPECT_FALSE(OthersCanOpen(path));
    // Not every character has a place in the ANSI code page: the list becomes UTF-8 with its mark.
    EXPECT_EQ(ReadBytes(box.fileList()), "\xEF\xBB\xBF" + empty + "\\\r\n" + b + "\r\n" + path + "\r\n");
    SaveScreenshot("name_in_several_scripts", verriq.main());
    Quit();
    EXPECT_TRUE(OthersCanOpen(path));
    Start(2);
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{empty + "\\", b, path}));
    EXPECT_FALSE(OthersCanOpen(path));
}

TEST_F(Names, APathBeyondTheClassicLimitIsHeld) {
    std::string folder = box.files;
    while (folder.size() < 300) {
        folder += "\\" + std::string(50, 'v');
        ASSERT_TRUE(CreateDirectoryW(ToWidePath(folder, 0).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    std::string path = folder + "\\tief.txt";
    ASSERT_TRUE(WriteBytes(path, "tief unten"));
    WriteFileList(path + "\r\n");
    Start(1);
    EXPECT_EQ(verriq.Rows(), std::vector<std::string>{path});
    EXPECT_FALSE(OthersCanOpen(path));
    Quit();
    // The list keeps the user's form of the path, in the ANSI code page as before.
    EXPECT_EQ(ReadBytes(box.fileList()), path + "\r\n");
}
