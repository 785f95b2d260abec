// Starting with Windows: the menu entry writes and removes the Run value, its check mark
// believes only a value that starts this very exe and that Windows has not switched off, a
// start by the stored command line shows nothing and holds the files, and no library is taken
// from the exe's own folder.
#include "tests/e2e/app_steps.h"

using namespace e2e;

namespace {

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const ApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t* const ValueName = L"Verriq";

struct Value {
    bool present = false;
    DWORD type = 0;
    std::string bytes;
};

Value ReadValue(const wchar_t* key) {
    Value value;
    BYTE data[4096];
    DWORD size = sizeof data;
    value.present = RegGetValueW(HKEY_CURRENT_USER, key, ValueName, RRF_RT_ANY | RRF_NOEXPAND, &value.type, data,
                                 &size) == ERROR_SUCCESS;
    if (value.present) value.bytes.assign(reinterpret_cast<const char*>(data), size);
    return value;
}

void WriteValue(const wchar_t* key, const Value& value) {
    if (!value.present) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, ValueName);
        return;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, key, ValueName, value.type, value.bytes.data(),
                    static_cast<DWORD>(value.bytes.size()));
}

Value Text(const std::string& text) {
    std::wstring wide = ToWide(text);
    return {true, REG_SZ, std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2)};
}

std::string RunCommand() {
    Value value = ReadValue(RunKey);
    if (!value.present) return "";
    return FromWide(std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data())).c_str());
}

int ApprovedFirstByte() {
    Value value = ReadValue(ApprovedKey);
    return value.present && !value.bytes.empty() ? static_cast<unsigned char>(value.bytes[0]) : -1;
}

void ChooseStartWithWindows(HWND main) { ChooseMenuEntry(main, 0, EntryStartWithWindows); }

} // namespace

// The prefix's own registry: what a test changes there is put back, so that no later boot of
// the prefix starts a Verriq.
class Autostart : public VerriqTest {
  protected:
    void SetUp() override {
        savedRun = ReadValue(RunKey);
        savedApproved = ReadValue(ApprovedKey);
        WriteValue(RunKey, {});
        WriteValue(ApprovedKey, {});
        held = box.MakeFile("beim-anmelden.txt", "vom ersten Augenblick an");
        WriteFileList(held + "\r\n");
    }
    void TearDown() override {
        WriteValue(RunKey, savedRun);
        WriteValue(ApprovedKey, savedApproved);
    }
    std::string held;
    Value savedRun, savedApproved;
};

TEST_F(Autostart, OnInTheMenuThenStartedAtLogOnHiddenThenShownAndOff) {
    Start("1 Datei wird geschützt");
    std::string expected = "\"" + VerriqExe() + "\" /hintergrund";
    ChooseStartWithWindows(verriq.main());
    ASSERT_TRUE(WaitFor([&] { return RunCommand() == expected; })) << RunCommand();
    EXPECT_EQ(ReadValue(RunKey).type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ApprovedFirstByte(), 2);

    BringToFront(verriq.main());
    Tap(VK_F10);
    Tap(VK_DOWN);
    Sleep(500);
    SaveScreenshot("autostart_menu_checked");
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);
    verriq.ClickButton(ButtonQuit);
    ASSERT_EQ(verriq.WaitExit(), 0);
    verriq.Kill();

    // As Windows does at log-on: the stored command line, nothing else.
    ASSERT_TRUE(verriq.Start(box.appdata, RunCommand()));
    bool shown = false;
    WaitFor([&] {
        shown = shown || !verriq.TopWindows().empty();
        return verriq.FindWindowByTitle("Verriq 1.0.0") != nullptr;
    }, 20000, 10);
    ASSERT_NE(verriq.WaitMainWindow(5000, false), nullptr);
    bool protecting = WaitFor([&] {
        shown = shown || !verriq.TopWindows().empty();
        return verriq.StatusText() == StatusFor(1);
    }, 20000, 10);
    for (int i = 0; i < 100; ++i, Sleep(10)) shown = shown || !verriq.TopWindows().empty();
    EXPECT_FALSE(shown) << "a window was shown";
    ASSERT_TRUE(protecting) << verriq.StatusText();
    EXPECT_TRUE(CheckLockedByOthers(held, "vom ersten Augenblick an", box.root).all());

    // Another start from log-on leaves it hidden; a start by hand shows it.
    Verriq again;
    ASSERT_TRUE(again.Start(box.appdata, "\"" + VerriqExe() + "\" weiter /HINTERGRUND"));
    EXPECT_EQ(again.WaitExit(), 0);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(verriq.main()));
    Verriq byHand;
    ASSERT_TRUE(byHand.Start(box.appdata));
    EXPECT_EQ(byHand.WaitExit(), 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(verriq.main()) != 0; })) << "a second start did not show it";
    EXPECT_EQ(verriq.StatusText(), StatusFor(1));

    ChooseStartWithWindows(verriq.main());
    EXPECT_TRUE(WaitFor([&] { return !ReadValue(RunKey).present; })) << "the entry did not turn it off";
    EXPECT_FALSE(ReadValue(ApprovedKey).present);
    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
}

