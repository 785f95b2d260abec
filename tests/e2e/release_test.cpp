// Releasing for editing: a row released through its menu can be changed by any program and is
// locked again from the menu; a "lesen erlaubt" row comes back at its level; a file that two rows
// cover is released by either. With a period of one minute, a row and a file inside a folder
// released from outside (the Explorer's verb) come back by themselves, with what an editor saved
// there meanwhile; a file an editor still holds comes back once it lets go. A restart during a
// release protects everything, and the list never changes.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const wchar_t* const FileVerb = L"Software\\Classes\\*\\shell\\Verriq";
const wchar_t* const FolderVerb = L"Software\\Classes\\Directory\\shell\\Verriq";
const wchar_t* const FileReleaseVerb = L"Software\\Classes\\*\\shell\\VerriqFreigeben";
const wchar_t* const FolderReleaseVerb = L"Software\\Classes\\Directory\\shell\\VerriqFreigeben";

void RemoveVerbs() {
    for (const wchar_t* verb : {FileVerb, FolderVerb, FileReleaseVerb, FolderReleaseVerb})
        RegDeleteTreeW(HKEY_CURRENT_USER, verb);
}

// The "HH:MM" a released row's access column ends with, or nothing.
std::string ClockIn(const std::string& text) {
    if (text.size() < 5) return {};
    std::string clock = text.substr(text.size() - 5);
    auto digit = [&clock](int at, char last) { return clock[at] >= '0' && clock[at] <= last; };
    bool valid = digit(0, '2') && digit(1, clock[0] == '2' ? '3' : '9') && clock[2] == ':' && digit(3, '5') &&
                 digit(4, '9');
    return valid ? clock : std::string();
}

// Another program writes the file: true when its new content is what is there now.
bool WrittenByOthers(const std::string& path) {
    RunCmd("echo bearbeitet> \"" + path + "\"");
    return ReadBytes(path).find("bearbeitet") != std::string::npos;
}

// What a tooltip of another process says: asked with the message itself, which the system carries
// across, not read from the window's caption.
std::string TipText(HWND tip) {
    wchar_t text[1024] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(tip, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return FromWide(text);
}

// No pixel of the row in the colour of a row that is not protected.
bool DrawnRed(const RECT& row) {
    for (COLORREF pixel : GrabPixels(row))
        if (GetRValue(pixel) >= 0x90 && GetGValue(pixel) < 0x50 && GetBValue(pixel) < 0x50) return true;
    return false;
}

// A balloon is a tooltip of the bar's own process drawn as a balloon.
HWND FindBalloon() {
    HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD barProcess = 0;
    if (!bar || !GetWindowThreadProcessId(bar, &barProcess)) return nullptr;
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(tip, &owner);
        if (owner == barProcess && IsWindowVisible(tip) && (GetWindowLongA(tip, GWL_STYLE) & TTS_BALLOON))
            return tip;
    }
    return nullptr;
}

} // namespace

class Release : public VerriqTest {
  protected:
    void SetUp() override { RemoveVerbs(); }
    void TearDown() override { RemoveVerbs(); }

    // Opens the row menu of the selection with Shift+F10 and chooses the release by its letter.
    void ChooseRelease(const char* shot = nullptr) {
        BringToFront(verriq.main());
        Chord({{VK_SHIFT, false}, {VK_F10, false}});
        ASSERT_NE(verriq.WaitTopWindowOfClass("#32768", 5000), nullptr) << "the row menu did not open";
        Sleep(300);
        if (shot) SaveScreenshot(shot, verriq.main());
        Tap('B');
        ASSERT_TRUE(WaitFor([&] { return !verriq.WaitTopWindowOfClass("#32768", 0); }))
            << "the menu did not close";
    }
    std::string Access(int row) { return verriq.CellText(row, 1); }
    void WriteSettings(const std::string& bytes) {
        MakeFolders(box.storage());
        WriteBytes(box.settings(), bytes);
    }
    std::string exe = "\"" + VerriqExe() + "\"";
};

