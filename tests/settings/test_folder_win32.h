// A fresh folder of the test's own under the temporary folder, removed with all it holds, and
// a file's bytes read and written past the program's own services (long paths included).
#pragma once

#include "settings/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace settings_test {

inline std::wstring LongForm(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

inline void DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((LongForm(folder) + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName, path = folder + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            SetFileAttributesW(LongForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileW(LongForm(path).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(LongForm(folder).c_str());
}

inline std::string ReadRaw(const std::string& path) {
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

// The folder is named after the process and the test, so that tests running side by side
// never share one.
class TestFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        wideFolder = std::wstring(temp) + L"verriq_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                     ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteTree(wideFolder);
        ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
        folder = FromWide(wideFolder);
    }
    void TearDown() override { DeleteTree(wideFolder); }

    std::string Path(const std::string& name) const { return folder + "\\" + name; }
    std::string Make(const std::string& name, const std::string& bytes) const {
        std::string path = Path(name);
        HANDLE file =
            CreateFileW(ToWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size())
            << path;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return path;
    }

    std::string folder;
    std::wstring wideFolder;
};

} // namespace settings_test
