// A plain start takes in none of the libraries that only a drop or a dialog needs: they cost a
// start with a short list a good part of its time. The first drop and the first dialog then
// work all the same, and only then is the library there.
#include "tests/e2e/app_steps.h"

#include <tlhelp32.h>

#include <algorithm>

using namespace e2e;

namespace {

// File names of the modules the process has loaded, lower case.
std::vector<std::wstring> LoadedModules(DWORD pid) {
    std::vector<std::wstring> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
        std::wstring name = module.szModule;
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        names.push_back(name);
    }
    CloseHandle(snapshot);
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
    std::vector<std::wstring> modules = LoadedModules(verriq.pid());
    ASSERT_TRUE(Has(modules, L"verriq.exe")) << "the process's modules cannot be listed from here";
    EXPECT_FALSE(Has(modules, L"shell32.dll"));
    EXPECT_FALSE(Has(modules, L"comdlg32.dll"));

    ASSERT_TRUE(DropFiles(verriq, {second}));
    EXPECT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(2); })) << verriq.StatusText();
    EXPECT_TRUE(Has(LoadedModules(verriq.pid()), L"shell32.dll"));

    HWND dialog = OpenAddDialog();
    ASSERT_NE(dialog, nullptr) << "the file dialog did not open";
    EXPECT_TRUE(Has(LoadedModules(verriq.pid()), L"comdlg32.dll"));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(verriq.RowCount(), 2);
}
