// The settings documents against the real file system: what reaches the disk, when, and how
// the file is held while a document is open.
#include "settings/settings_document.h"

#include "settings_test_support.h"
#include "tests/settings/test_folder_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace settings_test;

namespace {

class SettingsDocumentTest : public TestFolder {
  protected:
    void SetUp() override {
        InitSettings();
        TestFolder::SetUp();
    }
    void TearDown() override {
        EndSettings();
        TestFolder::TearDown();
    }
    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

// Every golden case once more, through OpenSettings, ReadFile, WriteFile and SetEndOfFile.
TEST_F(SettingsDocumentTest, GoldenFilesThroughRealFiles) {
    std::vector<std::string> cases = GoldenCases();
    ASSERT_GE(cases.size(), 20u) << "golden folder not found: " << DataPath("settings/golden");
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        std::string path = Make("golden.ini", ReadBytes(GoldenPath(name, ".ini")));
        EXPECT_NE(OpenSettings(path.c_str()), 0);
        EXPECT_EQ(DescribeEntries(CurrentSettings()), ReadBytes(GoldenPath(name, ".entries")));
        SelectSettingsGroup(GoldenGroup);
        WriteSettingNumber(GoldenKey, GoldenValue);
        CloseSettings();
        EXPECT_EQ(ReadRaw(path), ReadBytes(GoldenPath(name, ".written")));
    }
}

TEST_F(SettingsDocumentTest, OnlyClosingAWrittenDocumentWritesAndCreatingEmpties) {
    std::string path = Path("new.ini");
    EXPECT_EQ(OpenSettings(path.c_str()), 0);
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 88), 88);
    CloseSettings();
    EXPECT_FALSE(Exists(path)); // nothing written, nothing made
    EXPECT_EQ(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    WriteSettingNumber("SpecialKey", 75);
    EXPECT_FALSE(Exists(path));
    CloseSettings();
    EXPECT_EQ(ReadRaw(path), "[Einstellungen]\r\nSpecialKey = 75\r\n");

    Make("created.ini", std::string(5000, 'x') + "\r\n[Alt]\r\nk=1\r\n");
    EXPECT_NE(CreateSettings(Path("created.ini").c_str()), 0);
    EXPECT_EQ(SelectSettingsGroup("Alt"), 0);
    CloseSettings();
    EXPECT_EQ(ReadRaw(Path("created.ini")), "");

    // Opening another document writes the current one.
    std::string second = Make("second.ini", "[B]\r\nk=2\r\n");
    OpenSettings(path.c_str());
    WriteSettingNumber("top", 1);
    OpenSettings(second.c_str());
    EXPECT_EQ(ReadRaw(path), "top = 1\r\n[Einstellungen]\r\nSpecialKey = 75\r\n");
    SelectSettingsGroup("B");
    WriteSettingNumber("k", 3);
    CreateSettings(path.c_str());
    EXPECT_EQ(ReadRaw(second), "[B]\r\nk = 3\r\n");
    WriteSettingNumber("last", 4);
    EndSettings();
    EXPECT_EQ(ReadRaw(path), "last = 4\r\n");
}

TEST_F(SettingsDocumentTest, ADocumentNotWrittenIsNeverTouched) {
    static const char handWritten[] =
        "\xEF\xBB\xBF  ; by hand\n[Einstellungen] x\r\n\tSpecialKey=70  \r\r\n\0tail";
    std::string path = Make("hand.ini", std::string(handWritten, sizeof handWritten - 1));
    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 0), 70);
    SelectSettingsGroup("Fehlt"); // a pending group alone writes nothing
    CloseSettings();
    // Any rewrite would have put these odd lines in our own form.
    EXPECT_EQ(ReadRaw(path), std::string(handWritten, sizeof handWritten - 1));
}

TEST_F(SettingsDocumentTest, RewriteIsCutToLengthInTheSameFile) {
    std::string path =
        Make("long.ini", "[Einstellungen]\r\nSpecialKey=1\r\n" + std::string(3000, ';') + "\r\n");
    auto fileIndex = [&] {
        HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        BY_HANDLE_FILE_INFORMATION info = {};
        GetFileInformationByHandle(file, &info);
        CloseHandle(file);
        return (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    };
    unsigned long long before = fileIndex();
    OpenSettings(path.c_str());
    SelectSettingsGroup("Einstellungen");
    WriteSettingNumber("SpecialKey", -2147483647 - 1);
    CloseSettings();
    EXPECT_EQ(ReadRaw(path),
              "[Einstellungen]\r\nSpecialKey = -2147483648\r\n; " + std::string(2999, ';') + "\r\n");
    EXPECT_EQ(fileIndex(), before);
}

TEST_F(SettingsDocumentTest, AnOpenDocumentLetsOthersReadAndAReadOnlyOneIsNotRewritten) {
    std::string path = Make("held.ini", "[A]\r\nk=1\r\n");
    ASSERT_NE(OpenSettings(path.c_str()), 0);
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, all, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // We hold write access, so a reader must share writing to get in.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, all, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseSettings();

    // Another reader that refuses writers: only our read-only attempt can succeed.
    HANDLE other =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("A");
    EXPECT_EQ(ReadSettingNumber("k", 0), 1);
    WriteSettingNumber("k", 67);
    CloseSettings();
    CloseHandle(other);
    EXPECT_EQ(ReadRaw(path), "[A]\r\nk=1\r\n");
}

TEST_F(SettingsDocumentTest, PathsThatCannotBeFilesChangeNothing) {
    std::string inMissingFolder = Path("no such folder\\x.ini");
    EXPECT_EQ(CreateSettings(inMissingFolder.c_str()), 0);
    EXPECT_EQ(SelectSettingsGroup(""), 0); // closed: nothing is open
    EXPECT_EQ(ReserveSettingValue("k", 3), nullptr);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_FALSE(Exists(inMissingFolder));
    // A folder cannot be opened as a file; the write at close cannot create it either.
    CreateDirectoryA(Path("sub").c_str(), nullptr);
    EXPECT_EQ(OpenSettings(Path("sub").c_str()), 0);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_NE(GetFileAttributesA(Path("sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(OpenSettings(nullptr), 0);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_EQ(CreateSettings(nullptr), 0);
}

} // namespace
