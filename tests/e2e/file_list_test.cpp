// A list written by hand (or by an older run) is loaded in order, its files are locked against
// every other program, a file that cannot be held is shown as such, and quitting writes the
// list back with CR LF and lets the files go.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Pixels of the red that marks an unprotected row; anti-aliased text still has some.
int RedPixels(const RECT& area) {
    int red = 0;
    for (COLORREF c : GrabPixels(area)) red += GetRValue(c) >= 140 && GetGValue(c) <= 70 && GetBValue(c) <= 70;
    return red;
}

} // namespace

class FileList : public VerriqTest {
  protected:
    void SetUp() override {
        first = box.MakeFile("erste.txt", "Inhalt der ersten Datei");
        umlaut = box.MakeFile("Größe und Übersicht.txt", "Inhalt mit Umlaut");
        missing = box.files + "\\gibt es nicht.txt";
        // CR LF, LF, an empty line ended by CR, the missing file without a line end.
        WriteFileList(Ansi(first + "\r\n" + umlaut + "\n" + "\r" + missing));
    }
    std::string first, umlaut, missing;
};

TEST_F(FileList, LoadsLocksAndQuitsWithTheToolbarOrTheMenu) {
    for (bool menu : {false, true}) {
        SCOPED_TRACE(menu ? "menu" : "toolbar");
        Start(2);
        EXPECT_EQ(verriq.Rows(), (std::vector<std::string>{first, umlaut, "", missing}));
        EXPECT_TRUE(LockedAgainstOthers(first, "Inhalt der ersten Datei", box.root));
        EXPECT_TRUE(LockedAgainstOthers(umlaut, "Inhalt mit Umlaut", box.root));
        // The rows that hold nothing are red; the held ones are not.
        BringToFront(verriq.main());
        Sleep(300);
        EXPECT_EQ(RedPixels(verriq.RowRect(0)), 0);
        EXPECT_EQ(RedPixels(verriq.RowRect(1)), 0);
        EXPECT_GT(RedPixels(verriq.RowRect(3)), 10) << "the missing file's row does not look unprotected";
        if (menu) {
            ChooseMenuEntry(verriq.main(), 0, EntryQuit); // Programm > Beenden
        } else {
            SaveScreenshot("main_window_with_rows", verriq.main());
            verriq.ClickButton(ButtonQuit);
        }
        EXPECT_EQ(verriq.WaitExit(), 0);
        // Every path fits the ANSI code page: the list stays in it, byte for byte.
        EXPECT_EQ(ReadBytes(box.fileList()), Ansi(first + "\r\n" + umlaut + "\r\n\r\n" + missing + "\r\n"));
        EXPECT_TRUE(ReadableByOthers(first, "Inhalt der ersten", box.root));
        EXPECT_TRUE(ReadableByOthers(umlaut, "Inhalt mit Umlaut", box.root));
        EXPECT_EQ(ReadBytes(first), "Inhalt der ersten Datei");
        EXPECT_EQ(ReadBytes(umlaut), "Inhalt mit Umlaut");
        WriteFileList(Ansi(first + "\r\n" + umlaut + "\n" + "\r" + missing));
    }
}

TEST_F(FileList, SameFileTwiceIsHeldOnce) {
    WriteFileList(first + "\r\n" + first + "\r\n");
    Start(1);
    EXPECT_EQ(verriq.RowCount(), 2);
    BringToFront(verriq.main());
    Sleep(300);
    EXPECT_EQ(RedPixels(verriq.RowRect(0)), 0);
    EXPECT_GT(RedPixels(verriq.RowRect(1)), 10) << "the second row looks protected";
    // Removing the held row hands the file on to the row that names it too: it stays listed,
    // so it stays protected.
    RemoveRow(0, 1);
    EXPECT_TRUE(Holding(1, 6000));
    EXPECT_FALSE(ReadableByOthers(first, "Inhalt der ersten", box.root));
    Quit();
    EXPECT_EQ(ReadBytes(box.fileList()), first + "\r\n");
}
