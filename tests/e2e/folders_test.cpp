// Whole folders: a folder row holds the folder, everything below it and whatever appears there
// later, lets it all go at once when the row goes, and keeps the window answering while it works
// through a large tree.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Another program opens the file to change it, sharing everything.
bool Writable(const std::string& path) {
    HANDLE file = CreateFileW(ToWidePath(path, 0).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Renames the folder and back; true when the rename went through.
bool Renamable(const std::string& folder) {
    std::string other = folder + "-umbenannt";
    if (!MoveFileW(ToWide(folder).c_str(), ToWide(other).c_str())) return false;
    MoveFileW(ToWide(other).c_str(), ToWide(folder).c_str());
    return true;
}

} // namespace

class Folders : public VerriqTest {
  protected:
    void MakeProject() {
        project = box.files + "\\Projekt";
        ASSERT_TRUE(MakeFolders(project + "\\Unterordner"));
        top = box.MakeFile("Projekt\\Plan.txt", "Plan");
        deep = box.MakeFile("Projekt\\Unterordner\\Notiz.txt", "Notiz");
    }
    std::string project, top, deep;
};

TEST_F(Folders, ADroppedFolderIsHeldWholeAndListedOnce) {
    MakeProject();
    Start(0);
    ASSERT_TRUE(DropFiles(verriq, {project}));
    ASSERT_TRUE(Holding(2));
    EXPECT_EQ(verriq.Rows(), std::vector<std::string>{project + "\\"});
    EXPECT_EQ(ReadBytes(box.fileList()), project + "\\\r\n");
    EXPECT_FALSE(Writable(top));
    EXPECT_FALSE(Writable(deep));
    EXPECT_FALSE(Renamable(project));
    EXPECT_FALSE(Renamable(project + "\\Unterordner"));
    // The folder can still be listed.
    EXPECT_EQ(RunCmd("dir \"" + project + "\""), 0);
    // A file still open in its creator's hands: the row turns red and says which and why.
    std::string open = project + "\\offen.txt";
    HANDLE writer = CreateFileW(ToWide(open).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Sleep(1500);
    // The pointer comes from outside the list, as a hand would bring it.
    BringToFront(verriq.main());
    HoverAt(5, 5);
    Sleep(200);
    ASSERT_NE(HoverRow(0), nullptr) << "a folder row tells what it holds";
    Sleep(300);
    SaveScreenshot("folder_row_with_tooltip");
    HoverAt(5, 5);
    CloseHandle(writer);
    EXPECT_TRUE(Holding(3));
    // Dropped again, the folder is not listed twice: its row is selected instead. A file inside
    // it gets a row of its own that names the folder row holding it.
    ASSERT_TRUE(DropFiles(verriq, {project, top}));
    ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == 2; }));
    // The selection comes last, once the list is on disk and the status bar tells it.
    EXPECT_TRUE(WaitFor([&] { return verriq.SelectedRows() == std::vector<int>{0}; }))
        << "selected: " << verriq.SelectedRows().size();
    EXPECT_EQ(verriq.StatusText(), StatusFor(3));
    Sleep(300);
    EXPECT_NE(ReadBytes(box.fileList()).find(top), std::string::npos);
    Quit();
    EXPECT_TRUE(Writable(top));
    EXPECT_TRUE(Renamable(project));
}

TEST_F(Folders, AListedFolderIsHeldAtStartWhatAppearsLaterOnceItsCreatorLetsGoAndRemovalFreesEverything) {
    MakeProject();
    // Listed at the start, the folder is held at once.
    WriteFileList(project + "\\\r\n");
    Start(2);
    EXPECT_FALSE(Writable(deep));
    EXPECT_FALSE(Renamable(project));
    // A creator still writing: none of its writes may fail, however long it takes.
    std::string fresh = project + "\\neu.txt";
    HANDLE writer = CreateFileW(ToWide(fresh).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 5; ++i) {
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(writer, "Zeile\r\n", 7, &written, nullptr) && written == 7) << i;
        Sleep(700);
    }
    EXPECT_EQ(verriq.StatusText(), StatusFor(2));
    CloseHandle(writer);
    EXPECT_TRUE(Holding(3, 5000));
    EXPECT_FALSE(Writable(fresh));
    // A new subfolder and a file in it.
    std::string later = project + "\\Später";
    ASSERT_TRUE(MakeFolders(later));
    ASSERT_TRUE(WriteBytes(later + "\\Anhang.txt", "Anhang"));
    EXPECT_TRUE(Holding(4, 5000));
    EXPECT_FALSE(Writable(later + "\\Anhang.txt"));
    EXPECT_FALSE(Renamable(later));
    // Removing the row lets every file and folder go at once.
    RemoveRow(0, 0);
    EXPECT_EQ(verriq.StatusText(), StatusFor(0));
    for (const std::string& path : {top, deep, fresh, later + "\\Anhang.txt"}) EXPECT_TRUE(Writable(path)) << path;
    EXPECT_TRUE(Renamable(later));
    EXPECT_TRUE(Renamable(project));
}

