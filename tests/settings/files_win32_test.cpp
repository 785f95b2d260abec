// The file services against the real file system under Wine.
#include "settings/buffered_file.h"
#include "settings/files.h"
#include "settings/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string Filler(std::size_t length) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitDataFiles();
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        folder = std::string(temp) + "verriq_files_" + std::to_string(GetCurrentProcessId()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        DeleteTree(folder);
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    void TearDown() override {
        CloseAllDataFiles();
        DeleteTree(folder);
    }

    std::string Path(const std::string& name) const { return folder + "\\" + name; }

    static void WriteRaw(const std::string& path, const std::string& bytes) {
        HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
        CloseHandle(file);
    }

    static std::string ReadRaw(const std::string& path) {
        HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD got = 0;
        if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        bytes.resize(got);
        return bytes;
    }

    // How the application reads its list: open file 1, read until the end, close.
    Lines ReadLinesOf(const std::string& bytes) {
        std::string path = Path("lines.txt");
        WriteRaw(path, bytes);
        Lines lines;
        EXPECT_NE(OpenDataFile(1, path.c_str()), 0);
        while (!IsEndOfFile(1))
            lines.push_back(ReadTextLine(1));
        CloseDataFile(1);
        return lines;
    }

    std::string folder;
};

TEST_F(FilesTest, LineEndsOfEveryKindReadTheSame) {
    Lines expected{"C:\\Daten\\eins.txt", "zwei", "drei"};
    EXPECT_EQ(ReadLinesOf("C:\\Daten\\eins.txt\r\nzwei\r\ndrei\r\n"), expected);
    EXPECT_EQ(ReadLinesOf("C:\\Daten\\eins.txt\nzwei\ndrei\n"), expected);
    EXPECT_EQ(ReadLinesOf("C:\\Daten\\eins.txt\rzwei\rdrei\r"), expected);
    EXPECT_EQ(ReadLinesOf("C:\\Daten\\eins.txt\r\nzwei\r\ndrei"), expected);
}

