// The list document: the encoding earlier versions read (ANSI, no mark) whenever it can hold
// every path, UTF-8 behind the mark when it cannot; lines that survive loading and saving byte
// for byte; and a replacement that leaves the whole old or the whole new list wherever it stops.
#include "app/protection/file_list_document.h"

#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

std::string Golden(const char* name) { return ReadBytes(std::string(VERRIQ_TEST_DATA) + "/file_list/" + name); }

const std::wstring AnsiText = L"C:\\Daten\\Größe und Übersicht.txt\r\nD:\\Büro\\Angebot €.doc\r\n\r\n"
                              L"C:\\ohne Umlaut.txt\r\n";
const std::wstring Utf8Text = L"C:\\Daten\\Größe und Übersicht.txt\r\nC:\\Ωmega\\Αθήνα.txt\r\n"
                              L"D:\\Büro\\Angebot €.doc\r\n";

class FileListDocument : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "verriq-list-" + std::to_string(GetCurrentProcessId());
        RemoveTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        list = folder + "\\Dateien.ini";
        wideList = std::wstring(list.begin(), list.end());
    }
    void TearDown() override { RemoveTree(folder); }

    std::vector<std::string> Lines() const {
        std::string bytes;
        unsigned long error = 0;
        EXPECT_TRUE(ReadFileListDocument(wideList, &bytes, &error)) << error;
        return FileListLines(bytes);
    }
    bool TemporaryLeft() const {
        return GetFileAttributesW(TemporaryListPath(wideList).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string folder, list;
    std::wstring wideList;
};

} // namespace

