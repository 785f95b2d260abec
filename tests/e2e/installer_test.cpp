// The per-user setup (VERRIQ_SETUP names it; without it these tests are skipped): a silent
// install, an upgrade while Verriq runs hidden that leaves it running hidden with every file
// held again, and a silent uninstall that removes everything naming the installed exe, keeps
// the list and leaves a portable copy's entries alone. Run by the release's "installer" test.
#include "tests/e2e/driver.h"

#include <atomic>

using namespace e2e;

namespace {

const wchar_t* const UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Verriq";
const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const ApprovedKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t* const VerbKeys[] = {
    L"Software\\Classes\\*\\shell\\Verriq", L"Software\\Classes\\Directory\\shell\\Verriq",
    L"Software\\Classes\\*\\shell\\VerriqFreigeben", L"Software\\Classes\\Directory\\shell\\VerriqFreigeben"};

std::string SetupExe() {
    char given[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA("VERRIQ_SETUP", given, sizeof given);
    if (length == 0 || length >= sizeof given) return {};
    std::string path = given;
    if (path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path)
            if (c == '/') c = '\\';
    }
    return path;
}

std::string ShellFolder(int which) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path)) ? FromWide(path)
                                                                                          : "";
}

bool KeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::optional<DWORD> RegistryNumber(const std::wstring& key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size))
        return {};
    return value;
}

void WriteText(const std::wstring& key, const wchar_t* name, const std::string& text) {
    std::wstring wide = ToWide(text);
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, wide.c_str(),
                    static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// A verb as Verriq writes it for the exe at this path.
void WriteVerb(const std::wstring& key, const std::string& exe) {
    WriteText(key, nullptr, "Mit Verriq schützen");
    WriteText(key + L"\\command", nullptr, "\"" + exe + "\" /schuetzen \"%1\"");
}

// Whether anything that starts a program names this exe: the log-on value and every verb.
std::vector<std::string> EntriesNaming(const std::string& exe) {
    std::vector<std::string> found;
    auto names = [&](const std::optional<std::string>& command) {
        return command && FoldedCase(ToWide(*command)).find(FoldedCase(ToWide(exe))) != std::wstring::npos;
    };
    if (names(RegistryText(RunKey, L"Verriq"))) found.push_back("Run");
    for (const wchar_t* key : VerbKeys)
        if (names(RegistryText(std::wstring(key) + L"\\command", nullptr))) found.push_back(FromWide(key));
    return found;
}

// How long the file stood open to others while the setup ran: from the first open that
// succeeded to the first one refused after it, sampled every few milliseconds on its own thread.
struct GapProbe {
    std::wstring path;
    std::atomic<bool> stop{false};
    std::atomic<LONGLONG> opened{0}, closed{0};
    LONGLONG frequency = 1;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<GapProbe*>(parameter);
        while (!self->stop && !self->closed) {
            HANDLE file = CreateFileW(self->path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
                if (!self->opened) self->opened = now.QuadPart;
            } else if (self->opened) {
                self->closed = now.QuadPart;
            }
            Sleep(2);
        }
        return 0;
    }
    void Start(const std::string& file) {
        path = ToWide(file);
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        frequency = f.QuadPart;
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    bool Closed() const { return closed != 0; }
    // -1 while it was never closed again.
    double StopMs() {
        stop = true;
        if (thread) WaitForSingleObject(thread, 5000), CloseHandle(thread);
        return closed ? (closed - opened) * 1000.0 / frequency : -1;
    }
};

} // namespace

