// Files under any name the file system allows: names in several scripts chosen in the dialog,
// paths beyond the classic limit, files dropped from the Explorer; each is held, shown as it is
// named and kept in the list across a restart.
#include "tests/e2e/app_steps.h"

#include <shlobj.h>

using namespace e2e;

namespace {

const std::string MixedName = "Отчёт łódź 日本.txt";

// Another program's attempt to read the file, through the form that lifts the classic limit.
bool OthersCanOpen(const std::string& path) {
    HANDLE file = CreateFileW(ToWidePath(path, 0).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

} // namespace

class Names : public VerriqTest {};

TEST_F(Names, ANameInSeveralScriptsIsHeldStoredAsUtf8AndKeptAcrossARestart) {
    std::string path = box.MakeFile(MixedName, "Bericht");
    Start("0 Dateien werden geschützt");
    AddThroughDialog("\"" + MixedName + "\"");
    ASSERT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(1); })) << verriq.StatusText();
    EXPECT_EQ(verriq.Rows(), std::vector<std::string>{path});
    EXPECT_FALSE(OthersCanOpen(path));
    // Not every character has a place in the ANSI code page: the list becomes UTF-8 with its mark.
    EXPECT_EQ(ReadBytes(box.fileList()), "\xEF\xBB\xBF" + path + "\r\n");
    SaveScreenshot("name_in_several_scripts", verriq.main());

    verriq.ClickButton(ButtonQuit);
    ASSERT_EQ(verriq.WaitExit(), 0);
    EXPECT_TRUE(OthersCanOpen(path));
    Verriq again;
    ASSERT_TRUE(again.Start(box.appdata));
    ASSERT_NE(again.WaitMainWindow(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return again.StatusText() == StatusFor(1); })) << again.StatusText();
    EXPECT_EQ(again.Rows(), std::vector<std::string>{path});
    EXPECT_FALSE(OthersCanOpen(path));
}

TEST_F(Names, APathBeyondTheClassicLimitIsHeld) {
    std::string folder = box.files;
    while (folder.size() < 300) {
        folder += "\\" + std::string(50, 'v');
        ASSERT_TRUE(CreateDirectoryW(ToWidePath(folder, 0).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    std::string path = folder + "\\tief.txt";
    ASSERT_TRUE(WriteBytes(path, "tief unten"));
    WriteFileList(path + "\r\n");
    Start("1 Datei wird geschützt");
    EXPECT_EQ(verriq.Rows(), std::vector<std::string>{path});
    EXPECT_FALSE(OthersCanOpen(path));
    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
    // The list keeps the user's form of the path, in the ANSI code page as before.
    EXPECT_EQ(ReadBytes(box.fileList()), path + "\r\n");
}

TEST_F(Names, DroppedFilesAndFoldersAreAdded) {
    std::string a = box.MakeFile("gezogen eins.txt", "eins"), b = box.MakeFile("gezogen zwei.txt", "zwei");
    std::string empty = box.root + "\\leer";
    ASSERT_TRUE(MakeFolders(empty));
    Start("0 Dateien werden geschützt");
    ASSERT_TRUE(DropFiles(verriq, {a, empty, b}));
    ASSERT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(2); })) << verriq.StatusText();
    // A folder's row is its path with a backslash at the end.
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{a, empty + "\\", b}));
    EXPECT_FALSE(OthersCanOpen(a));
    EXPECT_FALSE(OthersCanOpen(b));
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\r\n" + empty + "\\\r\n" + b + "\r\n");

    // Entf on the list does what "Entfernen" does.
    verriq.ClickRow(0);
    Tap(VK_DELETE, true);
    ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == 2; })) << verriq.RowCount();
    EXPECT_TRUE(OthersCanOpen(a));
    EXPECT_EQ(ReadBytes(box.fileList()), empty + "\\\r\n" + b + "\r\n");
}
