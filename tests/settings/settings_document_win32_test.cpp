// The settings documents against the real file system: what reaches the disk, when, and how
// the file is held while a document is open.
#include "settings/settings_document.h"

#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace settings_test;

namespace {

class SettingsDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitSettings();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "verriq_settings_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override {
        EndSettings();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string path = folder + found.cFileName;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryA(path.c_str());
                else
                    DeleteFileA(path.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

    std::string PathOf(const char* name) const { return folder + name; }
    std::string Make(const char* name, const std::string& bytes) const {
        std::string path = PathOf(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }
    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string folder;
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
        EXPECT_EQ(ReadBytes(path), ReadBytes(GoldenPath(name, ".written")));
    }
}

TEST_F(SettingsDocumentTest, NewSettingsFileHoldsExactlyTheTwoLines) {
    std::string path = Make("Einstellungen.ini", std::string(5000, 'x') + "\r\n[Alt]\r\nk=1\r\n");
    EXPECT_NE(CreateSettings(path.c_str()), 0);
    EXPECT_EQ(SelectSettingsGroup("Einstellungen"), 0);
    WriteSettingNumber("SpecialKey", 88);
    CloseSettings();
    std::string written = ReadBytes(path);
    EXPECT_EQ(written, "[Einstellungen]\r\nSpecialKey = 88\r\n");
    EXPECT_EQ(written.size(), 34u);

    OpenSettings(path.c_str());
    SelectSettingsGroup("Einstellungen");
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 0), 88);
    CloseSettings();
}

TEST_F(SettingsDocumentTest, CreatedWithoutAWriteLeavesAnEmptyFile) {
    std::string path = Make("created.ini", "[A]\r\nk=1\r\n");
    EXPECT_NE(CreateSettings(path.c_str()), 0);
    SelectSettingsGroup("A");
    CloseSettings();
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(SettingsDocumentTest, MissingFileIsCreatedByTheFirstWrite) {
    std::string path = PathOf("new.ini");
    EXPECT_EQ(OpenSettings(path.c_str()), 0);
    EXPECT_EQ(SelectSettingsGroup("Einstellungen"), 0);
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 88), 88);
    CloseSettings();
    EXPECT_FALSE(Exists(path)); // nothing written, nothing made

    EXPECT_EQ(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    WriteSettingNumber("SpecialKey", 75);
    EXPECT_FALSE(Exists(path)); // only closing writes
    CloseSettings();
    EXPECT_EQ(ReadBytes(path), "[Einstellungen]\r\nSpecialKey = 75\r\n");
}

TEST_F(SettingsDocumentTest, ADocumentNotWrittenIsNeverTouched) {
    static const char handWritten[] =
        "\xEF\xBB\xBF  ; by hand\n[Einstellungen] x\r\n\tSpecialKey=70  \r\r\n\0tail";
    std::string path = Make("hand.ini", std::string(handWritten, sizeof handWritten - 1));
    const FILETIME old = {0x12345678, 0x01D00000}; // some day in 2015
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
    std::string before = ReadBytes(path);

    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 0), 70);
    SelectSettingsGroup("Fehlt"); // a pending group alone writes nothing
    CloseSettings();

    EXPECT_EQ(ReadBytes(path), before);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, old.dwLowDateTime);
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, old.dwHighDateTime);
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
    EXPECT_EQ(ReadBytes(path),
              "[Einstellungen]\r\nSpecialKey = -2147483648\r\n; " + std::string(2999, ';') + "\r\n");
    EXPECT_EQ(fileIndex(), before);
}

TEST_F(SettingsDocumentTest, OpenDocumentLetsOthersReadButNotWrite) {
    std::string path = Make("held.ini", "[A]\r\nk=1\r\n");
    ASSERT_NE(OpenSettings(path.c_str()), 0);
    HANDLE writer =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // We hold write access, so a reader must share writing to get in.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    CloseSettings();
    writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
}

TEST_F(SettingsDocumentTest, FileOnlyReadableIsReadButNotRewritten) {
    std::string path = Make("readonly.ini", "[Einstellungen]\nSpecialKey=66\n");
    // Another reader that refuses writers: only our read-only attempt can succeed.
    HANDLE other =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_NE(OpenSettings(path.c_str()), 0);
    SelectSettingsGroup("Einstellungen");
    EXPECT_EQ(ReadSettingNumber("SpecialKey", 0), 66);
    WriteSettingNumber("SpecialKey", 67);
    CloseSettings();
    CloseHandle(other);
    EXPECT_EQ(ReadBytes(path), "[Einstellungen]\nSpecialKey=66\n");
}

TEST_F(SettingsDocumentTest, OpeningAnotherDocumentWritesTheCurrentOne) {
    std::string first = Make("first.ini", "");
    std::string second = Make("second.ini", "[B]\r\nk=2\r\n");
    OpenSettings(first.c_str());
    WriteSettingNumber("top", 1);
    OpenSettings(second.c_str());
    EXPECT_EQ(ReadBytes(first), "top = 1\r\n");
    SelectSettingsGroup("B");
    EXPECT_EQ(ReadSettingNumber("k", 0), 2);
    WriteSettingNumber("k", 3);
    CreateSettings(first.c_str());
    EXPECT_EQ(ReadBytes(second), "[B]\r\nk = 3\r\n");
    EXPECT_EQ(ReadBytes(first), "");
    WriteSettingNumber("last", 4);
    EndSettings();
    EXPECT_EQ(ReadBytes(first), "last = 4\r\n");
}

TEST_F(SettingsDocumentTest, PathsThatCannotBeFilesChangeNothing) {
    std::string inMissingFolder = PathOf("no such folder\\x.ini");
    EXPECT_EQ(CreateSettings(inMissingFolder.c_str()), 0);
    EXPECT_EQ(SelectSettingsGroup(""), 0); // closed: nothing is open
    EXPECT_EQ(ReserveSettingValue("k", 3), nullptr);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_FALSE(Exists(inMissingFolder));

    // A folder cannot be opened as a file; the write at close cannot create it either.
    std::string subfolder = PathOf("sub");
    CreateDirectoryA(subfolder.c_str(), nullptr);
    EXPECT_EQ(OpenSettings(subfolder.c_str()), 0);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_EQ(GetFileAttributesA(subfolder.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    EXPECT_EQ(OpenSettings(nullptr), 0);
    WriteSettingNumber("k", 1);
    CloseSettings();
    EXPECT_EQ(CreateSettings(nullptr), 0);
}

TEST_F(SettingsDocumentTest, ReservedValueIsWhatReachesTheFile) {
    std::string path = Make("reserve.ini", "\xEF\xBB\xBF[Gr\xC3\xBC\xC3\x9F"
                                           "e]\r\nMa\xC3\x9F=1\r\n");
    OpenSettings(path.c_str());
    EXPECT_EQ(SelectSettingsGroup("GR\xFC\xDF"
                                  "E"),
              1);
    EXPECT_STREQ(FindSettingValue("MA\xDF"), "1");
    char* value = ReserveSettingValue("MA\xDF", 5);
    ASSERT_NE(value, nullptr);
    lstrcpyA(value, "hallo");
    CloseSettings();
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF\r\n[Gr\xC3\xBC\xC3\x9F"
                               "e]\r\nMA\xC3\x9F = hallo\r\n");
}

} // namespace