TEST_F(Release, ARowReleasedFromItsMenuIsWrittenByOthersThenLockedAgainAndAReadableRowComesBackAtItsLevel) {
    const std::string letter = box.MakeFile("brief.txt", "Entwurf"),
                      notes = box.MakeFile("notizen.txt", "Notizen");
    // A file that two rows cover: a folder row and, after it, a row of a file inside.
    const std::string folder = box.files + "\\Akten", record = folder + "\\akte.txt";
    MakeFolders(folder);
    WriteBytes(record, "Akte");
    const std::string list = letter + "\r\n" + notes + "\tlesen\r\n" + folder + "\\\r\n" + record + "\r\n";
    WriteFileList(list);
    Start(3);
    const std::string locked = Access(0), reading = Access(1);
    EXPECT_FALSE(WrittenByOthers(letter));

    verriq.ClickRow(0);
    ChooseRelease("release_row_menu");
    ASSERT_TRUE(WaitFor([&] { return !ClockIn(Access(0)).empty(); })) << Access(0);
    EXPECT_TRUE(Holding(2));
    EXPECT_TRUE(WrittenByOthers(letter));
    // Deleted and written anew, as many editors save: still released.
    RunCmd("del /q \"" + letter + "\"");
    EXPECT_FALSE(FileExists(letter));
    WriteBytes(letter, "Fassung 2");
    EXPECT_TRUE(WrittenByOthers(letter));
    // The user's choice, not a fault: not red, and the tooltip tells when it ends.
    verriq.ClickRow(1);
    EXPECT_FALSE(DrawnRed(verriq.RowRect(0)));
    HWND tip = HoverRow(0);
    ASSERT_NE(tip, nullptr) << "a released row says nothing";
    EXPECT_NE(TipText(tip).find(ClockIn(Access(0))), std::string::npos) << TipText(tip);
    SaveScreenshot("released_row", verriq.main());

    // Chosen again: locked at once, with the content the other program left.
    verriq.ClickRow(0);
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return Access(0) == locked; })) << Access(0);
    EXPECT_TRUE(Holding(3));
    EXPECT_TRUE(LockedAgainstOthers(letter, "bearbeitet\r\n", box.root));

    // "lesen erlaubt" comes back as it was: read and copied, never changed.
    verriq.ClickRow(1);
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return !ClockIn(Access(1)).empty(); })) << Access(1);
    EXPECT_TRUE(WrittenByOthers(notes));
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return Access(1) == reading; })) << Access(1);
    EXPECT_EQ(WhatCmdDid(notes, "bearbeitet\r\n", box.root), (std::vector<std::string>{"type", "copy"}));

    // The file's own row releases it from the folder row too, which reads as partly released; the
    // folder row does not take the file back while the release lasts, nor the file row after it.
    verriq.ClickRow(3);
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return !ClockIn(Access(3)).empty() && !ClockIn(Access(2)).empty(); }))
        << Access(2) << " / " << Access(3);
    EXPECT_EQ(ClockIn(Access(2)), ClockIn(Access(3)));
    EXPECT_NE(Access(2), Access(3));
    Sleep(2500); // past a retry of the rows
    EXPECT_TRUE(WrittenByOthers(record));
    verriq.ClickRow(0);
    SaveScreenshot("released_part_of_folder", verriq.main());
    verriq.ClickRow(3);
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return ClockIn(Access(2)).empty() && ClockIn(Access(3)).empty(); }))
        << Access(2) << " / " << Access(3);
    EXPECT_TRUE(LockedAgainstOthers(record, "bearbeitet\r\n", box.root));
    EXPECT_TRUE(Holding(3));
    EXPECT_EQ(ReadBytes(box.fileList()), list);
    Quit();
    EXPECT_EQ(ReadBytes(box.fileList()), list);
}

