// A row that allows reading, as a user gets there: through the row menu (right click, Shift+F10,
// the menu key). Other programs then read and copy the file, and still cannot change, delete or
// rename it; the level survives a kill and a restart; a viewer that has the file open does not
// keep it from being protected; and going back to the full lock waits for the viewer, holding
// the file all the while.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const std::vector<std::string> ReadAndCopy = {"type", "copy"};

} // namespace

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
};

TEST_F(ReadingAllowed, ARowSwitchedByItsMenuIsReadAndCopiedButNeverChangedAndKeepsItsLevel) {
    const std::string content = "Rechnung 2026";
    std::string a = box.MakeFile("rechnung.txt", content), b = box.MakeFile("vertrag.txt", "Vertrag");
    WriteFileList(a + "\r\n" + b + "\r\n");
    Start(2);
    const std::string locked = Level(0);
    ASSERT_FALSE(locked.empty());
    EXPECT_EQ(Level(1), locked);
    verriq.ClickRow(0);
    ChooseAllowReading([&] { verriq.ClickRow(0, true); }, "row_menu_open");
    ASSERT_TRUE(WaitFor([&] { return Level(0) != locked; })) << Level(0);
    const std::string reading = Level(0);
    // Killed at once: the level is on disk already.
    verriq.Kill();
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\tlesen\r\n" + b + "\r\n");
    Start(2);
    EXPECT_EQ(Level(0), reading);
    EXPECT_EQ(Level(1), locked);
    BringToFront(verriq.main());
    Sleep(300);
    SaveScreenshot("both_levels", verriq.main());
    EXPECT_EQ(WhatCmdDid(a, content, box.root), ReadAndCopy);
    EXPECT_EQ(ReadBytes(a), content);
    EXPECT_TRUE(LockedAgainstOthers(b, "Vertrag", box.root));
    // Shift+F10 on the selection: back to the full lock, reading refused as well.
    verriq.ClickRow(0);
    ChooseAllowReading([] { Chord({{VK_SHIFT, false}, {VK_F10, false}}); });
    ASSERT_TRUE(WaitFor([&] { return Level(0) == locked; })) << Level(0);
    EXPECT_TRUE(LockedAgainstOthers(a, content, box.root));
    EXPECT_EQ(ReadBytes(box.fileList()), a + "\r\n" + b + "\r\n");
    // The menu key on both rows: one level for all.
    verriq.AddRowToSelection(1);
    ChooseAllowReading([] { Tap(VK_APPS); });
    ASSERT_TRUE(WaitFor([&] { return Level(0) == reading && Level(1) == reading; }));
    EXPECT_EQ(WhatCmdDid(b, "Vertrag", box.root), ReadAndCopy);
    Quit();
    EXPECT_EQ(ReadBytes(a), content);
}

TEST_F(ReadingAllowed, AViewerDoesNotKeepTheFileFromProtectionAndTheFullLockWaitsForIt) {
    const std::string content = "Foto";
    std::string photo = box.MakeFile("foto.jpg", content);
    // A viewer that has the file open before Verriq starts.
    HANDLE viewer = CreateFileA(photo.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    WriteFileList(photo + "\tlesen\r\n");
    Start(1);
    EXPECT_EQ(WhatCmdDid(photo, content, box.root), ReadAndCopy);
    const std::string reading = Level(0);
    verriq.ClickRow(0);
    ChooseAllowReading([&] { verriq.ClickRow(0, true); });
    ASSERT_TRUE(WaitFor([&] { return Level(0) != reading; }));
    // Still held with reading shared while the viewer reads: nothing gets through but reading.
    EXPECT_EQ(verriq.StatusText(), StatusFor(1));
    BringToFront(verriq.main());
    EXPECT_NE(HoverRow(0), nullptr) << "the waiting row does not say why";
    Sleep(300);
    SaveScreenshot("waiting_for_reader", verriq.main());
    HoverAt(5, 5);
    EXPECT_EQ(WhatCmdDid(photo, content, box.root), ReadAndCopy);
    CloseHandle(viewer);
    EXPECT_TRUE(WaitFor([&] { return !ReadableByOthers(photo, content, box.root); }, 8000))
        << "the full lock did not follow once the viewer let go";
    EXPECT_TRUE(LockedAgainstOthers(photo, content, box.root));
    Quit();
}
