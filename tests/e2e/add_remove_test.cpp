// Adding files through the system's open dialog and removing selected rows: exactly the
// chosen files are held, and exactly the removed ones are let go.
#include "tests/e2e/driver.h"

using namespace e2e;

class AddRemove : public VerriqTest {};

TEST_F(AddRemove, AddsChosenFilesAndRemovesSelectedRows) {
    std::string a = box.MakeFile("a.txt", "Datei A"), b = box.MakeFile("b.txt", "Datei B");
    std::string c = box.MakeFile("c.txt", "Datei C"), d = box.MakeFile("d.txt", "Datei D");
    Start(0);
    // Cancelling changes nothing.
    HWND dialog = OpenAddDialog();
    ASSERT_NE(dialog, nullptr) << "the open dialog did not appear";
    EXPECT_FALSE(IsWindowEnabled(verriq.main())) << "the main window takes input behind the dialog";
    EnterFileName(dialog, box.files);
    Sleep(500);
    SaveScreenshot("open_dialog");
    ASSERT_TRUE(PressButton(dialog, "Abbrechen"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    Sleep(200);
    EXPECT_EQ(verriq.RowCount(), 0);
    AddThroughDialog("\"a.txt\" \"b.txt\"");
    EXPECT_TRUE(Holding(2));
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{a, b}));
    EXPECT_TRUE(LockedAgainstOthers(a, "Datei A", box.root));
    EXPECT_TRUE(LockedAgainstOthers(b, "Datei B", box.root));
    AddThroughDialog("\"c.txt\" \"d.txt\"");
    ASSERT_TRUE(Holding(4));
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{a, b, c, d}));
    EXPECT_FALSE(verriq.ButtonEnabled(ButtonRemove));
    verriq.ClickRow(0);
    EXPECT_TRUE(WaitFor([&] { return verriq.ButtonEnabled(ButtonRemove); }));
    verriq.AddRowToSelection(2);
    ASSERT_TRUE(WaitFor([&] { return verriq.SelectedRows() == std::vector<int>{0, 2}; }));
    SaveScreenshot("two_rows_selected", verriq.main());
    verriq.ClickButton(ButtonRemove);
    ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == 2; }));
    EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{b, d}));
    EXPECT_TRUE(Holding(2, 0));
    EXPECT_FALSE(verriq.ButtonEnabled(ButtonRemove));
    EXPECT_TRUE(ReadableByOthers(a, "Datei A", box.root));
    EXPECT_TRUE(ReadableByOthers(c, "Datei C", box.root));
    EXPECT_TRUE(LockedAgainstOthers(b, "Datei B", box.root));
    EXPECT_TRUE(LockedAgainstOthers(d, "Datei D", box.root));
    // After a removal from the middle, a new row still pairs with its own lock.
    AddThroughDialog("\"a.txt\"");
    ASSERT_TRUE(Holding(3));
    RemoveRow(2, 2);
    EXPECT_TRUE(ReadableByOthers(a, "Datei A", box.root));
    EXPECT_TRUE(LockedAgainstOthers(b, "Datei B", box.root));
    EXPECT_TRUE(LockedAgainstOthers(d, "Datei D", box.root));
    // Clicking below the rows leaves nothing selected and greys Entfernen again.
    verriq.ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return verriq.ButtonEnabled(ButtonRemove); }));
    RECT list = ClientOnScreen(verriq.list());
    MouseClick((list.left + list.right) / 2, list.bottom - 10);
    EXPECT_TRUE(WaitFor([&] { return !verriq.ButtonEnabled(ButtonRemove); }));
    Quit();
    EXPECT_EQ(ReadBytes(box.fileList()), b + "\r\n" + d + "\r\n");
}