TEST_F(Release, WithAPeriodOfOneMinuteReleasesFromOutsideEndByThemselvesAndARestartProtectsEverything) {
    const std::string letter = box.MakeFile("brief.txt", "Entwurf"),
                      held = box.MakeFile("tabelle.txt", "Zahlen");
    const std::string folder = box.files + "\\Akten", inside = folder + "\\akte.txt",
                      beside = folder + "\\andere.txt";
    MakeFolders(folder);
    WriteBytes(inside, "Akte");
    WriteBytes(beside, "Andere");
    const std::string list = letter + "\r\n" + held + "\r\n" + folder + "\\\r\n";
    WriteFileList(list);
    WriteSettings("[Einstellungen]\r\nSpecialKey = 88\r\nFreigabe = 1\r\n");
    Start(4);

    // The period from the file is none of the menu's choices: kept, shown, and written back.
    BringToFront(verriq.main());
    Tap(VK_F10);
    Sleep(150);
    Tap(VK_DOWN);
    Sleep(200);
    for (int i = 0; i < EntryReleasePeriod; ++i)
        Tap(VK_DOWN);
    Tap(VK_RIGHT);
    Sleep(400);
    SaveScreenshot("release_period_menu");
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);

    // The Explorer's entry writes the release verbs too; their command hands paths over.
    ChooseMenuEntry(verriq.main(), 0, EntryOfferInExplorer);
    ASSERT_TRUE(WaitFor(
        [] { return RegistryText(FileReleaseVerb, nullptr) && RegistryText(FolderReleaseVerb, nullptr); }));
    std::string command = RegistryText(std::wstring(FileReleaseVerb) + L"\\command", nullptr).value_or("");
    ASSERT_EQ(command.find(exe), 0u) << command;
    auto releaseCommand = [&](const std::string& path) {
        std::string line = command;
        return line.replace(line.find("%1"), 2, path);
    };
    for (const std::string& path : {letter, inside, held}) {
        Verriq caller;
        ASSERT_TRUE(caller.Start(box.appdata, releaseCommand(path), box.root));
        EXPECT_EQ(caller.WaitExit(40000), 0);
    }
    ASSERT_TRUE(WaitFor([&] {
        return !ClockIn(Access(0)).empty() && !ClockIn(Access(1)).empty() && !ClockIn(Access(2)).empty();
    })) << Access(0)
        << " / " << Access(1) << " / " << Access(2);
    const DWORD released = GetTickCount();
    EXPECT_TRUE(Holding(1)) << "only the file beside the released one is held";
    // Only that file of the folder: the rest of the tree stays locked.
    EXPECT_TRUE(LockedAgainstOthers(beside, "Andere", box.root));
    // A path Verriq does not protect changes nothing and is named.
    const std::string stranger = box.MakeFile("fremd.txt", "fremd");
    {
        Verriq caller;
        ASSERT_TRUE(caller.Start(box.appdata, releaseCommand(stranger), box.root));
        EXPECT_EQ(caller.WaitExit(40000), 0);
        HWND told = verriq.WaitWindow("Nicht freigegeben", "#32770");
        ASSERT_NE(told, nullptr) << "a path Verriq does not protect was not told";
        EXPECT_NE(MessageBoxText(told).find(stranger), std::string::npos) << MessageBoxText(told);
        ASSERT_TRUE(PressButton(told, "OK"));
    }
    EXPECT_EQ(verriq.RowCount(), 3);

    // Editors save: a new file renamed over the letter; the file in the folder deleted and written anew.
    WriteBytes(letter + ".neu", "Brief, neu");
    ASSERT_TRUE(MoveFileExA((letter + ".neu").c_str(), letter.c_str(), MOVEFILE_REPLACE_EXISTING));
    RunCmd("del /q \"" + inside + "\"");
    WriteBytes(inside, "Akte, neu");
    // An editor keeps the table open past the due time.
    HANDLE editor = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);

    // Due after a minute, with nothing done meanwhile.
    ASSERT_TRUE(WaitFor([&] { return ClockIn(Access(0)).empty() && ClockIn(Access(2)).empty(); }, 90000));
    const DWORD took = GetTickCount() - released;
    EXPECT_GE(took, 55000u);
    EXPECT_LE(took, 75000u);
    EXPECT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(3); }, 8000)) << verriq.StatusText();
    EXPECT_TRUE(LockedAgainstOthers(letter, "Brief, neu", box.root));
    EXPECT_TRUE(LockedAgainstOthers(inside, "Akte, neu", box.root));
    // The table is still open: its row says so until the editor lets go, then it is locked.
    EXPECT_TRUE(ClockIn(Access(1)).empty()) << Access(1);
    BringToFront(verriq.main());
    HWND tip = HoverRow(1);
    EXPECT_NE(tip, nullptr) << "the row of a file still open says nothing";
    SaveScreenshot("release_ended_editor_holds", verriq.main());
    CloseHandle(editor);
    EXPECT_TRUE(Holding(4, 8000));
    EXPECT_TRUE(LockedAgainstOthers(held, "Zahlen", box.root));
    // The Explorer's entry off: all four verbs go.
    ChooseMenuEntry(verriq.main(), 0, EntryOfferInExplorer);
    EXPECT_TRUE(WaitFor([] {
        for (const wchar_t* verb : {FileVerb, FolderVerb, FileReleaseVerb, FolderReleaseVerb})
            if (RegistryText(verb, nullptr)) return false;
        return true;
    })) << "a verb stayed";

    // A restart during a release: everything protected again, the list as it was.
    verriq.ClickRow(0);
    ChooseRelease();
    ASSERT_TRUE(WaitFor([&] { return !ClockIn(Access(0)).empty(); }));
    verriq.Kill();
    EXPECT_EQ(ReadBytes(box.fileList()), list);
    Start(4);
    EXPECT_TRUE(ClockIn(Access(0)).empty()) << Access(0);
    EXPECT_TRUE(LockedAgainstOthers(letter, "Brief, neu", box.root));
    Quit();
    EXPECT_EQ(ReadBytes(box.fileList()), list);
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\nFreigabe = 1\r\n");
}

