// Names in every script and paths beyond the classic limit, through the text boundary and the
// file services, checked against the real file system with the system's own wide calls.
#include "settings/files.h"
#include "settings/settings_document.h"
#include "settings/wide_text.h"
#include "tests/settings/test_folder_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace settings_test;

namespace {

// Cyrillic, Polish and Japanese: none of them fits one ANSI code page together.
const char Name[] = "Отчёт łódź 日本";
const wchar_t WideName[] = L"Отчёт łódź 日本";

TEST(WideText, EveryScriptRoundTripsAndOnlyLongPathsTakeTheLongForm) {
    EXPECT_EQ(ToWide(Name), WideName);
    EXPECT_EQ(FromWide(WideName), Name);
    // Beyond the basic plane: one character, two UTF-16 units, four bytes.
    EXPECT_EQ(ToWide("\xF0\x9F\x93\x84").size(), 2u);
    EXPECT_EQ(FromWide(ToWide("\xF0\x9F\x93\x84")), "\xF0\x9F\x93\x84");
    // A broken byte is marked, not dropped together with its neighbours.
    EXPECT_EQ(ToWide("a\377b"), L"a\xFFFD"
                                L"b");
    EXPECT_EQ(FromWide(static_cast<const wchar_t*>(nullptr)), "");

    // Counted in UTF-16 units, not in bytes: 200 Cyrillic letters are 400 bytes but fit.
    std::string cyrillic = "C:\\";
    for (int i = 0; i < 200; ++i)
        cyrillic += "ж";
    std::string tail(300, 'x');
    std::wstring wideTail(300, L'x');
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring base = current;
    if (base.back() != L'\\') base += L'\\';
    // A folder to create must leave room for a short name inside it.
    std::string folder = "C:\\" + std::string(250, 'f');
    struct {
        std::string path;
        std::wstring wide;
        std::size_t limit;
    } cases[] = {
        {cyrillic, ToWide(cyrillic), ClassicPathLimit},
        {"C:\\a/b\\..\\" + tail, L"\\\\?\\C:\\a\\" + wideTail, ClassicPathLimit},
        {"\\\\server\\share\\" + tail, L"\\\\?\\UNC\\server\\share\\" + wideTail, ClassicPathLimit},
        {"\\\\?\\C:\\" + tail, L"\\\\?\\C:\\" + wideTail, ClassicPathLimit},
        {tail, L"\\\\?\\" + base + wideTail, ClassicPathLimit},
        {folder, ToWide(folder), ClassicPathLimit},
        {folder, L"\\\\?\\" + ToWide(folder), ClassicFolderLimit},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToWidePath(c.path, c.limit), c.wide) << c.path;
}

class WideNamesTest : public TestFolder {
  protected:
    void SetUp() override {
        InitDataFiles();
        InitSettings();
        TestFolder::SetUp();
    }
    void TearDown() override {
        CloseAllDataFiles();
        CloseSettings();
        TestFolder::TearDown();
    }
};

TEST_F(WideNamesTest, FoldersFilesSizesAndSettingsUnderAnyNameAndDepth) {
    EXPECT_EQ(MakeDirectory(Path(Name).c_str()), 1);
    EXPECT_EQ(MakeDirectory(Path(Name).c_str()), 0) << "made twice";
    EXPECT_EQ(QueryFileSize((Path(Name) + "\\").c_str()), FileSizeFolder);
    // A folder more than 300 characters deep, each level named in three scripts.
    std::string deep = folder;
    std::wstring wideDeep = wideFolder;
    while (wideDeep.size() < 320) {
        deep += "\\" + std::string(Name) + " " + std::string(40, 'x');
        wideDeep += L"\\" + std::wstring(WideName) + L" " + std::wstring(40, L'x');
        ASSERT_EQ(MakeDirectory(deep.c_str()), 1) << deep.size();
    }
    DWORD attributes = GetFileAttributesW(LongForm(wideDeep).c_str());
    ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(QueryFileSize(deep.c_str()), FileSizeFolder);
    for (const std::string& at : {folder, deep}) {
        std::string path = at + "\\" + Name + ".txt";
        Number file = CreateDataFile(AnyNumber, path.c_str());
        ASSERT_NE(file, 0) << path.size();
        WriteTextLine(file, Name);
        CloseDataFile(file);
        // The text is written as the bytes it is: UTF-8 stays UTF-8.
        EXPECT_EQ(ReadRaw(path), std::string(Name) + "\r\n");
        EXPECT_EQ(QueryFileSize(path.c_str()), static_cast<std::int64_t>(sizeof Name + 1));
        file = OpenDataFile(AnyNumber, path.c_str());
        ASSERT_NE(file, 0);
        EXPECT_EQ(ReadTextLine(file), Name);
        CloseDataFile(file);
        // Creating again empties the same file rather than making a second one.
        CloseDataFile(CreateDataFile(AnyNumber, path.c_str()));
        EXPECT_EQ(ReadRaw(path), "");
    }

    // Settings documents there too, made on the first write under their full name, then read
    // and emptied there.
    std::string path = deep + "\\" + Name + ".ini";
    EXPECT_EQ(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("A");
    WriteSettingNumber("B", 7);
    CloseSettings();
    EXPECT_EQ(ReadRaw(path), "[A]\r\nB = 7\r\n");
    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("A");
    EXPECT_EQ(ReadSettingNumber("B", 0), 7);
    EXPECT_NE(CreateSettings(path.c_str()), 0);
    CloseSettings();
    EXPECT_EQ(ReadRaw(path), "");
}

TEST(WideEnvironment, NamesAndValuesInAnyScriptAndMissingOnes) {
    EXPECT_FALSE(ReadEnvironmentVariable("appdata").empty());
    // Longer in bytes than in UTF-16 units: a buffer sized in the wrong unit cuts the value.
    std::wstring longValue;
    std::string expected;
    for (int i = 0; i < 1500; ++i) {
        longValue += WideName;
        expected += Name;
    }
    ASSERT_TRUE(SetEnvironmentVariableW(L"VERRIQ_ÄÖÜ_日本", longValue.c_str()));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_ÄÖÜ_日本"), expected);

    SetEnvironmentVariableW(L"VERRIQ_ÄÖÜ_日本", nullptr);
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_ÄÖÜ_日本"), "");
    EXPECT_EQ(ReadEnvironmentVariable(""), "");
    EXPECT_EQ(ReadEnvironmentVariable(nullptr), "");
}

} // namespace
