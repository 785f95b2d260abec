// Starting with Windows: the menu entry writes and removes the Run value and shows on only for a
// value that starts this very exe and that Windows has not switched off; a log-on start shows
// nothing yet holds the files; no library is taken from the exe's own folder.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const ApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// The bytes of the program's value under the key; nothing when it is not there.
std::optional<std::string> Read(const wchar_t* key) { return RegistryBytes(key, L"Verriq"); }

void Write(const wchar_t* key, const std::optional<std::string>& bytes) {
    if (!bytes) RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"Verriq");
    else RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Verriq", key == RunKey ? REG_SZ : REG_BINARY, bytes->data(),
                         static_cast<DWORD>(bytes->size()));
}

std::string Utf16(const std::string& text) {
    std::wstring wide = ToWide(text);
    return std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(wchar_t));
}

std::string RunCommand() { return RegistryText(RunKey, L"Verriq").value_or(""); }

} // namespace

// The prefix's own registry: what a test changes there is put back, so that no later boot of
// the prefix starts a Verriq.
class Autostart : public VerriqTest {
  protected:
    void SetUp() override {
        Write(RunKey, std::nullopt);
        Write(ApprovedKey, std::nullopt);
        held = box.MakeFile("beim-anmelden.txt", "vom ersten Augenblick an");
        WriteFileList(held + "\r\n");
    }
    void TearDown() override {
        Write(RunKey, savedRun);
        Write(ApprovedKey, savedApproved);
    }
    // Shown off, so choosing it turns it on; shown on, off.
    void StartAndChoose() {
        Start(1);
        ChooseMenuEntry(verriq.main(), 0, EntryStartWithWindows);
    }
    std::optional<std::string> savedRun = Read(RunKey), savedApproved = Read(ApprovedKey);
    std::string held, ours = "\"" + VerriqExe() + "\" /hintergrund";
};

TEST_F(Autostart, OnInTheMenuThenStartedAtLogOnHiddenThenShownAndOffAndOnlyOurOwnValueShowsOn) {
    StartAndChoose();
    ASSERT_TRUE(WaitFor([&] { return RunCommand() == ours; })) << RunCommand();
    EXPECT_EQ(Read(ApprovedKey), std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12));
    ChooseMenuEntry(verriq.main(), 0, 0, "autostart_menu_checked");
    Quit();
    // As Windows does at log-on: the stored command line, nothing else; no window, not even briefly.
    verriq.Kill();
    ASSERT_TRUE(verriq.Start(box.appdata, RunCommand()));
    bool shown = false;
    auto protecting = [&] {
        shown = shown || !verriq.TopWindows().empty();
        return verriq.FindWindowByTitle("Verriq 1.0.0") && verriq.WaitMainWindow(0, false) &&
               verriq.StatusText() == StatusFor(1);
    };
    EXPECT_TRUE(WaitFor(protecting, 20000, 10));
    for (int i = 0; i < 100; ++i, Sleep(10)) shown = shown || !verriq.TopWindows().empty();
    EXPECT_FALSE(shown) << "a window was shown";
    EXPECT_TRUE(LockedAgainstOthers(held, "vom ersten Augenblick an", box.root));
    // Another start from log-on leaves it hidden; a start by hand shows it.
    Verriq again, byHand;
    ASSERT_TRUE(again.Start(box.appdata, "\"" + VerriqExe() + "\" weiter /HINTERGRUND"));
    EXPECT_EQ(again.WaitExit(), 0);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(verriq.main()));
    ASSERT_TRUE(byHand.Start(box.appdata));
    EXPECT_EQ(byHand.WaitExit(), 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(verriq.main()) != 0; })) << "a second start did not show it";
    ChooseMenuEntry(verriq.main(), 0, EntryStartWithWindows);
    EXPECT_TRUE(WaitFor([&] { return !Read(RunKey) && !Read(ApprovedKey); })) << "the entry did not turn it off";
    Quit();
    // A value that Windows switched off, or that starts another exe, shows off: choosing turns it on.
    Write(RunKey, Utf16(ours));
    Write(ApprovedKey, std::string("\x03\0\0\0\x10\x20\x30\x40\x50\x60\x70\x01", 12));
    StartAndChoose();
    EXPECT_TRUE(WaitFor([&] { return Read(ApprovedKey) == std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12); }));
    EXPECT_EQ(RunCommand(), ours);
    Quit();
    Write(RunKey, Utf16("\"C:\\Programme\\Alt\\Verriq.exe\" /hintergrund"));
    StartAndChoose();
    EXPECT_TRUE(WaitFor([&] { return RunCommand() == ours; })) << RunCommand();
    Quit();
}

TEST_F(Autostart, ALibraryPlantedBesideTheExeIsNotLoaded) {
    std::string folder = box.root + "\\Downloads", exe = folder + "\\Verriq.exe", planted = folder + "\\msimg32.dll";
    MakeFolders(folder);
    ASSERT_TRUE(CopyFileW(ToWide(VerriqExe()).c_str(), ToWide(exe).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ToWide(BuildFolder() + "\\planted\\msimg32.dll").c_str(), ToWide(planted).c_str(), FALSE));
    // Wine prefers its built-in copy unless told to search as Windows does, where the exe's own
    // folder comes first. It takes WINEDLLOVERRIDES only from the Unix environment, not from a
    // Windows parent's, so the same order is given through its per-program setting.
    const wchar_t* const overrides = L"Software\\Wine\\AppDefaults\\Verriq.exe\\DllOverrides";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, overrides, L"msimg32", REG_SZ, L"native,builtin", 30), ERROR_SUCCESS);
    bool started = verriq.Start(box.appdata, "\"" + exe + "\"");
    bool protecting = started && verriq.WaitMainWindow() && Holding(1, 20000);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Verriq.exe");
    ASSERT_TRUE(protecting);
    EXPECT_FALSE(FileExists(planted + ".loaded")) << "the library beside the exe was loaded";
    Quit();
}
