// The file services against the real file system under Wine.
#include "settings/buffered_file.h"
#include "settings/files.h"
#include "settings/memory_file.h"
#include "tests/settings/test_folder_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace settings_test;

namespace {

using Lines = std::vector<std::string>;

class FilesTest : public TestFolder {
  protected:
    void SetUp() override {
        InitDataFiles();
        TestFolder::SetUp();
    }
    void TearDown() override {
        CloseAllDataFiles();
        TestFolder::TearDown();
    }

    // How the application reads its list: open a file number, read until the end, close.
    static Lines ReadLinesOf(const std::string& path, Number number = 1) {
        Lines lines;
        EXPECT_NE(OpenDataFile(number, path.c_str()), 0);
        while (!IsEndOfFile(number))
            lines.push_back(ReadTextLine(number));
        CloseDataFile(number);
        return lines;
    }
};

TEST_F(FilesTest, WrittenLinesEndInCrLfAndReadBack) {
    std::string path = Path("Dateien.ini");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    EXPECT_EQ(WriteTextLine(1, "C:\\eins.txt"), 13);
    EXPECT_EQ(WriteTextLine(1, nullptr), 2);
    EXPECT_EQ(WriteText(1, "ohne"), 4);
    EXPECT_EQ(WriteText(1, nullptr), 0);
    CloseDataFile(1);
    EXPECT_EQ(ReadRaw(path), "C:\\eins.txt\r\n\r\nohne");

    // Lines shorter and longer than the buffer, across its edges.
    Lines written = {Filler(FileBufferSize - 1), "", Filler(FileBufferSize + 7), Filler(10000)};
    Number dynamic = CreateDataFile(AnyNumber, path.c_str());
    ASSERT_NE(dynamic, 0);
    for (const std::string& line : written)
        WriteTextLine(dynamic, line.c_str());
    CloseDataFile(dynamic);
    EXPECT_EQ(WriteText(dynamic, "x"), 0);
    EXPECT_EQ(ReadLinesOf(path, 2), written);
}

TEST_F(FilesTest, CreatingOverAHiddenFileEmptiesIt) {
    // Windows refuses to replace a hidden file with a normal one, which is why creating has a
    // second way (Wine replaces it, so there the first way succeeds already).
    std::string path = Make("versteckt.ini", "alter Inhalt\r\n");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    WriteTextLine(1, "neu");
    CloseDataFile(1);
    EXPECT_EQ(ReadRaw(path), "neu\r\n");
    // Emptied, not replaced: the file keeps its attributes.
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FilesTest, NumbersMissingFilesReuseAndClosingAll) {
    EXPECT_EQ(OpenDataFile(1, Path("fehlt.txt").c_str()), 0);
    EXPECT_EQ(OpenDataFile(AnyNumber, nullptr), 0);
    EXPECT_EQ(CreateDataFile(2, Path("kein\\Ordner.txt").c_str()), 0);
    // A reader of a file that failed to open stops at once.
    EXPECT_NE(IsEndOfFile(1), 0);
    EXPECT_EQ(ReadTextLine(1), "");
    EXPECT_EQ(WriteTextLine(1, "x"), 0);
    CloseDataFile(-1);

    // A fixed number answers the system's handle.
    Number handle = CreateDataFile(3, Path("drei.txt").c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(GetFileType(reinterpret_cast<HANDLE>(handle)), static_cast<DWORD>(FILE_TYPE_DISK));
    WriteTextLine(3, "erst");
    // The old file is closed (and its pending line written) before the path is opened again;
    // its share mode would refuse the second opening otherwise.
    ASSERT_NE(OpenDataFile(3, Path("drei.txt").c_str()), 0);
    EXPECT_EQ(ReadTextLine(3), "erst");
    // Open files share reading only.
    HANDLE other = CreateFileA(Path("drei.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    EXPECT_EQ(ReadRaw(Path("drei.txt")), "erst\r\n");

    ASSERT_NE(CreateDataFile(20, Path("zwanzig.txt").c_str()), 0);
    Number dynamic = CreateDataFile(AnyNumber, Path("dyn.txt").c_str());
    WriteText(20, "20");
    WriteText(dynamic, "d");
    CloseAllDataFiles();
    EXPECT_EQ(ReadRaw(Path("zwanzig.txt")) + ReadRaw(Path("dyn.txt")), "20d");
    EXPECT_NE(IsEndOfFile(20), 0);
}

TEST_F(FilesTest, SizesOfFilesFoldersDrivesAndNothing) {
    Make("leer.txt", "");
    Make("fünf.txt", "12345");
    DWORD drives = GetLogicalDrives();
    std::string missing;
    for (char letter = 'Z'; letter > 'C' && missing.empty(); --letter)
        if (!(drives & (1u << (letter - 'A')))) missing = std::string(1, letter) + ":";
    ASSERT_FALSE(missing.empty()) << "every drive letter is taken";
    struct {
        std::string path;
        std::int64_t size;
    } cases[] = {
        {Path("leer.txt"), 0},
        {Path("fünf.txt"), 5},
        // Nothing is cut: stripped of its trailing backslashes, a path names the file however
        // long it was.
        {Path("fünf.txt") + std::string(300, '\\'), 5},
        {folder, FileSizeFolder},
        {"C:", FileSizeFolder},
        // The current drive's root, which the search never finds.
        {"\\", FileSizeFolder},
        {missing, FileSizeNothing},
        {Path("fehlt\\tiefer"), FileSizeNothing},
        // A search pattern names no file, although files match it.
        {Path("*.txt"), FileSizeNothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryFileSize(c.path.c_str()), c.size) << c.path;
    EXPECT_EQ(QueryFileSize(nullptr), FileSizeNothing);

    HANDLE file =
        CreateFileA(Path("gross.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(file, 7, &high, FILE_BEGIN);
    bool grown = SetEndOfFile(file);
    CloseHandle(file);
    if (grown) { // some file systems refuse a sparse file of 4 GB
        EXPECT_EQ(QueryFileSize(Path("gross.bin").c_str()), (std::int64_t{1} << 32) + 7);
    }
}

TEST_F(FilesTest, MakeDirectoryCreatesOneLevelAndIgnoresTrailingSeparators) {
    std::string maker = Path("Ondrak");
    EXPECT_NE(MakeDirectory((maker + "\\").c_str()), 0);
    EXPECT_NE(MakeDirectory((maker + "\\Verriq \\/ ").c_str()), 0);
    EXPECT_EQ(QueryFileSize((maker + "\\Verriq").c_str()), FileSizeFolder);
    // Parents are not made, and a name too long for the file system is refused by the system.
    std::string nested = Path("a\\b");
    for (const char* none : {nested.c_str(), "", "\\ ", static_cast<const char*>(nullptr)})
        EXPECT_EQ(MakeDirectory(none), 0);
    EXPECT_EQ(QueryFileSize(Path("a").c_str()), FileSizeNothing);
    EXPECT_EQ(MakeDirectory(Path(std::string(300, 'x')).c_str()), 0);
}

struct ChangingVariable {
    std::string shortValue = "kurz";
    std::string longValue = Filler(3000);
    volatile LONG stop = 0;

    static DWORD WINAPI Change(void* parameter) {
        auto* self = static_cast<ChangingVariable*>(parameter);
        for (int i = 0; !self->stop; ++i)
            SetEnvironmentVariableA("VERRIQ_TEST_RACE", (i % 2 ? self->longValue : self->shortValue).c_str());
        return 0;
    }
};

// Another thread keeps changing the variable between the reader's two calls.
TEST(EnvironmentVariables, AValueChangingWhileItIsReadComesBackWhole) {
    ChangingVariable variable;
    SetEnvironmentVariableA("VERRIQ_TEST_RACE", variable.shortValue.c_str());
    HANDLE thread = CreateThread(nullptr, 0, ChangingVariable::Change, &variable, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string value = ReadEnvironmentVariable("VERRIQ_TEST_RACE");
        if (value != variable.shortValue && value != variable.longValue) ++torn;
    }
    variable.stop = 1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    SetEnvironmentVariableA("VERRIQ_TEST_RACE", nullptr);
    EXPECT_EQ(torn, 0);
}

} // namespace