class Installer : public VerriqTest {
  protected:
    void SetUp() override {
        setup = SetupExe();
        if (setup.empty()) GTEST_SKIP() << "VERRIQ_SETUP names no setup (scripts/build.sh installer)";
        folder = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Verriq";
        exe = folder + "\\Verriq.exe";
        uninstaller = folder + "\\Deinstallieren.exe";
        shortcut = ShellFolder(CSIDL_PROGRAMS) + "\\Verriq.lnk";
        CleanUp();
        held = box.MakeFile("vertrag.txt", "nur für uns");
        WriteFileList(held + "\r\n");
    }
    void TearDown() override {
        if (setup.empty()) return;
        // Nothing of a failed run may start at the prefix's next log-on or stay installed.
        RunProgram("\"" + exe + "\" /beenden");
        CleanUp();
    }
    void CleanUp() {
        for (const wchar_t* key : VerbKeys)
            RegDeleteTreeW(HKEY_CURRENT_USER, key);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, L"Verriq");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, ApprovedKey, L"Verriq");
        RegDeleteTreeW(HKEY_CURRENT_USER, UninstallKey);
        for (const std::string& file : {exe, uninstaller, folder + "\\Verriq-neu.exe", shortcut})
            DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    // Runs a program with the sandbox's application data; its exit code (-1: still running).
    long RunProgram(const std::string& commandLine, int timeoutMs = 60000) {
        Verriq program;
        if (!program.Start(box.appdata, commandLine)) return -2;
        return program.WaitExit(timeoutMs);
    }
    long Install() { return RunProgram("\"" + setup + "\" /S"); }
    // The uninstaller hands over to a copy of itself and returns at once: wait for what it removes.
    bool Uninstall() {
        if (RunProgram("\"" + uninstaller + "\" /S") != 0) return false;
        return WaitFor([&] { return !KeyExists(UninstallKey) && !FileExists(uninstaller); }, 30000, 100);
    }

    std::string setup, folder, exe, uninstaller, shortcut, held;
};

TEST_F(Installer, InstallsUpgradesWhileVerriqRunsAndRemovesOnlyWhatNamesTheInstalledExe) {
    // A silent install: the exe, the shortcut and the entry in the list of installed apps.
    ASSERT_EQ(Install(), 0);
    EXPECT_TRUE(FileExists(exe));
    EXPECT_TRUE(FileExists(shortcut));
    EXPECT_TRUE(FileExists(uninstaller));
    EXPECT_EQ(RegistryText(UninstallKey, L"DisplayName").value_or(""), "Verriq");
    EXPECT_EQ(RegistryText(UninstallKey, L"DisplayVersion").value_or(""), "1.0.0");
    EXPECT_FALSE(RegistryText(UninstallKey, L"Publisher").value_or("").empty());
    EXPECT_NE(RegistryText(UninstallKey, L"DisplayIcon").value_or("").find(exe), std::string::npos);
    EXPECT_EQ(RegistryText(UninstallKey, L"InstallLocation").value_or(""), folder);
    EXPECT_EQ(RegistryText(UninstallKey, L"UninstallString").value_or(""), "\"" + uninstaller + "\"");
    EXPECT_EQ(RegistryText(UninstallKey, L"QuietUninstallString").value_or(""), "\"" + uninstaller + "\" /S");
    EXPECT_GT(RegistryNumber(UninstallKey, L"EstimatedSize").value_or(0), 100u) << "in KB: at least the exe";
    EXPECT_EQ(RegistryNumber(UninstallKey, L"NoModify").value_or(0), 1u);
    EXPECT_EQ(RegistryNumber(UninstallKey, L"NoRepair").value_or(0), 1u);
    // Nothing ran before, so nothing was started.
    EXPECT_EQ(MainWindows(false), 0);

    // The installed Verriq protects the file, starts with Windows and is offered in the Explorer.
    ASSERT_TRUE(verriq.Start(box.appdata, "\"" + exe + "\""));
    ASSERT_NE(verriq.WaitMainWindow(), nullptr);
    ASSERT_TRUE(Holding(1, 20000));
    ChooseMenuEntry(verriq.main(), 0, EntryStartWithWindows);
    ASSERT_TRUE(WaitFor([&] { return EntriesNaming(exe).size() == 1; }))
        << "the start with Windows was not turned on";
    ChooseMenuEntry(verriq.main(), 0, EntryOfferInExplorer);
    ASSERT_TRUE(WaitFor([&] { return EntriesNaming(exe).size() >= 3; }))
        << "the Explorer entry was not turned on";
    Hide();

    // The upgrade while it runs hidden: it runs hidden again, holds the file again, and the list
    // and its entries stay.
    std::string settings = ReadBytes(box.settings());
    ASSERT_FALSE(settings.empty());
    GapProbe probe;
    probe.Start(held);
    FILETIME begun, created, ended, kernel, user;
    GetSystemTimeAsFileTime(&begun);
    DWORD start = GetTickCount();
    ASSERT_EQ(Install(), 0);
    DWORD took = GetTickCount() - start;
    EXPECT_EQ(verriq.WaitExit(5000), 0) << "the old copy did not end by itself";
    GetProcessTimes(verriq.process(), &created, &ended, &kernel, &user);
    auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    long endedAfter = static_cast<long>((ticks(ended) - ticks(begun)) / 10000);
    // Watched by the probe alone: another program's open at the moment of the new copy's own
    // would only make it try again.
    EXPECT_TRUE(WaitFor([&] { return probe.Closed(); }, 20000))
        << "the file is not protected after the upgrade";
    double gap = probe.StopMs();
    // When the new copy's process began, for the report: the rest of the gap is its own start.
    long startedAfter = -1;
    if (HWND window = FindWindowW(nullptr, L"Verriq 1.0.0")) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) {
            if (GetProcessTimes(process, &created, &ended, &kernel, &user))
                startedAfter = static_cast<long>((ticks(created) - ticks(begun)) / 10000);
            CloseHandle(process);
        }
    }
    std::printf(
        "[ upgrade  ] setup %lu ms; the old copy ended after %ld ms, the new one began after %ld ms; the "
        "file stood open to others for %.0f ms\n",
        took, endedAfter, startedAfter, gap);
    RecordProperty("UnprotectedMilliseconds", static_cast<int>(gap));
    EXPECT_EQ(MainWindows(false), 1) << "no Verriq runs after the upgrade";
    EXPECT_EQ(MainWindows(true), 0) << "the hidden copy came back with its window";
    EXPECT_TRUE(LockedAgainstOthers(held, "nur für uns", box.root));
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n");
    EXPECT_EQ(ReadBytes(box.settings()), settings);
    EXPECT_GE(EntriesNaming(exe).size(), 3u)
        << "the upgrade lost the start with Windows or the Explorer entry";

    // The uninstall ends it and removes everything that names the installed exe, but not the list.
    ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
    EXPECT_TRUE(WaitFor([] { return MainWindows(false) == 0; }, 10000)) << "Verriq still runs";
    EXPECT_FALSE(FileExists(exe));
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_FALSE(FolderExists(folder));
    EXPECT_EQ(EntriesNaming(exe), std::vector<std::string>{});
    EXPECT_EQ(RegistryBytes(ApprovedKey, L"Verriq"), std::nullopt);
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n") << "the silent uninstall touched the list";
    EXPECT_TRUE(ReadableByOthers(held, "nur für uns", box.root));
}