TEST(FileListEncoding, ReadsAndWritesTheGoldenFilesBothWays) {
    std::string ansi = Golden("ansi.ini"), utf8 = Golden("utf8.ini");
    ASSERT_FALSE(ansi.empty());
    ASSERT_EQ(utf8.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(DecodeFileListText(ansi), AnsiText);
    EXPECT_EQ(DecodeFileListText(utf8), Utf8Text);
    EXPECT_EQ(EncodeFileListText(AnsiText), ansi);
    EXPECT_EQ(EncodeFileListText(Utf8Text), utf8);
}

TEST(FileListEncoding, OnePathOutsideTheCodePageSwitchesTheWholeListAndBack) {
    std::wstring withGreek = AnsiText + L"C:\\Ω.txt\r\n";
    std::string switched = EncodeFileListText(withGreek);
    ASSERT_EQ(switched.substr(0, 3), "\xEF\xBB\xBF");
    // The paths that would fit are UTF-8 too: one document, one encoding.
    EXPECT_NE(switched.find("Gr\xC3\xB6\xC3\x9F" "e"), std::string::npos);
    EXPECT_EQ(DecodeFileListText(switched), withGreek);
    // Without it, the list is what earlier versions wrote.
    EXPECT_EQ(EncodeFileListText(AnsiText), Golden("ansi.ini"));

    // A character the code page would only approximate must not be written as its look-alike.
    for (const wchar_t* path : {L"C:\\\u0100bc.txt", L"C:\\\u2260.txt", L"C:\\\uFF21.txt"}) {
        std::string bytes = EncodeFileListText(std::wstring(path) + L"\r\n");
        EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(DecodeFileListText(bytes), std::wstring(path) + L"\r\n");
    }
    // Without the mark, the same bytes are the code page's.
    EXPECT_EQ(DecodeFileListText("Gr\xC3\xB6\xC3\x9F" "e"), L"Gr\u00C3\u00B6\u00C3\u0178e");
}

// Long enough to go through the system's conversions in several slices; one path at the end that
// the code page cannot hold switches the whole list.
TEST(FileListEncoding, ALongListIsTheSameInSlicesAsInOnePieceAndSwitchesWhole) {
    std::vector<std::string> paths;
    std::wstring text;
    for (int i = 0; i < 5000; ++i) {
        std::string number = std::to_string(i);
        paths.push_back("C:\\Größe\\Datei " + number + ".txt");
        text += L"C:\\Größe\\Datei " + std::wstring(number.begin(), number.end()) + L".txt\r\n";
    }
    std::string ansi = FileListBytes(paths);
    EXPECT_EQ(ansi, EncodeFileListText(text));
    EXPECT_EQ(FileListLines(ansi), paths);

    const std::wstring greek = L"C:\\Ω.txt";
    paths.push_back(FromWide(greek));
    std::string utf8 = FileListBytes(paths);
    EXPECT_EQ(utf8, EncodeFileListText(text + greek + L"\r\n"));
    EXPECT_EQ(utf8.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(FileListLines(utf8), paths);
}

TEST(FileListEncoding, LinesEndAtEveryKindOfLineEndButNotAtAZeroByte) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"\xEF\xBB\xBF", {}},
        {"\r\n", {""}},
        {"a", {"a"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb\r\n", {"a", "", "b"}},
        {std::string("C:\\a.txt\0Rest\r\nb", 16), {std::string("C:\\a.txt\0Rest", 13), "b"}},
        {"\xEF\xBB\xBF" "C:\\x.txt\r\n", {"C:\\x.txt"}},
    };
    for (const Case& c : cases) EXPECT_EQ(FileListLines(c.bytes), c.lines) << c.bytes;
}

TEST(FileListEncoding, EveryByteOfAnAnsiListSurvivesLoadingAndSaving) {
    std::string odd = "\x01\x7f\xff\xe4\t Ende";
    std::string zero("vor\0nach", 8);
    std::string undefined = "\x81\x8d\x8f\x90\x9d"; // no character in Windows-1252
    std::string text = "C:\\" + std::string(300, 'p') + ".txt\r\n" + odd + "\r\n" + zero + "\r\n" + undefined +
                       "\r\n\r\n" + std::string(70000, 'h') + "\r\n";
    std::vector<std::string> lines = FileListLines(text);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(FileListBytes(lines), text);
    EXPECT_EQ(FileListBytes({}), "");
}

TEST(FileListEncoding, AFirstPathThatBeginsLikeTheMarkKeepsItsCharacters) {
    // In the code page, "ï»¿" is the mark's three bytes; U+FEFF is the mark itself in UTF-8.
    for (const std::wstring& first : {std::wstring(L"\u00EF\u00BB\u00BFC:\\a.txt"), std::wstring(L"\uFEFFC:\\b.txt")}) {
        std::vector<std::string> paths = {FromWide(first), "C:\\zwei.txt"};
        EXPECT_EQ(FileListLines(FileListBytes(paths)), paths);
    }
}

TEST_F(FileListDocument, AStopAtAnyByteLeavesTheWholeOldOrTheWholeNewList) {
    const std::vector<std::string> before = {"C:\\alt\\eins.txt", "C:\\alt\\zwei.txt", "C:\\Größe.txt"};
    const std::vector<std::string> after = {"C:\\neu\\eins.txt", "", "D:\\drei.txt", "C:\\alt\\zwei.txt"};
    std::string newBytes = FileListBytes(after);

    auto check = [&](const SaveStop& stop, const std::string& where) {
        unsigned long error = 0;
        ASSERT_TRUE(ReplaceFileListDocument(wideList, FileListBytes(before), &error)) << error;
        ASSERT_FALSE(TemporaryLeft()) << where;
        bool done = ReplaceFileListDocument(wideList, newBytes, &error, &stop);
        std::vector<std::string> lines = Lines();
        EXPECT_TRUE(lines == (done ? after : before)) << where << ": " << lines.size() << " lines";
        // What the stopped save left behind is ignored until the next save replaces it.
        ASSERT_TRUE(ReplaceFileListDocument(wideList, newBytes, &error)) << where << ": " << error;
        EXPECT_EQ(Lines(), after) << where;
        EXPECT_FALSE(TemporaryLeft()) << where;
    };
    for (std::size_t k = 0; k <= newBytes.size(); ++k) {
        SaveStop stop;
        stop.afterBytes = k;
        check(stop, "after " + std::to_string(k) + " bytes");
    }
    SaveStop beforeFlush;
    beforeFlush.beforeFlush = true;
    check(beforeFlush, "before the flush");
    SaveStop beforeReplace;
    beforeReplace.beforeReplace = true;
    check(beforeReplace, "before the rename");
}

TEST_F(FileListDocument, AFolderInTheListsPlaceIsNeverTouched) {
    CreateDirectoryA(list.c_str(), nullptr);
    WriteBytes(list + "\\inside.txt", "bleibt");
    unsigned long error = 0;
    EXPECT_FALSE(ReplaceFileListDocument(wideList, FileListBytes({"C:\\a.txt"}), &error));
    EXPECT_NE(error, 0u);
    EXPECT_TRUE(GetFileAttributesA(list.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadBytes(list + "\\inside.txt"), "bleibt");
    EXPECT_FALSE(TemporaryLeft());

    std::string bytes;
    EXPECT_FALSE(ReadFileListDocument(wideList, &bytes, &error));
    EXPECT_NE(error, 0u);
}

TEST_F(FileListDocument, ALeftoverTemporaryFileIsReplacedEvenWhenReadOnly) {
    std::string temporary = list + ".tmp";
    WriteBytes(temporary, "C:\\halb");
    SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    unsigned long error = 0;
    ASSERT_TRUE(ReplaceFileListDocument(wideList, FileListBytes({"C:\\ganz.txt"}), &error)) << error;
    EXPECT_EQ(ReadBytes(list), "C:\\ganz.txt\r\n");
    EXPECT_FALSE(TemporaryLeft());
}
