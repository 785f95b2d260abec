// The storage folder and the two documents: first start, reading what people and other tools
// write, and writing back exactly what the list and the hot key hold.
#include "app/protection/release_period.h"
#include "app/storage.h"

#include "app/protected_files.h"
#include "controls/gadget.h"
#include "core/handles_win32.h"
#include "settings/file_list_codec.h"
#include "tests/app/app_test_support.h"

#include <vector>

using namespace apptest;

namespace {

std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int i = 0, n = GadgetItemCount(GadgetFileList); i < n; ++i)
        rows.push_back(ReadGadgetItemText(GadgetFileList, i, 0));
    return rows;
}

} // namespace

class Storage : public MainWindowTest {
  protected:
    // What the user was told; every box is answered with OK.
    AnsweredBoxes boxes;
    void Prepare() {
        EnsureStorageFolders(ProductName);
        EnsureFileListDocument(ProductName, FileListName);
        EnsureSettingsDocument(ProductName, SettingsName);
    }
    // As the program starts: the list's lines become rows.
    bool LoadList() {
        std::vector<std::string> lines;
        bool read = LoadFileList(ProductName, FileListName, lines);
        AddListedFiles(std::move(lines));
        return read;
    }
    void Load() {
        LoadList();
        LoadSettings(ProductName, SettingsName);
    }
    void Save() {
        SaveFileList(ProductName, FileListName);
        SaveSettings(ProductName, SettingsName);
    }
    std::string list() const { return storage + "Dateien.ini"; }
    std::string settings() const { return storage + "Einstellungen.ini"; }
};

TEST_F(Storage, AFirstStartMakesBothDocumentsAndLeavesExistingOnesAlone) {
    EXPECT_EQ(StorageFolder(ProductName), root + "\\Ondrak\\VerriqTest\\");
    Prepare();
    EXPECT_EQ(ReadBytes(list()), "");
    const std::string fresh = ReadBytes(settings());
    SpecialKey = 0;
    Load();
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 0);
    EXPECT_EQ(SpecialKey, 88) << fresh;

    const std::string own = "[Einstellungen]\r\nSpecialKey=75\r\n[Andere]\r\nx=1\r\n";
    WriteBytes(list(), "C:\\a.txt");
    WriteBytes(settings(), own);
    Prepare();
    EXPECT_EQ(ReadBytes(list()), "C:\\a.txt");
    EXPECT_EQ(ReadBytes(settings()), own);

    SetEnvironmentVariableA("APPDATA", nullptr);
    EXPECT_EQ(StorageFolder("Verriq"), "\\Ondrak\\Verriq\\");
}

// Whatever people and other tools wrote comes back as rows, and the list goes back to disk as
// earlier versions read it: CR LF after every line, in the ANSI code page where it fits.
TEST_F(Storage, EveryListReadsAsRowsAndIsWrittenBackAsEarlierVersionsReadIt) {
    const std::string zeroPath = std::string("C:\\vor") + '\0' + "nach.txt";
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> rows;
        std::string saved;
    } cases[] = {
        {"every line end", "C:\\eins.txt\r\nC:\\zwei.txt\n\rC:\\drei.txt\rC:\\eins.txt\r\nC:\\Gr\xF6\xDF" "e.txt",
         {"C:\\eins.txt", "C:\\zwei.txt", "", "C:\\drei.txt", "C:\\eins.txt", "C:\\Größe.txt"},
         "C:\\eins.txt\r\nC:\\zwei.txt\r\n\r\nC:\\drei.txt\r\nC:\\eins.txt\r\nC:\\Gr\xF6\xDF" "e.txt\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "C:\\Gr\xC3\xB6\xC3\x9F" "e.txt\r\nC:\\b.txt\r\n",
         {"C:\\Größe.txt", "C:\\b.txt"}, "C:\\Gr\xF6\xDF" "e.txt\r\nC:\\b.txt\r\n"},
        // The row shows the text up to the zero; the line keeps all of it.
        {"a zero byte", zeroPath + "\r\nC:\\b.txt\r\n", {"C:\\vor", "C:\\b.txt"}, zeroPath + "\r\nC:\\b.txt\r\n"},
    };
    Prepare();
    for (const Case& c : cases) {
        ReleaseAllProtectedFiles();
        DeleteAllGadgetItems(GadgetFileList);
        WriteBytes(list(), c.bytes);
        Load();
        EXPECT_EQ(Rows(), c.rows) << c.what;
        Save();
        EXPECT_EQ(ReadBytes(list()), c.saved) << c.what;
    }
    ReleaseAllProtectedFiles();
    DeleteAllGadgetItems(GadgetFileList);
    Save();
    EXPECT_EQ(ReadBytes(list()), "") << "an emptied list";
}