TEST_F(Installer, UninstallLeavesAPortableCopysEntriesAlone) {
    ASSERT_EQ(Install(), 0);
    std::string portable = box.root + "\\tragbar\\Verriq.exe";
    MakeFolders(box.root + "\\tragbar");
    ASSERT_TRUE(CopyFileA(exe.c_str(), portable.c_str(), FALSE));
    std::string logOn = "\"" + portable + "\" /hintergrund";
    WriteText(RunKey, L"Verriq", logOn);
    WriteVerb(VerbKeys[0], portable);
    // The folders' verb of the installed exe goes, the files' one of the portable copy stays.
    WriteVerb(VerbKeys[1], exe);
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(RegistryText(RunKey, L"Verriq").value_or(""), logOn);
    EXPECT_TRUE(KeyExists(VerbKeys[0]));
    EXPECT_FALSE(KeyExists(VerbKeys[1]));
    EXPECT_TRUE(FileExists(portable));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, L"Verriq");
}

TEST_F(Installer, UpgradeStopsWithoutTouchingACopyThatCannotSaveItsList) {
    ASSERT_EQ(Install(), 0);
    ASSERT_TRUE(verriq.Start(box.appdata, "\"" + exe + "\""));
    ASSERT_NE(verriq.WaitMainWindow(), nullptr);
    ASSERT_TRUE(Holding(1, 20000));
    // A folder in the list's place: the running copy cannot save, so it must not be ended.
    ASSERT_TRUE(DeleteFileA(box.fileList().c_str()));
    ASSERT_TRUE(CreateDirectoryA(box.fileList().c_str(), nullptr));
    EXPECT_EQ(Install(), 2) << "the setup did not report that it stopped";
    EXPECT_TRUE(verriq.Running());
    EXPECT_TRUE(FileExists(exe));
    EXPECT_FALSE(FileExists(folder + "\\Verriq-neu.exe"));
    HWND told = verriq.WaitWindow("Nicht beendet", "#32770");
    ASSERT_NE(told, nullptr) << "the running copy did not say why it keeps running";
    EXPECT_TRUE(LockedAgainstOthers(held, "nur für uns", box.root));
    PressButton(told, "OK");
    RemoveDirectoryA(box.fileList().c_str());
}
