// A plain start takes in none of the libraries that only a drop or a dialog needs: they cost a
// start with a short list a good part of its time. The first drop and the first dialog then
// work all the same, and only then is the library there.
#include "tests/e2e/app_steps.h"

#include <psapi.h>

#include <algorithm>

using namespace e2e;

namespace {

// File names of the modules the process has loaded, lower case; those of a 32-bit process too.
std::vector<std::wstring> LoadedModules(HANDLE process) {
    std::vector<std::wstring> names;
    HMODULE modules[512];
    DWORD size = 0;
    if (!EnumProcessModulesEx(process, modules, sizeof modules, &size, LIST_MODULES_ALL)) return names;
    for (DWORD i = 0; i < size / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t name[MAX_PATH];
        DWORD length = GetModuleBaseNameW(process, modules[i], name, MAX_PATH);
        CharLowerBuffW(name, length);
        names.emplace_back(name, length);
    }
    return names;
}

bool Has(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

class LeanStart : public VerriqTest {};

TEST_F(LeanStart, DropAndDialogLibrariesComeWithTheirFirstUse) {
    std::string first = box.MakeFile("erste.txt", "eins"), second = box.MakeFile("zweite.txt", "zwei");
    WriteFileList(first + "\r\n");
    Start(StatusFor(1).c_str());
    std::vector<std::wstring> modules = LoadedModules(verriq.process());
    // Under Wine the 64-bit driver may see none of a 32-bit process's modules.
    if (!Has(modules, L"verriq.exe")) GTEST_SKIP() << "the process's modules cannot be listed from here";
    // The shell library comes at once now: the picture in the notification area is its.
    EXPECT_FALSE(Has(modules, L"comdlg32.dll"));

    ASSERT_TRUE(DropFiles(verriq, {second}));
    EXPECT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(2); })) << verriq.StatusText();
    EXPECT_TRUE(Has(LoadedModules(verriq.process()), L"shell32.dll"));

    HWND dialog = OpenAddDialog();
    ASSERT_NE(dialog, nullptr) << "the file dialog did not open";
    EXPECT_TRUE(Has(LoadedModules(verriq.process()), L"comdlg32.dll"));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(verriq.RowCount(), 2);
}