// A list that could not be read (a folder in its place, a backup holding it at start) is never
// replaced by what this run holds, and the user hears why.
TEST_F(Storage, AListThatCouldNotBeReadIsNeverReplaced) {
    EnsureStorageFolders(ProductName);
    CreateDirectoryA(list().c_str(), nullptr);
    WriteBytes(list() + "\\inside.txt", "bleibt");
    AddListedFiles({"C:\\bleibt.txt"});
    EXPECT_FALSE(LoadList());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\bleibt.txt"}));
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find(list()), std::string::npos) << boxes.seen[0].text;
    EXPECT_FALSE(SaveFileList(ProductName, FileListName));
    EXPECT_EQ(ReadBytes(list() + "\\inside.txt"), "bleibt");
    RemoveTree(list());
    ReleaseAllProtectedFiles();
    boxes.seen.clear();

    WriteBytes(list(), "C:\\ungelesen.txt\r\n");
    {
        UniqueFile other(CreateFileA(list().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        EXPECT_FALSE(LoadList());
    }
    ASSERT_EQ(boxes.seen.size(), 1u);
    AddListedFiles({"C:\\neu.txt"});
    OnFileListChanged();
    SaveDocumentsQuietly();
    EXPECT_EQ(ReadBytes(list()), "C:\\ungelesen.txt\r\n");
    EXPECT_EQ(boxes.seen.size(), 2u) << "the change that was not saved must be told";
    // A later start that reads it saves again.
    Load();
    EXPECT_TRUE(SaveFileList(ProductName, FileListName));
}

TEST_F(Storage, AFailedSaveIsToldOnceUntilASaveSucceeds) {
    Prepare();
    DeleteFileA(list().c_str());
    CreateDirectoryA(list().c_str(), nullptr);
    AddListedFiles({"C:\\eins.txt"});

    OnFileListChanged();
    ASSERT_EQ(boxes.seen.size(), 1u);
    const std::string told = boxes.seen[0].text;
    // Which file, why (the system's own words), and that the protection goes on.
    EXPECT_NE(told.find(list()), std::string::npos) << told;
    EXPECT_GT(told.size(), list().size() + 60) << told;
    EXPECT_FALSE(boxes.seen[0].asks);
    OnFileListChanged();
    EXPECT_FALSE(SaveDocuments());
    EXPECT_EQ(boxes.seen.size(), 1u) << "told again for the same failure";

    RemoveDirectoryA(list().c_str());
    OnFileListChanged();
    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(ReadBytes(list()), "C:\\eins.txt\r\n");

    DeleteFileA(list().c_str());
    CreateDirectoryA(list().c_str(), nullptr);
    OnFileListChanged();
    EXPECT_EQ(boxes.seen.size(), 2u) << "a new failure after a good save must be told";

    // A storage folder deleted while running is made again by the next save.
    RemoveTree(root + "\\Ondrak");
    EXPECT_TRUE(SaveFileList(ProductName, FileListName));
    EXPECT_EQ(ReadBytes(list()), "C:\\eins.txt\r\n");
}

TEST_F(Storage, TheHotKeyIsTakenAsWrittenAndTheReleasePeriodWithinItsBounds) {
    Prepare();
    struct Case {
        const char* text;
        int expected;
        int minutes;
    } cases[] = {
        {"[Einstellungen]\r\nSpecialKey = 75\r\nFreigabe = 7\r\n", 75, 7},
        {"[Einstellungen]\r\nSpecialKey = 300\r\nFreigabe = 1441\r\n", 300, 10},
        {"[Einstellungen]\r\nSpecialKey = abc\r\nFreigabe = abc\r\n", 0, 10},
        {"[Andere]\r\nSpecialKey = 75\r\nFreigabe = 30\r\n", 88, 10},
    };
    for (const Case& c : cases) {
        WriteBytes(settings(), c.text);
        SpecialKey = -1;
        SetReleaseMinutes(3);
        LoadSettings(ProductName, SettingsName);
        EXPECT_EQ(SpecialKey, c.expected) << c.text;
        EXPECT_EQ(ReleaseMinutes(), c.minutes) << c.text;
    }
}

TEST_F(Storage, SavingKeepsOnlyTheHotKeyAndAFailureIsToldOnce) {
    Prepare();
    WriteBytes(settings(), "; Kommentar\r\n[Andere]\r\nx = 1\r\n[Einstellungen]\r\nSpecialKey = 70\r\nMehr = 2\r\n");
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 70);
    SpecialKey = 75;
    SetReleaseMinutes(7);
    SaveSettings(ProductName, SettingsName);
    EXPECT_EQ(ReadBytes(settings()), "[Einstellungen]\r\nSpecialKey = 75\r\nFreigabe = 7\r\n");
    SpecialKey = 0;
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 75);

    SpecialKey = 80;
    {
        // A backup holding the file as the user picks a new key: the key is not kept, and the
        // user hears it once, however often it fails.
        UniqueFile other(CreateFileA(settings().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        OnSettingsChanged();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_NE(boxes.seen[0].text.find(settings()), std::string::npos) << boxes.seen[0].text;
        EXPECT_FALSE(SaveSettings(ProductName, SettingsName));
        SaveDocuments();
        EXPECT_EQ(boxes.seen.size(), 1u) << "told again for the same failure";
    }
    OnSettingsChanged();
    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(ReadBytes(settings()), "[Einstellungen]\r\nSpecialKey = 80\r\nFreigabe = 7\r\n");
}

TEST_F(Storage, BothLevelsLoadFromTheGoldenListAndAreWrittenBackByteForByte) {
    Prepare();
    std::string golden = ReadBytes(std::string(VERRIQ_TEST_DATA) + "/file_list/levels.ini");
    ASSERT_FALSE(golden.empty());
    WriteBytes(list(), golden);
    Load();
    const auto& files = Protection().Files();
    ASSERT_EQ(files.size(), 4u);
    const bool readable[] = {true, true, false, true};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(files[i].readable, readable[i]) << i;
        // The row shows the path alone, the level has its own column.
        EXPECT_EQ(files[i].path.find('\t'), std::string::npos) << i;
        EXPECT_EQ(std::string(ReadGadgetItemText(GadgetFileList, i, 1)), LevelText(readable[i])) << i;
    }
    EXPECT_TRUE(IsFolderPath(files[1].path));
    ASSERT_TRUE(SaveFileList(ProductName, FileListName));
    EXPECT_EQ(ReadBytes(list()), golden);
}

TEST(ListLines, ALevelIsOnlyTheExactSuffixAndEveryLineComesBackAsItWas) {
    struct Case {
        std::string line, path;
        bool readable;
    } cases[] = {
        {"C:\\a.txt", "C:\\a.txt", false},
        {"C:\\a.txt\tlesen", "C:\\a.txt", true},
        {"C:\\Ordner\\\tlesen", "C:\\Ordner\\", true},
        // Anything else after a TAB, or the suffix alone, is a path that names no file.
        {"C:\\a.txt\tLESEN", "C:\\a.txt\tLESEN", false},
        {"C:\\a.txt\tlesen ", "C:\\a.txt\tlesen ", false},
        {"C:\\a.txt lesen", "C:\\a.txt lesen", false},
        {"\tlesen", "\tlesen", false},
        {"", "", false},
        {"C:\\a\tlesen\tlesen", "C:\\a\tlesen", true},
    };
    for (const Case& c : cases) {
        ListedFile file = ParseListLine(c.line);
        EXPECT_EQ(file.path, c.path) << c.line;
        EXPECT_EQ(file.readable, c.readable) << c.line;
        EXPECT_EQ(ListLine(file), c.line);
    }
}
