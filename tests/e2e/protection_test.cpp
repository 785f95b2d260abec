// What other programs can do to a protected file while Verriq runs: nothing at all, whether the
// window is shown or hidden. A file that is busy or missing when Verriq starts is protected as
// soon as it can be held, and its row says why until then.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Every client we know that opens a file for writing while sharing reading and writing; none
// may get through. Returns what did.
std::vector<std::string> WritesThatGotThrough(const std::string& path, const std::string& other) {
    std::vector<std::string> through;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    for (DWORD disposition : {OPEN_EXISTING, TRUNCATE_EXISTING, CREATE_ALWAYS, OPEN_ALWAYS}) {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, disposition, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        WriteFile(handle, "x", 1, &written, nullptr);
        CloseHandle(handle);
        through.push_back("CreateFile " + std::to_string(disposition));
    }
    RunCmd("copy /y \"" + other + "\" \"" + path + "\"");
    if (MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) through.push_back("MoveFileEx");
    return through;
}

} // namespace

class Protection : public VerriqTest {
  protected:
    void CheckNobodyGetsIn(const std::string& path, const std::string& content) {
        std::string other = box.MakeFile("anderer.txt", "fremder Inhalt");
        EXPECT_EQ(WritesThatGotThrough(path, other), std::vector<std::string>{});
        EXPECT_TRUE(LockedAgainstOthers(path, content, box.root));
    }
};

TEST_F(Protection, BusyAndMissingFilesAreHeldAsSoonAsTheyCanBeAndNothingChangesThemShownOrHidden) {
    const std::string content = "Vertrag, unterschrieben";
    std::string path = box.MakeFile("vertrag.txt", content);
    std::string busy = box.MakeFile("belegt.txt", "Inhalt Nummer eins");
    std::string missing = box.files + "\\kommt noch.txt";
    HANDLE other = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    WriteFileList(path + "\r\n" + busy + "\r\n" + missing + "\r\n");
    Start(1);
    // Until then each row says why it is not protected.
    BringToFront(verriq.main());
    ASSERT_NE(HoverRow(2), nullptr) << "no tooltip on a row that is not held";
    Sleep(300);
    SaveScreenshot("tooltip_on_unprotected_row");
    HoverAt(5, 5);
    CloseHandle(other);
    EXPECT_TRUE(Holding(2, 6000));
    ASSERT_TRUE(WriteBytes(missing, "jetzt da"));
    EXPECT_TRUE(Holding(3, 6000));
    EXPECT_TRUE(LockedAgainstOthers(busy, "Inhalt Nummer eins", box.root));
    EXPECT_TRUE(LockedAgainstOthers(missing, "jetzt da", box.root));
    // A held row has nothing to explain.
    BringToFront(verriq.main());
    EXPECT_EQ(HoverRow(0), nullptr);
    HoverAt(5, 5);

    CheckNobodyGetsIn(path, content);
    Hide();
    CheckNobodyGetsIn(path, content);
    verriq.Kill();
    EXPECT_EQ(ReadBytes(path), content);
}
