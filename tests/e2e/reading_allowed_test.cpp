// A row that allows reading, reached through the row menu (right click, Shift+F10, the menu key):
// others read and copy the file but never change, delete or rename it; the level survives a kill
// and a restart; a viewer neither keeps the file from protection nor loses it to the full lock.
#include "tests/e2e/driver.h"

using namespace e2e;

class ReadingAllowed : public VerriqTest {
  protected:
    // Opens the row menu with the given gesture and chooses "Lesen erlauben" by its letter.
    void ChooseAllowReading(const std::function<void()>& open, const char* shot = nullptr) {
        BringToFront(verriq.main());
        open();
        ASSERT_NE(verriq.WaitTopWindowOfClass("#32768", 5000), nullptr) << "the row menu did not open";
        Sleep(300);
        if (shot) SaveScreenshot(shot, verriq.main());
        Tap('L');
        ASSERT_TRUE(WaitFor([&] { return !verriq.WaitTopWindowOfClass("#32768", 0); })) << "the menu did not close";
    }
    std::string Level(int row) { return verriq.CellText(row, 1); }
    const std::vector<std::string> ReadAndCopy = {"type", "copy"};
};

TEST_F(ReadingAllowed, ARowSwitchedByItsMenuIsReadAndCopiedButNeverChangedKeepsItsLevelAndWaitsForAViewer) {
    const std::string content = "Rechnung 2026", photoContent = "Foto";
    std::string a = box.MakeFile("rechnung.txt", content), b = box.MakeFile("vertrag.txt", "Vertrag");
    std::string photo = box.MakeFile("foto.jpg", photoContent);
    // A viewer that has the photo open before Verriq starts does not keep it from being protected.
    HANDLE viewer = CreateFileA(photo.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    const std::string photoLine = photo + "\tlesen\r\n";
    WriteFileList(a + "\r\n" + b + "\r\n" + photoLine);
    Start(3);
    EXPECT_EQ(WhatCmdDid(photo, photoContent, box.root), ReadAndCopy);
    const std::string locked = Level(0);
    ASSERT_FALSE(locked.empty());
    EXPECT_EQ(Level(1), locked);
    verriq.ClickRow(0);
    ChooseAllowReading([&] { verriq.ClickRow(0, true); }, "row_menu_open");
    ASSERT_TRUE(WaitFor([&] { return Level(0) != locked; })) << Level(0);
    const std::string reading = Level(0);
    EXPECT_EQ(Level(2), reading);
    // Killed at once: the level is on disk already.
    verriq.Kill();
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\tlesen\r\n" + b + "\r\n" + photoLine);
    Start(3);
    EXPECT_EQ(Level(0), reading);
    EXPECT_EQ(Level(1), locked);
    BringToFront(verriq.main());
    SaveScreenshot("both_levels", verriq.main());
    EXPECT_EQ(WhatCmdDid(a, content, box.root), ReadAndCopy);
    EXPECT_EQ(ReadBytes(a), content);
    EXPECT_TRUE(LockedAgainstOthers(b, "Vertrag", box.root));
    // Shift+F10 on the selection: back to the full lock, reading refused as well.
    verriq.ClickRow(0);
    ChooseAllowReading([] { Chord({{VK_SHIFT, false}, {VK_F10, false}}); });
    ASSERT_TRUE(WaitFor([&] { return Level(0) == locked; })) << Level(0);
    EXPECT_TRUE(LockedAgainstOthers(a, content, box.root));
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\r\n" + b + "\r\n" + photoLine);
    // The menu key on two rows: one level for both.
    verriq.AddRowToSelection(1);
    ChooseAllowReading([] { Tap(VK_APPS); });
    ASSERT_TRUE(WaitFor([&] { return Level(0) == reading && Level(1) == reading; }));
    EXPECT_EQ(WhatCmdDid(b, "Vertrag", box.root), ReadAndCopy);

    // Back to the full lock while the viewer reads: still held with reading shared, and the row
    // says why; the full lock follows once the viewer lets go.
    verriq.ClickRow(2);
    ChooseAllowReading([&] { verriq.ClickRow(2, true); });
    ASSERT_TRUE(WaitFor([&] { return Level(2) != reading; }));
    EXPECT_EQ(verriq.StatusText(), StatusFor(3));
    BringToFront(verriq.main());
    EXPECT_NE(HoverRow(2), nullptr) << "the waiting row does not say why";
    Sleep(300);
    SaveScreenshot("waiting_for_reader", verriq.main());
    HoverAt(5, 5);
    EXPECT_EQ(WhatCmdDid(photo, photoContent, box.root), ReadAndCopy);
    CloseHandle(viewer);
    EXPECT_TRUE(WaitFor([&] { return !ReadableByOthers(photo, photoContent, box.root); }, 8000))
        << "the full lock did not follow once the viewer let go";
    EXPECT_TRUE(LockedAgainstOthers(photo, photoContent, box.root));
    Quit();
    EXPECT_EQ(ReadBytes(a), content);
}
