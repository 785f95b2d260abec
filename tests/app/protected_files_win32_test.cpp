// Rows and locks: every row holds its own file, removal lets go of exactly the removed rows'
// files, and a file that cannot be held is never shown or counted as protected.
#include "app/protected_files.h"

#include "controls/gadget.h"
#include "settings/linked_list.h"
#include "tests/app/app_test_support.h"

using namespace apptest;

class ProtectedFileList : public MainWindowTest {
  protected:
    void AddRow(const std::string& path) { InsertGadgetItem(GadgetFileList, -1, path.c_str(), nullptr, 0); }
    int TextColor(int row) { return ReadGadgetItemColor(GadgetFileList, row, 1, 0); }
};

TEST_F(ProtectedFileList, LocksEveryRowAndCountsOnlyWhatIsHeld) {
    std::string first = MakeFile("erste.txt"), second = MakeFile("zweite.txt");
    AddRow(first);
    AddRow(root + "\\fehlt.txt");
    AddRow(second);
    AddRow(first); // the same file again: the first row holds it already
    AddRow("");
    LockListedFiles(GadgetFileList);

    ASSERT_EQ(ListCount(ProtectedFiles), 5);
    EXPECT_NE(ProtectedFileHandle(0), HFILE_ERROR);
    EXPECT_EQ(ProtectedFileHandle(1), HFILE_ERROR);
    EXPECT_NE(ProtectedFileHandle(2), HFILE_ERROR);
    EXPECT_EQ(ProtectedFileHandle(3), HFILE_ERROR);
    EXPECT_EQ(ProtectedFileHandle(4), HFILE_ERROR);
    EXPECT_EQ(HeldLockCount(), 2);
    EXPECT_EQ(StatusText(), "2 Dateien werden geschützt");

    EXPECT_EQ(TextColor(0), -1);
    EXPECT_EQ(TextColor(1), FailedLockColor);
    EXPECT_EQ(TextColor(2), -1);
    EXPECT_EQ(TextColor(3), FailedLockColor);
    EXPECT_EQ(TextColor(4), FailedLockColor);

    // Held means: nobody else reads, deletes or renames it.
    EXPECT_TRUE(IsHeld(first));
    EXPECT_TRUE(IsHeld(second));
    EXPECT_FALSE(DeleteFileA(first.c_str()));
    EXPECT_FALSE(MoveFileA(first.c_str(), (root + "\\anders.txt").c_str()));
    EXPECT_EQ(ReadBytes(first), "<unreadable>");
}

TEST_F(ProtectedFileList, RemovingReleasesExactlyTheSelectedRows) {
    std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt"), d = MakeFile("d.txt");
    for (const std::string& path : {a, b, c, d}) AddRow(path);
    LockListedFiles(GadgetFileList);
    int handleB = ProtectedFileHandle(1), handleD = ProtectedFileHandle(3);

    Select(0);
    Select(2);
    OnFileListEvent();
    EXPECT_TRUE(RemoveEnabled());
    RemoveSelectedFiles();

    ASSERT_EQ(GadgetItemCount(GadgetFileList), 2);
    EXPECT_EQ(std::string(ReadGadgetItemText(GadgetFileList, 0, 0)), b);
    EXPECT_EQ(std::string(ReadGadgetItemText(GadgetFileList, 1, 0)), d);
    ASSERT_EQ(ListCount(ProtectedFiles), 2);
    EXPECT_EQ(ProtectedFileHandle(0), handleB);
    EXPECT_EQ(ProtectedFileHandle(1), handleD);
    EXPECT_FALSE(IsHeld(a));
    EXPECT_TRUE(IsHeld(b));
    EXPECT_FALSE(IsHeld(c));
    EXPECT_TRUE(IsHeld(d));
    EXPECT_FALSE(RemoveEnabled());
    EXPECT_EQ(StatusText(), "2 Dateien werden geschützt");
}

TEST_F(ProtectedFileList, RemovingAnUnheldRowLetsNothingElseGo) {
    std::string held = MakeFile("gehalten.txt");
    AddRow(held);
    AddRow(held);
    LockListedFiles(GadgetFileList);
    ASSERT_EQ(StatusText(), "1 Datei wird geschützt");
    // The second row holds nothing: removing it must not touch the first row's lock.
    Select(1);
    RemoveSelectedFiles();
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 1);
    EXPECT_TRUE(IsHeld(held));
    EXPECT_EQ(StatusText(), "1 Datei wird geschützt");
    // The held row goes: the file is free although it was listed twice.
    Select(0);
    RemoveSelectedFiles();
    EXPECT_FALSE(IsHeld(held));
    EXPECT_EQ(StatusText(), "0 Dateien werden geschützt");
    EXPECT_EQ(ListCount(ProtectedFiles), 0);
}

TEST_F(ProtectedFileList, RemoveWithNothingSelectedOnlyGreysTheButton) {
    std::string a = MakeFile("a.txt");
    AddRow(a);
    LockListedFiles(GadgetFileList);
    RemoveSelectedFiles();
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 1);
    EXPECT_TRUE(IsHeld(a));
    EXPECT_FALSE(RemoveEnabled());
}

TEST_F(ProtectedFileList, TheRemoveButtonFollowsTheSelection) {
    AddRow(MakeFile("a.txt"));
    AddRow(MakeFile("b.txt"));
    LockListedFiles(GadgetFileList);
    EXPECT_FALSE(RemoveEnabled());
    Select(1);
    OnFileListEvent();
    EXPECT_TRUE(RemoveEnabled());
    WriteGadgetItemState(GadgetFileList, 1, 0);
    OnFileListEvent();
    EXPECT_FALSE(RemoveEnabled());
}

TEST_F(ProtectedFileList, StatusTextSaysOneFileInTheSingular) {
    UpdateStatusText();
    EXPECT_EQ(StatusText(), "0 Dateien werden geschützt");
    AddRow(MakeFile("a.txt"));
    LockListedFiles(GadgetFileList);
    EXPECT_EQ(StatusText(), "1 Datei wird geschützt");
}
