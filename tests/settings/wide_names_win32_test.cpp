// Names in every script and paths beyond the classic limit, through the text boundary and the
// file services, checked against the real file system with the system's own wide calls.
#include "settings/files.h"
#include "settings/settings_document.h"
#include "settings/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Cyrillic, Polish and Japanese: none of them fits one ANSI code page together.
const char Name[] = "Отчёт łódź 日本";
const wchar_t WideName[] = L"Отчёт łódź 日本";

std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

void DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((LongForm(folder) + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileW(LongForm(path).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(LongForm(folder).c_str());
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's bytes, read past the program's own services.
std::string Contents(const std::wstring& path) {
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text(4096, '\0');
    DWORD got = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
}

TEST(WideText, EveryScriptRoundTripsExactly) {
    EXPECT_EQ(ToWide(Name), WideName);
    EXPECT_EQ(FromWide(WideName), Name);
    // Beyond the basic plane: one character, two UTF-16 units, four bytes.
    const char page[] = "\xF0\x9F\x93\x84";
    EXPECT_EQ(ToWide(page).size(), 2u);
    EXPECT_EQ(FromWide(ToWide(page)), page);
    // A broken byte is marked, not dropped together with its neighbours.
    EXPECT_EQ(ToWide("a\xFF" "b"), L"a\xFFFD" L"b");
    EXPECT_EQ(FromWide(static_cast<const wchar_t*>(nullptr)), "");
    EXPECT_EQ(ToWide(""), L"");
}

TEST(WideText, OnlyPathsBeyondTheClassicLimitTakeTheLongForm) {
    // Counted in UTF-16 units, not in bytes: 200 Cyrillic letters are 400 bytes but fit.
    std::string cyrillic = "C:\\";
    for (int i = 0; i < 200; ++i)
        cyrillic += "ж";
    EXPECT_EQ(ToWidePath(cyrillic), ToWide(cyrillic));
    EXPECT_EQ(ToWidePath("relative/name.txt"), L"relative/name.txt");

    std::string tail(300, 'x');
    std::wstring wideTail(300, L'x');
    EXPECT_EQ(ToWidePath("C:\\a/b\\..\\" + tail), L"\\\\?\\C:\\a\\" + wideTail);
    EXPECT_EQ(ToWidePath("\\\\server\\share\\" + tail), L"\\\\?\\UNC\\server\\share\\" + wideTail);
    EXPECT_EQ(ToWidePath("\\\\?\\C:\\" + tail), L"\\\\?\\C:\\" + wideTail);

    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring base = current;
    if (base.back() != L'\\') base += L'\\';
    EXPECT_EQ(ToWidePath(tail), L"\\\\?\\" + base + wideTail);

    // A folder to create must leave room for a short name inside it.
    std::string folder = "C:\\" + std::string(250, 'f');
    EXPECT_EQ(ToWidePath(folder), ToWide(folder));
    EXPECT_EQ(ToWidePath(folder, ClassicFolderLimit), L"\\\\?\\" + ToWide(folder));
}

class WideNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitDataFiles();
        InitSettings();
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        wideBase = std::wstring(temp) + L"verriq_names_" + std::to_wstring(GetCurrentProcessId());
        DeleteTree(wideBase);
        ASSERT_TRUE(CreateDirectoryW(wideBase.c_str(), nullptr));
        base = FromWide(wideBase);
    }
    void TearDown() override {
        CloseAllDataFiles();
        CloseSettings();
        DeleteTree(wideBase);
    }
    // A folder more than 300 characters deep, each level named in three scripts.
    void MakeDeepFolder() {
        deep = base;
        wideDeep = wideBase;
        while (wideDeep.size() < 320) {
            deep += "\\" + std::string(Name) + " " + std::string(40, 'x');
            wideDeep += L"\\" + std::wstring(WideName) + L" " + std::wstring(40, L'x');
            ASSERT_EQ(MakeDirectory(deep.c_str()), 1) << deep.size();
        }
        ASSERT_TRUE(IsFolder(wideDeep));
    }
    std::string base, deep;
    std::wstring wideBase, wideDeep;
};

TEST_F(WideNamesTest, FoldersAndSizesUnderAnyNameAndDepth) {
    std::string folder = base + "\\" + Name;
    EXPECT_EQ(MakeDirectory(folder.c_str()), 1);
    EXPECT_TRUE(IsFolder(wideBase + L"\\" + WideName));
    EXPECT_EQ(MakeDirectory(folder.c_str()), 0) << "made twice";
    EXPECT_EQ(QueryFileSize(folder.c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize((folder + "\\").c_str()), FileSizeFolder);

    MakeDeepFolder();
    EXPECT_EQ(QueryFileSize(deep.c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize((deep + "\\nichts.txt").c_str()), FileSizeNothing);
    HANDLE file = CreateFileW(LongForm(wideDeep + L"\\" + WideName + L".txt").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "12345", 5, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(QueryFileSize((deep + "\\" + Name + ".txt").c_str()), 5);
    // The same name in the code page's closest spelling is another file.
    EXPECT_EQ(QueryFileSize((deep + "\\????? lodz ??.txt").c_str()), FileSizeNothing);
}

TEST_F(WideNamesTest, DataFilesKeepTheirNameAndTheirText) {
    MakeDeepFolder();
    for (const std::string& folder : {base, deep}) {
        std::string path = folder + "\\" + Name + ".txt";
        Number file = CreateDataFile(AnyNumber, path.c_str());
        ASSERT_NE(file, 0) << path.size();
        WriteTextLine(file, Name);
        CloseDataFile(file);
        std::wstring widePath = (folder == base ? wideBase : wideDeep) + L"\\" + WideName + L".txt";
        // The text is written as the bytes it is: UTF-8 stays UTF-8.
        EXPECT_EQ(Contents(widePath), std::string(Name) + "\r\n");

        file = OpenDataFile(AnyNumber, path.c_str());
        ASSERT_NE(file, 0);
        EXPECT_EQ(ReadTextLine(file), Name);
        CloseDataFile(file);
        // Creating again empties the same file rather than making a second one.
        file = CreateDataFile(AnyNumber, path.c_str());
        ASSERT_NE(file, 0);
        CloseDataFile(file);
        EXPECT_EQ(Contents(widePath), "");
    }
}

TEST_F(WideNamesTest, SettingsDocumentsUnderALongName) {
    MakeDeepFolder();
    std::string path = deep + "\\" + Name + ".ini";
    EXPECT_NE(CreateSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    WriteSettingNumber("Wert", 42);
    CloseSettings();
    EXPECT_NE(Contents(wideDeep + L"\\" + WideName + L".ini"), "<missing>");
    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    EXPECT_EQ(ReadSettingNumber("Wert", 0), 42);
    CloseSettings();

    // A document opened where no file is yet is made on the first write, under its full name.
    std::string fresh = deep + "\\neu " + Name + ".ini";
    EXPECT_EQ(OpenSettings(fresh.c_str()), 0);
    SelectSettingsGroup("A");
    WriteSettingNumber("B", 7);
    CloseSettings();
    EXPECT_NE(Contents(wideDeep + L"\\neu " + WideName + L".ini"), "<missing>");
}

TEST(WideEnvironment, NamesAndValuesInAnyScript) {
    std::wstring value = std::wstring(L"C:\\Users\\Łukasz\\") + WideName;
    ASSERT_TRUE(SetEnvironmentVariableW(L"VERRIQ_NAMES", value.c_str()));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_NAMES"), "C:\\Users\\Łukasz\\" + std::string(Name));

    // Longer in bytes than in UTF-16 units: a buffer sized in the wrong unit cuts the value.
    std::wstring longValue;
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        longValue += WideName;
        expected += Name;
    }
    ASSERT_TRUE(SetEnvironmentVariableW(L"VERRIQ_ÄÖÜ_日本", longValue.c_str()));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_ÄÖÜ_日本"), expected);

    SetEnvironmentVariableW(L"VERRIQ_NAMES", nullptr);
    SetEnvironmentVariableW(L"VERRIQ_ÄÖÜ_日本", nullptr);
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_NAMES"), "");
}

} // namespace
