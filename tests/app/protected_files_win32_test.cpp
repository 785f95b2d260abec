// Rows and locks: every row holds its own file against every kind of access, removal lets go of
// exactly the removed rows' files, a file that cannot be held is never shown or counted as
// protected and says why, and it is held as soon as it can be.
#include "app/lock_texts.h"
#include "app/protected_files.h"

#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"


#include <vector>

using namespace apptest;

namespace {

const std::string& PathOf(int index) { return Protection().Files().at(index).path; }
LockState StateOf(int index) { return Protection().Files().at(index).state; }

} // namespace

class ProtectedFiles : public MainWindowTest {
  protected:
    int TextColor(int row) { return ReadGadgetItemColor(GadgetFileList, row, ColorText, 0); }
};

TEST_F(ProtectedFiles, AHeldFileRefusesEveryKindOfAccessAndKeepsItsBytes) {
    std::string file = MakeFile("geschützt.txt", "alter Inhalt");
    AddListedFiles({file});
    ASSERT_EQ(StateOf(0), LockState::Held);
    EXPECT_EQ(WhatGotThrough(file), std::vector<std::string>{});
    ReleaseAllProtectedFiles();
    EXPECT_EQ(ReadBytes(file), "alter Inhalt");
}

TEST_F(ProtectedFiles, EachRowThatIsNotHeldIsRedUncountedAndSaysWhy) {
    std::string first = MakeFile("erste.txt"), busy = MakeFile("offen.txt");
    HANDLE other = CreateFileW(ToWide(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::string folder = root + "\\Ordner";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    // The same file again, spelt in other case: the first row holds it already.
    std::string again = first;
    for (char& c : again) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    AddListedFiles({first, root + "\\fehlt.txt", busy, again, folder, ""});
    CloseHandle(other);

    ASSERT_EQ(Protection().Files().size(), 6u);
    const LockState expected[] = {LockState::Held,      LockState::NotFound,     LockState::InUse,
                                  LockState::Duplicate, LockState::AccessDenied, LockState::NotFound};
    std::vector<std::string> reasons;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(StateOf(i), expected[i]) << i;
        EXPECT_EQ(TextColor(i), i == 0 ? -1 : FailedLockColor) << i;
        reasons.push_back(UnprotectedReason(Protection().Files()[i]));
    }
    EXPECT_EQ(reasons[0], "");
    // Four different reasons for four different causes, each one a sentence of its own.
    for (int i = 1; i < 5; ++i) {
        EXPECT_FALSE(reasons[i].empty());
        for (int j = i + 1; j < 5; ++j) EXPECT_NE(reasons[i], reasons[j]);
    }
    EXPECT_EQ(Protection().HeldCount(), 1);
    EXPECT_EQ(StatusText(), "1 Datei wird geschützt");
    // The row keeps the user's spelling.
    EXPECT_EQ(PathOf(3), again);
}

TEST_F(ProtectedFiles, AFileIsHeldAsSoonAsItAppearsOrIsLetGo) {
    std::string missing = root + "\\später.txt", busy = MakeFile("belegt.txt");
    HANDLE other = CreateFileW(ToWide(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    AddListedFiles({missing, busy});
    EXPECT_FALSE(RetryUnheldFiles(0));
    EXPECT_EQ(Protection().HeldCount(), 0);

    WriteBytes(missing, "da");
    CloseHandle(other);
    EXPECT_TRUE(RetryUnheldFiles(0));
    EXPECT_EQ(StateOf(0), LockState::Held);
    EXPECT_EQ(StateOf(1), LockState::Held);
    EXPECT_EQ(TextColor(0), -1);
    EXPECT_EQ(TextColor(1), -1);
    EXPECT_TRUE(IsHeld(missing));
    EXPECT_EQ(StatusText(), "2 Dateien werden geschützt");
}

TEST_F(ProtectedFiles, ABoundedPassWorksThroughALongListASliceAtATime) {
    std::vector<std::string> paths;
    for (int i = 0; i < 2000; ++i) paths.push_back(root + "\\fehlt-" + std::to_string(i) + ".txt");
    AddListedFiles(paths);
    WriteBytes(paths[1999], "da");
    // Passes of one millisecond each reach the last row after a while, never all at once.
    int passes = 0;
    while (StateOf(1999) != LockState::Held && passes < 10000) {
        RetryUnheldFiles(1);
        ++passes;
    }
    EXPECT_EQ(StateOf(1999), LockState::Held);
    EXPECT_GT(passes, 1);
}

TEST_F(ProtectedFiles, RemovingReleasesExactlyTheSelectedRowsAndHandsOnDuplicates) {
    std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt");
    AddListedFiles({a, b, c, a});
    ASSERT_EQ(StateOf(3), LockState::Duplicate);
    HANDLE lockB = Protection().Files()[1].lock.get();

    Select(0);
    Select(2);
    OnFileListEvent();
    EXPECT_TRUE(RemoveEnabled());
    RemoveSelectedFiles();

    ASSERT_EQ(GadgetItemCount(GadgetFileList), 2);
    EXPECT_EQ(std::string(ReadGadgetItemText(GadgetFileList, 0, 0)), b);
    EXPECT_EQ(std::string(ReadGadgetItemText(GadgetFileList, 1, 0)), a);
    EXPECT_EQ(Protection().Files()[0].lock.get(), lockB);
    // The second row of a now holds it.
    EXPECT_EQ(StateOf(1), LockState::Held);
    EXPECT_TRUE(IsHeld(a));
    EXPECT_FALSE(IsHeld(c));
    EXPECT_FALSE(RemoveEnabled());
    EXPECT_EQ(StatusText(), "2 Dateien werden geschützt");

    RemoveSelectedFiles(); // nothing selected: nothing goes
    EXPECT_EQ(Protection().Files().size(), 2u);
}

TEST_F(ProtectedFiles, ShowingTheWindowAgainCatchesUpAtOnce) {
    std::string missing = root + "\\nachher.txt";
    AddListedFiles({missing});
    Serve();
    ShowWindow(WindowHandle(WindowMain), SW_HIDE);
    WriteBytes(missing, "da");
    EXPECT_EQ(Protection().HeldCount(), 0);
    ShowWindow(WindowHandle(WindowMain), SW_SHOWNA);
    EXPECT_EQ(Protection().HeldCount(), 1);
    EXPECT_EQ(StatusText(), "1 Datei wird geschützt");
}

namespace {

void WaitForFolders() {
    PumpUntil([] {
        for (const ProtectedFile& file : Protection().Files())
            if (file.tree && file.tree->Busy()) return false;
        return true;
    }, 60000);
}

} // namespace

TEST_F(ProtectedFiles, OverlappingRowsHoldEachFileOnceNameTheHolderAndTakeOverWhenItGoes) {
    Serve();
    std::string folder = root + "\\Daten", inner = folder + "\\Unter";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    CreateDirectoryW(ToWide(inner).c_str(), nullptr);
    std::string a = MakeFile("Daten\\a.txt"), b = MakeFile("Daten\\Unter\\b.txt");
    AddListedFiles({a, folder + "\\", inner + "\\"});
    WaitForFolders();

    // a by its own row, b by the outer folder; the inner folder row holds nothing of its own.
    EXPECT_EQ(Protection().HeldCount(), 2);
    EXPECT_TRUE(IsHeld(a));
    EXPECT_TRUE(IsHeld(b));
    EXPECT_NE(UnprotectedReason(Protection().Files()[1]).find(a), std::string::npos);
    EXPECT_NE(UnprotectedReason(Protection().Files()[2]).find(folder + "\\"), std::string::npos);
    EXPECT_NE(TextColor(1), -1);
    EXPECT_EQ(TextColor(0), -1);

    // Without the file row, the folder row takes the file over.
    Select(0);
    RemoveSelectedFiles();
    WaitForFolders();
    EXPECT_TRUE(IsHeld(a));
    EXPECT_EQ(Protection().HeldCount(), 2);
    EXPECT_EQ(TextColor(0), -1);
    EXPECT_EQ(UnprotectedReason(Protection().Files()[0]), "");

    ReleaseAllProtectedFiles();
    EXPECT_FALSE(IsHeld(a));
    EXPECT_FALSE(IsHeld(b));
    EXPECT_TRUE(MoveFileW(ToWide(folder).c_str(), ToWide(folder + "2").c_str()));
}

TEST_F(ProtectedFiles, AMissingFolderIsHeldOnceItAppears) {
    Serve();
    std::string folder = root + "\\Später";
    AddListedFiles({folder + "\\"});
    EXPECT_EQ(StateOf(0), LockState::NotFound);
    EXPECT_NE(TextColor(0), -1);

    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    std::string inside = MakeFile("Später\\drin.txt");
    RetryUnheldFiles(0);
    WaitForFolders();
    EXPECT_EQ(StateOf(0), LockState::Held);
    EXPECT_EQ(TextColor(0), -1);
    EXPECT_TRUE(IsHeld(inside));
    EXPECT_FALSE(MoveFileW(ToWide(folder).c_str(), ToWide(folder + "2").c_str()));
    ReleaseAllProtectedFiles();
}

TEST_F(ProtectedFiles, AFolderBeyondTheCeilingHoldsWhatItMayAndSaysSo) {
    Serve();
    std::string folder = root + "\\Riesig";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    const int count = MaxFolderHolds + 10;
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileW(ToWide(folder + "\\" + std::to_string(i)).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << i;
        CloseHandle(file);
    }
    AddListedFiles({folder + "\\"});
    WaitForFolders();
    // The folder itself takes one place under the ceiling.
    EXPECT_EQ(Protection().HeldCount(), MaxFolderHolds - 1);
    EXPECT_NE(TextColor(0), -1);
    EXPECT_FALSE(UnprotectedReason(Protection().Files()[0]).empty());

    // Removing the row frees every place again.
    Select(0);
    RemoveSelectedFiles();
    EXPECT_FALSE(IsHeld(folder + "\\0"));
    AddListedFiles({folder + "\\"});
    WaitForFolders();
    EXPECT_EQ(Protection().HeldCount(), MaxFolderHolds - 1);
    ReleaseAllProtectedFiles();
}

TEST_F(ProtectedFiles, AFileStillBeingWrittenIntoAFolderIsRedYetNoAlarmAMissingFileIsBoth) {
    Serve();
    std::string folder = root + "\\Eingang";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    std::string single = MakeFile("einzeln.txt");
    AddListedFiles({folder + "\\", single, single});
    WaitForFolders();
    // The second row of a file is red, but the file is held.
    EXPECT_EQ(Protection().UnprotectedRows(), 1);
    EXPECT_EQ(Protection().AlarmingRows(GetTickCount64()), 0);

    HANDLE writer = CreateFileW(ToWide(folder + "\\download.part").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 40; ++i) {
        DWORD written = 0;
        WriteFile(writer, "0123456789", 10, &written, nullptr);
        Pump(20);
    }
    EXPECT_EQ(Protection().UnprotectedRows(), 2) << "a file not held inside the folder left its row looking whole";
    EXPECT_EQ(Protection().AlarmingRows(GetTickCount64()), 0) << "a download in progress raised an alarm";

    Select(1);
    RemoveSelectedFiles();
    AddListedFiles({root + "\\fehlt.txt"});
    EXPECT_EQ(Protection().AlarmingRows(GetTickCount64()), 1);
    CloseHandle(writer);
    ReleaseAllProtectedFiles();
}

TEST_F(ProtectedFiles, ASubfolderThatCannotBeListedIsNotProtectedUntilItCanBe) {
    Serve();
    std::string folder = root + "\\Verdeckt", inner = folder + "\\Belegt";
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    CreateDirectoryW(ToWide(inner).c_str(), nullptr);
    std::string hidden = MakeFile("Verdeckt\\Belegt\\innen.txt");
    // Another program holds the subfolder so that nobody may list it, while its folder is added.
    HANDLE blocker = CreateFileW(ToWide(inner).c_str(), FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    AddListedFiles({folder + "\\"});
    WaitForFolders();
    EXPECT_FALSE(IsHeld(hidden));
    EXPECT_NE(TextColor(0), -1);
    EXPECT_NE(UnprotectedReason(Protection().Files()[0]).find("Belegt"), std::string::npos);

    // Once it lets go, the retries look into the subfolder and hold what is there.
    CloseHandle(blocker);
    PumpUntil([&] { return IsHeld(hidden); });
    WaitForFolders();
    EXPECT_TRUE(IsHeld(hidden));
    EXPECT_EQ(TextColor(0), -1);
    EXPECT_EQ(UnprotectedReason(Protection().Files()[0]), "");
    ReleaseAllProtectedFiles();
}
