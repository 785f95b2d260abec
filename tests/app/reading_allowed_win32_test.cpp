// The level "lesen erlaubt": others may read and copy, and nothing else; switching a row either
// way leaves its file held at every moment we can observe, a reader holds the full lock off
// without opening a gap, and a folder row's files, later ones too, follow the row's level.
#include "app/lock_texts.h"
#include "app/protected_files.h"

#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

const ProtectedFile& Row(int index) { return Protection().Files().at(index); }

HANDLE OpenFor(const std::string& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileW(ToWide(path).c_str(), access, share, nullptr, disposition, 0, nullptr);
}

const std::vector<std::string> Nothing = {};

class ReadingAllowed : public MainWindowTest {
  protected:
    int TextColor(int row) { return ReadGadgetItemColor(GadgetFileList, row, ColorText, 0); }
    std::string Level(int row) { return ReadGadgetItemText(GadgetFileList, row, 1); }
    void SelectOnly(const std::vector<int>& rows) {
        WriteGadgetState(GadgetFileList, -1);
        for (int row : rows) WriteGadgetItemState(GadgetFileList, row, 1);
    }
};

} // namespace

TEST_F(ReadingAllowed, AFileRowSwitchesBothWaysAndRefusesEveryChangeAtEitherLevel) {
    std::string a = MakeFile("a.txt", "Inhalt a"), b = MakeFile("b.txt", "Inhalt b");
    AddChosenFiles({a, b});
    ASSERT_EQ(Row(0).state, LockState::Held);
    EXPECT_EQ(Level(0), LevelText(false));
    EXPECT_EQ(WhatGotThrough(a), Nothing);

    // One row reading, one locked: the menu's command switches both to reading.
    SelectOnly({0});
    AllowReadingForSelection();
    EXPECT_TRUE(Row(0).readable);
    EXPECT_EQ(WhatGotThrough(a), ReadingOnly);
    SelectOnly({0, 1});
    EXPECT_FALSE(SelectionAllowsReading());
    AllowReadingForSelection();
    EXPECT_TRUE(SelectionAllowsReading());
    for (int row : {0, 1}) {
        EXPECT_EQ(Row(row).state, LockState::Held);
        EXPECT_EQ(Level(row), LevelText(true));
        EXPECT_EQ(TextColor(row), -1);
    }
    EXPECT_EQ(WhatGotThrough(b), ReadingOnly);
    EXPECT_EQ(Protection().HeldCount(), 2);

    // All reading: the same command locks them again.
    AllowReadingForSelection();
    EXPECT_FALSE(Row(0).readable);
    EXPECT_EQ(Level(1), LevelText(false));
    EXPECT_EQ(WhatGotThrough(a), Nothing);
    EXPECT_EQ(WhatGotThrough(b), Nothing);
    ReleaseAllProtectedFiles();
    EXPECT_EQ(ReadBytes(a), "Inhalt a");
    EXPECT_EQ(ReadBytes(b), "Inhalt b");
}

TEST_F(ReadingAllowed, AReaderKeepsTheFullLockOffButTheFileHeldUntilItLetsGo) {
    std::string file = MakeFile("gelesen.txt", "bleibt");
    AddChosenFiles({file});
    SelectOnly({0});
    AllowReadingForSelection();
    HANDLE viewer = OpenFor(file, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);

    AllowReadingForSelection();
    EXPECT_FALSE(Row(0).readable);
    EXPECT_EQ(Row(0).state, LockState::ReadersWait);
    EXPECT_EQ(Level(0), LevelText(false));
    EXPECT_EQ(TextColor(0), FailedLockColor);
    EXPECT_FALSE(UnprotectedReason(Row(0)).empty());
    EXPECT_EQ(Protection().HeldCount(), 1);
    // Still held: only reading gets through, as before the switch.
    EXPECT_EQ(WhatGotThrough(file), ReadingOnly);
    EXPECT_FALSE(RetryUnheldFiles(0));
    EXPECT_EQ(WhatGotThrough(file), ReadingOnly);

    CloseHandle(viewer);
    EXPECT_TRUE(RetryUnheldFiles(0));
    EXPECT_EQ(Row(0).state, LockState::Held);
    EXPECT_EQ(TextColor(0), -1);
    EXPECT_EQ(UnprotectedReason(Row(0)), "");
    EXPECT_EQ(WhatGotThrough(file), Nothing);

    // Back to reading while it waits: no need to let go at all.
    AllowReadingForSelection();
    viewer = OpenFor(file, GENERIC_READ, FILE_SHARE_READ);
    AllowReadingForSelection();
    ASSERT_EQ(Row(0).state, LockState::ReadersWait);
    AllowReadingForSelection();
    EXPECT_EQ(Row(0).state, LockState::Held);
    EXPECT_EQ(TextColor(0), -1);
    CloseHandle(viewer);
    ReleaseAllProtectedFiles();
    EXPECT_EQ(ReadBytes(file), "bleibt");
}

TEST_F(ReadingAllowed, AFolderRowsFilesAndOnesArrivingLaterFollowItsLevel) {
    Serve();
    std::string folder = root + "\\Fotos";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    std::string old = MakeFile("Fotos\\alt.jpg", "alt");
    AddChosenFiles({folder + "\\"});
    ASSERT_TRUE(PumpUntil([] { return Protection().HeldCount() == 1 && !Row(0).tree->Busy(); }));
    EXPECT_EQ(WhatGotThrough(old), Nothing);

    SelectOnly({0});
    AllowReadingForSelection();
    EXPECT_EQ(Level(0), LevelText(true));
    EXPECT_EQ(WhatGotThrough(old), ReadingOnly);
    std::string later = MakeFile("Fotos\\neu.jpg", "neu");
    ASSERT_TRUE(PumpUntil([] { return Protection().HeldCount() == 2; }));
    EXPECT_EQ(WhatGotThrough(later), ReadingOnly);
    // The folder itself is held as at the full lock.
    EXPECT_FALSE(MoveFileW(ToWide(folder).c_str(), ToWide(folder + "2").c_str()));

    // Back to the full lock while a viewer reads one file: that one waits, held, the row red.
    HANDLE viewer = OpenFor(later, GENERIC_READ, FILE_SHARE_READ);
    AllowReadingForSelection();
    EXPECT_EQ(WhatGotThrough(old), Nothing);
    EXPECT_EQ(Protection().HeldCount(), 2);
    EXPECT_EQ(TextColor(0), FailedLockColor);
    EXPECT_NE(FolderSummary(*Row(0).tree).find("neu.jpg"), std::string::npos);
    CloseHandle(viewer);
    ASSERT_TRUE(PumpUntil([this] { return TextColor(0) == -1; }));
    EXPECT_EQ(WhatGotThrough(later), Nothing);
    EXPECT_EQ(Protection().HeldCount(), 2);
    ReleaseAllProtectedFiles();
}
