// The storage folder and the two documents: first start, reading what people and other tools
// write, and writing back exactly what the list and the hot key hold.
#include "app/storage.h"

#include "controls/gadget.h"
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
    void Prepare() {
        EnsureStorageFolders(ProductName);
        EnsureFileListDocument(ProductName, FileListName);
        EnsureSettingsDocument(ProductName, SettingsName);
    }
    void Load() {
        LoadFileList(ProductName, FileListName);
        LoadSettings(ProductName, SettingsName);
    }
    void Save() {
        SaveFileList(ProductName, FileListName);
        SaveSettings(ProductName, SettingsName);
    }
    std::string list() const { return storage + "Dateien.ini"; }
    std::string settings() const { return storage + "Einstellungen.ini"; }
};

TEST_F(Storage, FirstStartMakesFoldersAndBothDocuments) {
    EXPECT_EQ(StorageFolder(ProductName), root + "\\Ondrak\\VerriqTest\\");
    Prepare();
    EXPECT_EQ(ReadBytes(list()), "");
    EXPECT_EQ(ReadBytes(settings()), "[Einstellungen]\r\nSpecialKey = 88\r\n");
    SpecialKey = 0;
    Load();
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 0);
    EXPECT_EQ(SpecialKey, 88);
    EXPECT_EQ(StatusText(), "0 Dateien werden geschützt");
}

TEST_F(Storage, ExistingDocumentsAreLeftAlone) {
    CreateDirectoryA((root + "\\Ondrak").c_str(), nullptr);
    CreateDirectoryA(storage.c_str(), nullptr);
    WriteBytes(list(), "C:\\a.txt");
    WriteBytes(settings(), "[Einstellungen]\r\nSpecialKey=75\r\n[Andere]\r\nx=1\r\n");
    Prepare();
    EXPECT_EQ(ReadBytes(list()), "C:\\a.txt");
    EXPECT_EQ(ReadBytes(settings()), "[Einstellungen]\r\nSpecialKey=75\r\n[Andere]\r\nx=1\r\n");
}

TEST_F(Storage, WithoutAppdataThePathsStartAtTheRoot) {
    SetEnvironmentVariableA("APPDATA", nullptr);
    EXPECT_EQ(StorageFolder("Verriq"), "\\Ondrak\\Verriq\\");
}

TEST_F(Storage, EveryKindOfLineEndReadsAsALineAndSavesAsCrLf) {
    Prepare();
    WriteBytes(list(), "C:\\eins.txt\r\nC:\\zwei.txt\n\rC:\\drei.txt\rC:\\eins.txt\r\nC:\\Größe.txt");
    Load();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\eins.txt", "C:\\zwei.txt", "", "C:\\drei.txt", "C:\\eins.txt",
                                                "C:\\Größe.txt"}));
    Save();
    EXPECT_EQ(ReadBytes(list()), "C:\\eins.txt\r\nC:\\zwei.txt\r\n\r\nC:\\drei.txt\r\nC:\\eins.txt\r\nC:\\Größe.txt\r\n");
}

TEST_F(Storage, LongLinesAndOddBytesSurviveTheRoundTrip) {
    Prepare();
    std::string longPath = "C:\\" + std::string(300, 'p') + ".txt";
    std::string huge(70000, 'h');
    // Rows are UTF-8 now; bytes that are not (an ANSI list) are the list codec's to convert.
    std::string odd = "\x01\x7f\xc3\xbf\xc3\xa4\t Ende";
    WriteBytes(list(), longPath + "\r\n" + huge + "\r\n" + odd + "\r\n");
    Load();
    EXPECT_EQ(Rows(), (std::vector<std::string>{longPath, huge, odd}));
    Save();
    EXPECT_EQ(ReadBytes(list()), longPath + "\r\n" + huge + "\r\n" + odd + "\r\n");
}

TEST_F(Storage, ManyLinesLoadWithoutLosingOne) {
    Prepare();
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "C:\\Ordner\\Datei " + std::to_string(i) + ".txt\r\n";
    WriteBytes(list(), text);
    DWORD start = GetTickCount();
    Load();
    DWORD took = GetTickCount() - start;
    ASSERT_EQ(GadgetItemCount(GadgetFileList), 20000);
    EXPECT_EQ(ReadGadgetItemText(GadgetFileList, 19999, 0), std::string("C:\\Ordner\\Datei 19999.txt"));
    // A repaint per row would take minutes here.
    EXPECT_LT(took, 10000u);
    Save();
    EXPECT_EQ(ReadBytes(list()), text);
}

TEST_F(Storage, AnEmptyListSavesAsAnEmptyFile) {
    Prepare();
    WriteBytes(list(), "C:\\weg.txt\r\n");
    Save();
    EXPECT_EQ(ReadBytes(list()), "");
}

TEST_F(Storage, AFolderInPlaceOfTheListIsNeitherReadNorOverwritten) {
    EnsureStorageFolders(ProductName);
    CreateDirectoryA(list().c_str(), nullptr);
    EnsureFileListDocument(ProductName, FileListName);
    AddListedFiles({"C:\\bleibt.txt"});
    // Reading it must end; nothing is added.
    LoadFileList(ProductName, FileListName);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\bleibt.txt"}));
    SaveFileList(ProductName, FileListName);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"C:\\bleibt.txt"}));
    EXPECT_TRUE(GetFileAttributesA(list().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Storage, TheHotKeyIsTakenAsWritten) {
    Prepare();
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"[Einstellungen]\r\nSpecialKey = 75\r\n", 75},
        {"[Einstellungen]\r\nSpecialKey = 300\r\n", 300},
        {"[Einstellungen]\r\nSpecialKey = abc\r\n", 0},
        {"[Einstellungen]\r\nAnderes = 1\r\n", 88},
        {"[Andere]\r\nSpecialKey = 75\r\n", 88},
        {"", 88},
    };
    for (const Case& c : cases) {
        WriteBytes(settings(), c.text);
        SpecialKey = -1;
        LoadSettings(ProductName, SettingsName);
        EXPECT_EQ(SpecialKey, c.expected) << c.text;
    }
    DeleteFileA(settings().c_str());
    SpecialKey = -1;
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 88) << "missing document";
}

TEST_F(Storage, SavingKeepsOnlyTheHotKey) {
    Prepare();
    WriteBytes(settings(), "; Kommentar\r\n[Andere]\r\nx = 1\r\n[Einstellungen]\r\nSpecialKey = 70\r\nMehr = 2\r\n");
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 70);
    SpecialKey = 75;
    SaveSettings(ProductName, SettingsName);
    EXPECT_EQ(ReadBytes(settings()), "[Einstellungen]\r\nSpecialKey = 75\r\n");
    SpecialKey = 0;
    LoadSettings(ProductName, SettingsName);
    EXPECT_EQ(SpecialKey, 75);
}