TEST_F(Autostart, AnEntrySwitchedOffByWindowsOrNamingAnotherExeShowsOff) {
    // Shown off, so choosing turns it on: the switch goes back to on and the value names us.
    std::string ours = "\"" + VerriqExe() + "\" /hintergrund";
    WriteValue(RunKey, Text(ours));
    WriteValue(ApprovedKey, {true, REG_BINARY, std::string("\x03\0\0\0\x10\x20\x30\x40\x50\x60\x70\x01", 12)});
    Start("1 Datei wird geschützt");
    ChooseStartWithWindows(verriq.main());
    EXPECT_TRUE(WaitFor([&] { return ApprovedFirstByte() == 2; })) << ApprovedFirstByte();
    EXPECT_EQ(ReadValue(ApprovedKey).bytes, std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(RunCommand(), ours);
    verriq.ClickButton(ButtonQuit);
    ASSERT_EQ(verriq.WaitExit(), 0);
    verriq.Kill();

    WriteValue(RunKey, Text("\"C:\\Programme\\Alt\\Verriq.exe\" /hintergrund"));
    WriteValue(ApprovedKey, {});
    Start("1 Datei wird geschützt");
    ChooseStartWithWindows(verriq.main());
    EXPECT_TRUE(WaitFor([&] { return RunCommand() == ours; })) << RunCommand();
    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
}

TEST_F(Autostart, ALibraryPlantedBesideTheExeIsNotLoaded) {
    std::string folder = box.root + "\\Downloads";
    std::string exe = folder + "\\Verriq.exe", planted = folder + "\\msimg32.dll", marker = planted + ".loaded";
    MakeFolders(folder);
    ASSERT_TRUE(CopyFileW(ToWide(VerriqExe()).c_str(), ToWide(exe).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ToWide(BuildFolder() + "\\planted\\msimg32.dll").c_str(), ToWide(planted).c_str(), FALSE));
    // The planted library does tell when it is loaded (where this driver can load it at all;
    // under its own name Wine would hand out its built-in copy).
    std::string check = folder + "\\marker-check.dll";
    ASSERT_TRUE(CopyFileW(ToWide(planted).c_str(), ToWide(check).c_str(), FALSE));
    if (HMODULE own = LoadLibraryW(ToWide(check).c_str())) {
        FreeLibrary(own);
        EXPECT_TRUE(FileExists(check + ".loaded"));
    }
    // Wine prefers its built-in copy unless told to search as Windows does, where the exe's own
    // folder comes first. It takes WINEDLLOVERRIDES only from the Unix environment, not from a
    // Windows parent's, so the same order is given through its per-program setting.
    const wchar_t* const overrides = L"Software\\Wine\\AppDefaults\\Verriq.exe\\DllOverrides";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, overrides, L"msimg32", REG_SZ, L"native,builtin", 30), ERROR_SUCCESS);
    bool started = verriq.Start(box.appdata, "\"" + exe + "\"");
    bool protecting = started && verriq.WaitMainWindow() &&
                      WaitFor([&] { return verriq.StatusText() == StatusFor(1); }, 20000);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Verriq.exe");
    ASSERT_TRUE(protecting);
    EXPECT_FALSE(FileExists(marker)) << "the library beside the exe was loaded";
    verriq.ClickButton(ButtonQuit);
    EXPECT_EQ(verriq.WaitExit(), 0);
}

TEST_F(Autostart, AHiddenStartStillTellsAListItCouldNotRead) {
    HANDLE busy = CreateFileW(ToWidePath(box.fileList()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(verriq.Start(box.appdata, "\"" + VerriqExe() + "\" /hintergrund"));
    HWND told = verriq.WaitWindow("Liste nicht gelesen", "#32770", 20000);
    CloseHandle(busy);
    ASSERT_NE(told, nullptr) << "nothing was told";
    ASSERT_TRUE(PressButton(told, "OK"));
    ASSERT_NE(verriq.WaitMainWindow(5000, false), nullptr);
    Sleep(300);
    EXPECT_FALSE(IsWindowVisible(verriq.main()));
    EXPECT_TRUE(verriq.Running());
}