TEST_F(Folders, TheWindowAnswersWhileALargeFolderIsHeld) {
    const int count = 5000;
    std::string large = box.files + "\\Viele";
    ASSERT_TRUE(MakeFolders(large));
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(WriteBytes(large + "\\datei-" + std::to_string(i) + ".txt", "x")) << i;
    Start(0);
    ASSERT_TRUE(DropFiles(verriq, {large}));
    // The window answers at once all the while, and shows how far it got on the way.
    DWORD slowest = 0, start = GetTickCount();
    int probes = 0;
    bool progressShown = false;
    for (std::string status; (status = verriq.StatusText()) != StatusFor(count) && GetTickCount() - start < 120000;
         ++probes, Sleep(5)) {
        progressShown |= status != StatusFor(0);
        DWORD sent = GetTickCount();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(verriq.main(), WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
        slowest = std::max(slowest, GetTickCount() - sent);
    }
    EXPECT_EQ(verriq.StatusText(), StatusFor(count));
    EXPECT_TRUE(progressShown);
    // Work done in one piece on the window's thread keeps it away for seconds; a second leaves
    // room for a busy machine and a 32-bit Wine under an emulator.
    EXPECT_LE(slowest, 1000u);
    std::cout << "slowest of " << probes << " answers while holding " << count << " files: " << slowest << " ms\n";
    EXPECT_FALSE(Writable(large + "\\datei-" + std::to_string(count - 1) + ".txt"));
    // A burst of new files, more than the system queues between two looks: all are held.
    const int burst = 2000;
    for (int i = 0; i < burst; ++i)
        ASSERT_TRUE(WriteBytes(large + "\\neu-" + std::to_string(i) + ".txt", "y")) << i;
    EXPECT_TRUE(Holding(count + burst, 120000));
}

TEST_F(Folders, ThePickerAddsAFolderAndNeitherTheStartFolderNorABrowsedOneStaysBusy) {
    MakeProject();
    std::string browsed = box.files + "\\Durchsucht";
    ASSERT_TRUE(MakeFolders(browsed));
    box.MakeFile("Durchsucht\\x.txt", "x");
    // Started from a folder of its own, as from a download folder: that folder stays free too.
    std::string startedIn = box.files + "\\Gestartet";
    ASSERT_TRUE(MakeFolders(startedIn));
    ASSERT_TRUE(verriq.Start(box.appdata, {}, startedIn));
    ASSERT_NE(verriq.WaitMainWindow(), nullptr);
    EXPECT_TRUE(Renamable(startedIn));
    verriq.ClickButton(ButtonFolder);
    HWND picker = verriq.WaitWindow("Ordner hinzufügen");
    ASSERT_NE(picker, nullptr) << "the folder picker did not appear";
    HWND name = GetDlgItem(picker, 1152);
    ASSERT_NE(name, nullptr) << "no name box in the folder picker";
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(project).c_str()));
    BringToFront(picker);
    Tap(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); })) << "the picker did not take the folder";
    EXPECT_TRUE(Holding(2));
    EXPECT_EQ(verriq.Rows(), std::vector<std::string>{project + "\\"});
    // The file dialog goes to another folder and is cancelled: that folder stays free.
    HWND dialog = OpenAddDialog();
    ASSERT_NE(dialog, nullptr);
    EnterFileName(dialog, browsed);
    Sleep(500);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(Renamable(browsed));
    EXPECT_TRUE(Renamable(startedIn));
    EXPECT_FALSE(Renamable(project));
}