TEST_F(FilesTest, EmptyLinesAndFilesOfOnlyLineEnds) {
    EXPECT_EQ(ReadLinesOf("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(ReadLinesOf("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(ReadLinesOf("\r\n\r\n\r\n"), (Lines{"", "", ""}));
    EXPECT_EQ(ReadLinesOf("\n\n\r\r"), (Lines{"", "", "", ""}));
    EXPECT_EQ(ReadLinesOf(""), Lines{});
}

TEST_F(FilesTest, CrOnTheBufferBoundary) {
    std::string first = Filler(FileBufferSize - 1);
    EXPECT_EQ(ReadLinesOf(first + "\r\nzweite"), (Lines{first, "zweite"}));
    EXPECT_EQ(ReadLinesOf(first + "\rzweite\r\n"), (Lines{first, "zweite"}));
    EXPECT_EQ(ReadLinesOf(first + "\r"), (Lines{first}));
    std::string second = Filler(FileBufferSize);
    EXPECT_EQ(ReadLinesOf(second + "\r\n" + second + "\r\n"), (Lines{second, second}));
}

TEST_F(FilesTest, LinesLongerThanTheBuffer) {
    std::string longLine = Filler(5 * FileBufferSize + 123);
    EXPECT_EQ(ReadLinesOf(longLine + "\r\nkurz\r\n" + longLine), (Lines{longLine, "kurz", longLine}));
}

TEST_F(FilesTest, WrittenLinesEndInCrLfWithNothingElse) {
    std::string path = Path("Dateien.ini");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    EXPECT_EQ(WriteTextLine(1, "C:\\eins.txt"), 13);
    EXPECT_EQ(WriteTextLine(1, ""), 2);
    EXPECT_EQ(WriteTextLine(1, nullptr), 2);
    EXPECT_EQ(WriteText(1, "ohne"), 4);
    EXPECT_EQ(WriteText(1, ""), 0);
    EXPECT_EQ(WriteText(1, nullptr), 0);
    CloseDataFile(1);
    EXPECT_EQ(ReadRaw(path), "C:\\eins.txt\r\n\r\n\r\nohne");
}

TEST_F(FilesTest, ManyLinesWrittenAndReadBack) {
    std::string path = Path("viele.txt");
    Lines written;
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    for (int i = 0; i < 3000; ++i) {
        written.push_back("C:\\Ordner " + std::to_string(i) + "\\" +
                          Filler(static_cast<std::size_t>(i % 300)));
        WriteTextLine(1, written.back().c_str());
    }
    written.push_back(Filler(10000));
    WriteTextLine(1, written.back().c_str());
    CloseDataFile(1);
    Lines read;
    ASSERT_NE(OpenDataFile(1, path.c_str()), 0);
    while (!IsEndOfFile(1))
        read.push_back(ReadTextLine(1));
    CloseDataFile(1);
    EXPECT_EQ(read, written);
}

TEST_F(FilesTest, ReadingThenWritingOnOneFileNumber) {
    std::string path = Path("gemischt.txt");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    WriteTextLine(1, "eins");
    // Reading writes the pending bytes first; the reader then stands at their end.
    EXPECT_EQ(IsEndOfFile(1), 1);
    EXPECT_EQ(ReadTextLine(1), "");
    EXPECT_EQ(ReadRaw(path), "eins\r\n");
    WriteTextLine(1, Filler(FileBufferSize + 10).c_str());
    WriteTextLine(1, "drei");
    CloseDataFile(1);
    EXPECT_EQ(ReadRaw(path), "eins\r\n" + Filler(FileBufferSize + 10) + "\r\ndrei\r\n");
}

TEST_F(FilesTest, WritingAfterReadingContinuesWhereTheReaderStands) {
    // Numbered files never open an existing file for both, so the buffer gets a handle of ours.
    std::string path = Path("mitte.txt");
    WriteRaw(path, "eins\r\nzwei\r\ndrei\r\n" + Filler(6000));
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> buffer(FileBufferSize);
    BufferedFile file{};
    StartBufferedFile(&file, handle, SystemFileAccess(), buffer.data(), FileBufferSize);
    EXPECT_EQ(ReadLine(&file), "eins");
    EXPECT_EQ(WriteBuffered(&file, "ZWEI", 4), 4);
    EXPECT_EQ(ReadLine(&file), "");
    EXPECT_EQ(ReadLine(&file), "drei");
    EXPECT_EQ(WriteBuffered(&file, "VIER", 4), 4);
    FlushBuffered(&file);
    CloseHandle(handle);
    EXPECT_EQ(ReadRaw(path), "eins\r\nZWEI\r\ndrei\r\nVIER" + Filler(6000).substr(4));
}

TEST_F(FilesTest, CreatingOverAHiddenFileEmptiesIt) {
    std::string path = Path("versteckt.ini");
    WriteRaw(path, "alter Inhalt\r\n");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    // Windows refuses to replace a hidden file with a normal one, which is why creating has a
    // second way. Wine replaces it (a known difference), so there the first way succeeds already.
    HANDLE replaced = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!RunningUnderWine()) EXPECT_EQ(replaced, INVALID_HANDLE_VALUE);
    if (replaced != INVALID_HANDLE_VALUE) CloseHandle(replaced);
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    WriteTextLine(1, "neu");
    CloseDataFile(1);
    EXPECT_EQ(ReadRaw(path), "neu\r\n");
    // Emptied, not replaced: the file keeps its attributes.
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FilesTest, AMissingFileFailsAndItsNumberReadsAsEnded) {
    std::string path = Path("fehlt.txt");
    EXPECT_EQ(OpenDataFile(1, path.c_str()), 0);
    EXPECT_EQ(OpenDataFile(AnyNumber, path.c_str()), 0);
    EXPECT_EQ(OpenDataFile(1, nullptr), 0);
    EXPECT_EQ(CreateDataFile(2, Path("kein\\Ordner.txt").c_str()), 0);
    // A reader of a file that failed to open stops at once.
    EXPECT_NE(IsEndOfFile(1), 0);
    EXPECT_EQ(ReadTextLine(1), "");
    EXPECT_EQ(WriteText(1, "x"), 0);
    EXPECT_EQ(WriteTextLine(1, "x"), 0);
    CloseDataFile(1);
    CloseDataFile(-1);
    EXPECT_EQ(QueryFileSize(path.c_str()), FileSizeNothing);
}

TEST_F(FilesTest, FixedNumbersAnswerTheSystemHandleAndDynamicOnesTheirOwn) {
    std::string path = Path("a.txt");
    Number handle = CreateDataFile(3, path.c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(GetFileType(reinterpret_cast<HANDLE>(handle)), static_cast<DWORD>(FILE_TYPE_DISK));
    Number dynamic = CreateDataFile(AnyNumber, Path("b.txt").c_str());
    ASSERT_NE(dynamic, 0);
    EXPECT_EQ(WriteTextLine(dynamic, "dynamisch"), 11);
    EXPECT_EQ(WriteTextLine(3, "fest"), 6);
    CloseDataFile(dynamic);
    EXPECT_EQ(WriteText(dynamic, "x"), 0);
    CloseDataFile(3);
    EXPECT_EQ(ReadRaw(path), "fest\r\n");
    EXPECT_EQ(ReadRaw(Path("b.txt")), "dynamisch\r\n");
}

TEST_F(FilesTest, ReusingANumberClosesTheFileThatHeldIt) {
    std::string path = Path("wieder.txt");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    WriteTextLine(1, "erst");
    // The old file is closed (and its pending line written) before the path is opened again;
    // its share mode would refuse the second opening otherwise.
    ASSERT_NE(OpenDataFile(1, path.c_str()), 0);
    EXPECT_EQ(ReadTextLine(1), "erst");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    EXPECT_EQ(IsEndOfFile(1), 1);
}

TEST_F(FilesTest, OpenFilesShareReadingOnly) {
    std::string path = Path("geteilt.txt");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
}

TEST_F(FilesTest, ClosingAllFilesWritesWhatIsPending) {
    ASSERT_NE(CreateDataFile(1, Path("eins.txt").c_str()), 0);
    ASSERT_NE(CreateDataFile(20, Path("zwanzig.txt").c_str()), 0);
    Number dynamic = CreateDataFile(AnyNumber, Path("dyn.txt").c_str());
    ASSERT_NE(dynamic, 0);
    WriteText(1, "1");
    WriteText(20, "20");
    WriteText(dynamic, "d");
    CloseAllDataFiles();
    EXPECT_EQ(ReadRaw(Path("eins.txt")), "1");
    EXPECT_EQ(ReadRaw(Path("zwanzig.txt")), "20");
    EXPECT_EQ(ReadRaw(Path("dyn.txt")), "d");
    EXPECT_NE(IsEndOfFile(20), 0);
}

TEST_F(FilesTest, NamesAndTextsInUtf8) {
    // UTF-8, as the program's German texts are: the name goes to the system as UTF-16, the
    // line is written as the bytes it is (ü takes two).
    std::string path = Path("Größe und Maße.txt");
    ASSERT_NE(CreateDataFile(1, path.c_str()), 0);
    WriteTextLine(1, "Schlüssel");
    CloseDataFile(1);
    EXPECT_EQ(QueryFileSize(path.c_str()), 12);
    ASSERT_NE(OpenDataFile(1, path.c_str()), 0);
    EXPECT_EQ(ReadTextLine(1), "Schlüssel");
}

TEST_F(FilesTest, SizesOfFilesFoldersAndNothing) {
    WriteRaw(Path("leer.txt"), "");
    WriteRaw(Path("fünf.txt"), "12345");
    EXPECT_EQ(QueryFileSize(Path("leer.txt").c_str()), 0);
    EXPECT_EQ(QueryFileSize(Path("fünf.txt").c_str()), 5);
    EXPECT_EQ(QueryFileSize(folder.c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize((folder + "\\").c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize((folder + "\\\\\\").c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize(Path("fehlt").c_str()), FileSizeNothing);
    EXPECT_EQ(QueryFileSize(Path("fehlt\\tiefer").c_str()), FileSizeNothing);
    EXPECT_EQ(QueryFileSize(""), FileSizeNothing);
    EXPECT_EQ(QueryFileSize(nullptr), FileSizeNothing);
    // A search pattern names no file, although files match it.
    EXPECT_EQ(QueryFileSize(Path("*.txt").c_str()), FileSizeNothing);
}

TEST_F(FilesTest, SizesBeyondFourGigabytes) {
    std::string path = Path("gross.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(file, 7, &high, FILE_BEGIN);
    bool grown = SetEndOfFile(file);
    CloseHandle(file);
    if (!grown) GTEST_SKIP() << "the file system refuses a sparse file of 4 GB";
    EXPECT_EQ(QueryFileSize(path.c_str()), (std::int64_t{1} << 32) + 7);
}

TEST_F(FilesTest, PathsLongerThan260CharactersAreTakenWhole) {
    // Nothing is cut: stripped of its trailing backslashes, this path names the file, however
    // many there were; a name too long for the file system is refused by the system itself.
    std::string path = Path("kurz.txt");
    WriteRaw(path, "abc");
    std::string longer = path + std::string(300, '\\');
    EXPECT_EQ(QueryFileSize(longer.c_str()), 3);
    EXPECT_EQ(MakeDirectory((folder + "\\" + std::string(300, 'x')).c_str()), 0);
}

TEST_F(FilesTest, DriveForms) {
    EXPECT_EQ(QueryFileSize("C:"), FileSizeFolder);
    EXPECT_EQ(QueryFileSize("C:\\"), FileSizeFolder);
    EXPECT_EQ(QueryFileSize("c:\\\\"), FileSizeFolder);
    // The current drive's root, which the search never finds.
    EXPECT_EQ(QueryFileSize("\\"), FileSizeFolder);
    DWORD drives = GetLogicalDrives();
    char missing = 0;
    for (char letter = 'Z'; letter > 'C' && !missing; --letter)
        if (!(drives & (1u << (letter - 'A')))) missing = letter;
    ASSERT_NE(missing, 0) << "every drive letter is taken";
    std::string drive = std::string(1, missing) + ":";
    EXPECT_EQ(QueryFileSize(drive.c_str()), FileSizeNothing) << drive;
    EXPECT_EQ(QueryFileSize((drive + "\\").c_str()), FileSizeNothing) << drive;
}

TEST_F(FilesTest, MakeDirectoryCreatesOneLevelAndIgnoresTrailingSeparators) {
    std::string maker = Path("Ondrak");
    EXPECT_NE(MakeDirectory((maker + "\\").c_str()), 0);
    EXPECT_EQ(QueryFileSize(maker.c_str()), FileSizeFolder);
    // It is there already.
    EXPECT_EQ(MakeDirectory(maker.c_str()), 0);
    EXPECT_NE(MakeDirectory((maker + "\\Verriq \\/ ").c_str()), 0);
    EXPECT_EQ(QueryFileSize((maker + "\\Verriq").c_str()), FileSizeFolder);
    EXPECT_EQ(QueryFileSize((maker + "\\Verriq ").c_str()),
              FileSizeFolder); // the system ignores the blank too
    // Parents are not made.
    EXPECT_EQ(MakeDirectory(Path("a\\b").c_str()), 0);
    EXPECT_EQ(QueryFileSize(Path("a").c_str()), FileSizeNothing);
    EXPECT_EQ(MakeDirectory(nullptr), 0);
    EXPECT_EQ(MakeDirectory(""), 0);
    EXPECT_EQ(MakeDirectory("\\ "), 0);
}

TEST(EnvironmentVariables, ValuesAndMissingOnes) {
    EXPECT_FALSE(ReadEnvironmentVariable("appdata").empty());
    ASSERT_TRUE(SetEnvironmentVariableW(L"VERRIQ_TEST_VALUE", L"Wert mit Ä"));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_TEST_VALUE"), "Wert mit Ä");
    std::string longValue = Filler(20000);
    ASSERT_TRUE(SetEnvironmentVariableA("VERRIQ_TEST_VALUE", longValue.c_str()));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_TEST_VALUE"), longValue);
    ASSERT_TRUE(SetEnvironmentVariableA("VERRIQ_TEST_VALUE", nullptr));
    EXPECT_EQ(ReadEnvironmentVariable("VERRIQ_TEST_VALUE"), "");
    EXPECT_EQ(ReadEnvironmentVariable(""), "");
    EXPECT_EQ(ReadEnvironmentVariable(nullptr), "");
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
