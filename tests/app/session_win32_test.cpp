// The requests that reach the main window from elsewhere: a show request (from the hot-key
// watcher or a second start) brings the window back as it was, the end of the session saves
// without asking, and a second copy for the same storage folder is found.
#include "app/background.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "app/storage.h"

#include "core/handles_win32.h"
#include "tests/app/app_test_support.h"

using namespace apptest;

namespace {


int sessionEndCount = 0;
void CountSessionEnd() { ++sessionEndCount; }

} // namespace

class Session : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        main = WindowHandle(WindowMain);
        Serve(CountSessionEnd);
        request = served.ShowRequest();
        ASSERT_EQ(request, ShowRequestMessage(storage));
        ASSERT_NE(request, 0u);
        sessionEndCount = 0;
        EnsureStorageFolders(ProductName);
        EnsureFileListDocument(ProductName, FileListName);
        EnsureSettingsDocument(ProductName, SettingsName);
    }
    void TearDown() override {
        StopHotKeyWatcher();
        MainWindowTest::TearDown();
    }
    HWND main = nullptr;
    UINT request = 0;
    AnsweredBoxes boxes;
};

TEST_F(Session, TheEndOfTheSessionSavesWithoutAsking) {
    std::string file = MakeFile("a.txt");
    AddListedFiles({file});
    SpecialKey = 'K';
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(ReadBytes(storage + FileListName), "") << "the query is no time to write";

    // A cancelled end changes nothing.
    SendMessageW(main, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    EXPECT_EQ(ReadBytes(storage + FileListName), "");
    EXPECT_EQ(sessionEndCount, 0);

    SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(ReadBytes(storage + FileListName), file + "\r\n");
    EXPECT_NE(ReadBytes(storage + SettingsName).find("75"), std::string::npos);
    EXPECT_EQ(sessionEndCount, 1);

    // Not even a list that cannot be written may hold the end up with a box.
    DeleteFileA((storage + FileListName).c_str());
    CreateDirectoryA((storage + FileListName).c_str(), nullptr);
    SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(sessionEndCount, 2);
    EXPECT_TRUE(boxes.seen.empty());
    SpecialKey = DefaultSpecialKey;
}

TEST_F(Session, AShowRequestBringsTheWindowBackAsItWas) {
    // Maximised and hidden is proved end to end; minimised is not.
    ShowWindow(main, SW_SHOWNORMAL);
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(main));
    SendMessageW(main, request, 0, 0);
    EXPECT_FALSE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));

    // Any other registered message is not ours.
    ShowWindow(main, SW_HIDE);
    SendMessageW(main, RegisterWindowMessageW(L"Verriq-Test-anderes"), 0, 0);
    EXPECT_FALSE(IsWindowVisible(main));
}

TEST_F(Session, TheWatcherStopsAtOnce) {
    ASSERT_TRUE(StartHotKeyWatcher(main, request));
    Sleep(250);
    DWORD start = GetTickCount();
    StopHotKeyWatcher();
    EXPECT_LT(GetTickCount() - start, 500u);
    // And starts again after it stopped.
    ASSERT_TRUE(StartHotKeyWatcher(main, request));
    StopHotKeyWatcher();
}

TEST(SingleInstance, NamesFollowTheFolderWhateverItsCase) {
    std::string folder = "C:\\Users\\Anna\\AppData\\Roaming\\Ondrak\\Verriq\\";
    EXPECT_EQ(InstanceMutexName(folder), InstanceMutexName("c:\\users\\anna\\appdata\\roaming\\ondrak\\VERRIQ"));
    EXPECT_NE(InstanceMutexName(folder), InstanceMutexName("C:\\Users\\Bernd\\AppData\\Roaming\\Ondrak\\Verriq\\"));
    EXPECT_EQ(InstanceMutexName(folder).rfind(L"Local\\", 0), 0u) << "not in the session's namespace";
    EXPECT_NE(ShowRequestName(folder), ShowRequestName("D:\\Verriq\\"));
    EXPECT_NE(ShowRequestName(folder), InstanceMutexName(folder));
}

TEST(SingleInstance, TheFolderIsClaimedOnlyWhileNoOtherCopyHoldsIt) {
    std::string folder = "C:\\verriq-test-" + std::to_string(GetCurrentProcessId()) + "\\";
    {
        UniqueKernelHandle running(CreateMutexW(nullptr, FALSE, InstanceMutexName(folder).c_str()));
        ASSERT_TRUE(running);
        EXPECT_FALSE(ClaimInstance(folder));
    }
    EXPECT_TRUE(ClaimInstance(folder));
}
