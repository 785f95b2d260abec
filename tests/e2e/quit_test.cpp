// Quitting from outside ("Verriq.exe /beenden"): the running copy saves and ends with 0 and the
// caller learns how it ran; with none running the caller ends at once without becoming one; a
// copy that cannot save its list keeps protecting and says so.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// What the caller ends with (app/quit_request.h).
constexpr long NoneRunning = 0, NotEnded = 1, EndedShown = 2, EndedHidden = 3;

} // namespace

class QuitRequest : public VerriqTest {
  protected:
    void SetUp() override {
        held = box.MakeFile("bis-zum-ende.txt", "geschützt bis zuletzt");
        WriteFileList(held + "\r\n");
    }

    // Another start with the argument, in any case; its exit code.
    long AskToQuit(const char* argument = "/beenden", int timeoutMs = 45000) {
        Verriq caller;
        if (!caller.Start(box.appdata, "\"" + VerriqExe() + "\" " + argument)) return -2;
        return caller.WaitExit(timeoutMs);
    }

    std::string held;
};

TEST_F(QuitRequest, WithNoneRunningEndsAtOnceAndNeverBecomesTheRunningCopy) {
    std::string folder = box.storage();
    RemoveDirectoryA(box.fileList().c_str());
    DeleteFileA(box.fileList().c_str());
    RemoveDirectoryA(folder.c_str());
    DWORD start = GetTickCount();
    EXPECT_EQ(AskToQuit("/Beenden"), NoneRunning);
    EXPECT_LT(GetTickCount() - start, 10000u) << "a quit with nothing to quit took its time";
    EXPECT_EQ(MainWindows(false), 0);
    EXPECT_FALSE(FolderExists(folder)) << "the quit request made the storage folder as a running copy would";
    // It left no claim behind: the next start is the running copy.
    WriteFileList(held + "\r\n");
    Start(1);
    Quit();
}

TEST_F(QuitRequest, RunningCopySavesEndsWithZeroAndTellsWhetherItsWindowWasShown) {
    Start(1);
    ASSERT_TRUE(LockedAgainstOthers(held, "geschützt bis zuletzt", box.root));
    // The list on disk in another form than Verriq writes it: only a save brings it back.
    WriteBytes(box.fileList(), held + "\n");
    EXPECT_EQ(AskToQuit("/BEENDEN"), EndedShown);
    EXPECT_EQ(verriq.WaitExit(1000), 0) << "the caller returned before the running copy had ended";
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n") << "not saved on the way out";
    EXPECT_TRUE(ReadableByOthers(held, "geschützt bis zuletzt", box.root));

    // Hidden in the background, the answer says so.
    Start(1);
    Hide();
    EXPECT_EQ(AskToQuit(), EndedHidden);
    EXPECT_EQ(verriq.WaitExit(1000), 0);
    EXPECT_EQ(MainWindows(false), 0);
}

TEST_F(QuitRequest, CopyThatCannotSaveItsListKeepsProtectingAndSaysSo) {
    Start(1);
    // A folder in the list's place: no save can succeed.
    ASSERT_TRUE(DeleteFileA(box.fileList().c_str()));
    ASSERT_TRUE(CreateDirectoryA(box.fileList().c_str(), nullptr));
    EXPECT_EQ(AskToQuit(), NotEnded);
    EXPECT_TRUE(verriq.Running()) << "ended with an unsaved list";
    HWND box_ = verriq.WaitWindow("Nicht beendet", "#32770");
    ASSERT_NE(box_, nullptr) << "the refused quit was not told";
    Sleep(500);
    SaveScreenshot("quit_refused");
    EXPECT_TRUE(LockedAgainstOthers(held, "geschützt bis zuletzt", box.root));
    ASSERT_TRUE(PressButton(box_, "OK"));
    // Once the list can be written again, the next request ends it.
    ASSERT_TRUE(RemoveDirectoryA(box.fileList().c_str()));
    EXPECT_EQ(AskToQuit(), EndedShown);
    EXPECT_EQ(verriq.WaitExit(1000), 0);
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n");
}