TEST_F(Release, AHiddenVerriqRaisesNoWarningForAReleasedRowAndTellsAPathItDoesNotProtectInABalloon) {
    const std::string letter = box.MakeFile("brief.txt", "Entwurf"),
                      stranger = box.MakeFile("fremd.txt", "fremd");
    WriteFileList(letter + "\r\n");
    // The pointer off the bar, so that no tooltip of a resting pointer comes up.
    HoverAt(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 3);
    ASSERT_TRUE(verriq.Start(box.appdata, exe + " /hintergrund"));
    ASSERT_NE(verriq.WaitMainWindow(15000, false), nullptr) << "no main window";
    ASSERT_TRUE(Holding(1, 10000));
    auto handOver = [&](const std::string& argument, const std::string& path) {
        Verriq caller;
        ASSERT_TRUE(caller.Start(box.appdata, exe + " " + argument + " \"" + path + "\"", box.root));
        EXPECT_EQ(caller.WaitExit(40000), 0);
    };
    handOver("/FREIGEBEN", letter);
    ASSERT_TRUE(WaitFor([&] { return verriq.StatusText() == StatusFor(0); })) << verriq.StatusText();
    EXPECT_TRUE(WrittenByOthers(letter));
    // Well past the time after which an unprotected row is told.
    EXPECT_FALSE(WaitFor([] { return FindBalloon() != nullptr; }, 13000, 100))
        << "a released row raised a warning";
    EXPECT_FALSE(IsWindowVisible(verriq.main()));

    handOver("/freigeben", stranger);
    HWND balloon = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (balloon = FindBalloon()) != nullptr; }, 10000, 100))
        << "a path Verriq does not protect was not told";
    EXPECT_NE(TipText(balloon).find("fremd.txt"), std::string::npos) << TipText(balloon);
    SaveScreenshot("release_balloon_not_protected");
    EXPECT_FALSE(IsWindowVisible(verriq.main())) << "the window came up";
    EXPECT_EQ(verriq.RowCount(), 1);
    // A plain start shows the running copy, which then quits as usual.
    Verriq second;
    ASSERT_TRUE(second.Start(box.appdata));
    EXPECT_EQ(second.WaitExit(20000), 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(verriq.main()) != 0; }));
    Quit();
}
