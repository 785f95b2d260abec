// Start-up with many protected files, against the floor: startup_floor_win32.exe, the barest
// program that builds the same window, lists the same rows and holds the same files, started the
// same way and timed the same way (until its status bar tells that all N are held). A start by
// hand is set against the floor that shows its window, a start at log-on against the floor that
// builds it and never shows it. Prints the times and ratios for each N, the working set per
// protected file and the CPU time the idle program uses (the hot-key watcher's share must be
// near zero).
//
//     startup_win32.exe [N ...]          (default 0 1000 10000)
#include "core/clock_win32.h"
#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The machine is shared and noisy: the fastest of several runs is the least disturbed one.
constexpr int Repeats = 7;
// Wine's server lets go of a killed program's ten thousand handles after the kill has been
// reported; the next start would open its files while that goes on.
constexpr DWORD SettleMilliseconds = 300;

std::string Folder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.rfind('\\'));
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
}

// ---- driving Verriq ----

struct Process {
    PROCESS_INFORMATION info = {};
    bool Start(const std::string& exe, const std::string& arguments, const std::string* appdata) {
        std::string line = "\"" + exe + "\" " + arguments;
        std::string environment;
        if (appdata) {
            char* strings = GetEnvironmentStringsA();
            for (const char* entry = strings; *entry; entry += strlen(entry) + 1)
                if (_strnicmp(entry, "APPDATA=", 8) != 0) environment.append(entry).push_back('\0');
            FreeEnvironmentStringsA(strings);
            environment += "APPDATA=" + *appdata;
            environment.push_back('\0');
            environment.push_back('\0');
        }
        STARTUPINFOA startup = {sizeof startup};
        return CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                              appdata ? &environment[0] : nullptr, nullptr, &startup, &info) != 0;
    }
    void End() {
        if (!info.hProcess) return;
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
        Sleep(SettleMilliseconds);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        info = {};
    }
};

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMain(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (pid == search->pid && strcmp(title, "Verriq 1.0.0") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The status bar's text as the program's UTF-8. Read wide: the ANSI form would come in the
// system's code page, which never equals the UTF-8 text it is compared with.
std::string StatusText(HANDLE process, HWND main) {
    HWND bar = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
    if (!bar) return "";
    wchar_t text[256] = L"";
    void* remote = VirtualAllocEx(process, nullptr, sizeof text, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return "";
    DWORD_PTR result = 0;
    // The answer's low word is the text's length in characters; what lies beyond it is not read.
    if (SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, 0, 0, SMTO_NORMAL, 1000, &result) &&
        LOWORD(result) < std::size(text) &&
        SendMessageTimeoutW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 1000, &result))
        ReadProcessMemory(process, remote, text, (LOWORD(result) + 1) * sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    text[std::size(text) - 1] = L'\0';
    return FromWide(text);
}

// Another opener sharing everything is refused while Verriq holds the file.
bool IsHeld(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
}

struct VerriqRun {
    double seconds = -1;
    SIZE_T workingSet = 0;
    double startCpuSeconds = -1;
    double idleCpuSeconds = -1;
};

ULONGLONG FileTimeTicks(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// CPU time of the process, as the sum over its running threads. Wine answers GetProcessTimes for
// another process with the caller's own times (this benchmark's, summed over every run so far),
// while GetThreadTimes reads each thread's real account; threads that ended are not counted.
ULONGLONG CpuTicks(DWORD processId) {
    ULONGLONG total = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry = {sizeof entry};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user))
            total += FileTimeTicks(kernel) + FileTimeTicks(user);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return total;
}

// arguments: "" for a start by hand, "/hintergrund" for the start at log-on, without a window.
// exe is Verriq.exe or the floor (whose arguments name the list first).
VerriqRun RunVerriq(const std::string& appdata, const std::string& lastFile, int n, bool measureIdle,
                    const std::string& arguments = "", const char* exe = "Verriq.exe") {
    VerriqRun run;
    std::string expected = std::to_string(n) + (n == 1 ? " Datei wird geschützt" : " Dateien werden geschützt");
    Process verriq;
    double start = MonotonicSeconds();
    if (!verriq.Start(Folder() + "\\" + exe, arguments, &appdata)) return run;
    Search search{verriq.info.dwProcessId, nullptr};
    // Asking the status bar for its text is a message into the busy thread, and a stream of
    // them slows the loading down several times under Wine. So watch the last listed file
    // instead, which is locked last, and ask once it is held: the answer comes when the loop
    // runs, and then the text must be there. The floor's time ends exactly (at its exit), so
    // the watch is close-meshed: a coarse one added up to its interval to every Verriq run.
    while (n > 0 && MonotonicSeconds() - start < 120 && !IsHeld(lastFile)) Sleep(5);
    while (MonotonicSeconds() - start < 120) {
        if (!search.found) EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
        if (search.found && StatusText(verriq.info.hProcess, search.found) == expected) {
            run.seconds = MonotonicSeconds() - start;
            break;
        }
        Sleep(10);
    }
    if (run.seconds >= 0) {
        Sleep(500);
        PROCESS_MEMORY_COUNTERS memory = {sizeof memory};
        if (GetProcessMemoryInfo(verriq.info.hProcess, &memory, sizeof memory)) run.workingSet = memory.WorkingSetSize;
        ULONGLONG before = CpuTicks(verriq.info.dwProcessId);
        run.startCpuSeconds = static_cast<double>(before) / 1e7;
        if (measureIdle) {
            Sleep(10000);
            run.idleCpuSeconds = static_cast<double>(CpuTicks(verriq.info.dwProcessId) - before) / 1e7;
        }
    }
    verriq.End();
    return run;
}

std::string FilePath(int n, int i) {
    return Folder() + "\\bench-startup\\" + std::to_string(n) + "\\files\\Datei " + std::to_string(i) + ".txt";
}

double RunFloor(const std::string& appdata, const std::string& listPath, int n, bool hidden) {
    std::string arguments = "\"" + listPath + "\"" + (hidden ? " /hintergrund" : "");
    return RunVerriq(appdata, n > 0 ? FilePath(n, n - 1) : "", n, false, arguments, "startup_floor_win32.exe").seconds;
}

// Makes the N files and an appdata folder whose Dateien.ini lists them (kept between runs).
std::string Prepare(int n, std::string& listPath) {
    std::string base = Folder() + "\\bench-startup\\" + std::to_string(n);
    std::string files = base + "\\files", appdata = base + "\\appdata";
    std::string storage = appdata + "\\Ondrak\\Verriq";
    for (const std::string& folder : {Folder() + "\\bench-startup", base, files, appdata, appdata + "\\Ondrak", storage})
        CreateDirectoryA(folder.c_str(), nullptr);
    std::string list;
    for (int i = 0; i < n; ++i) {
        std::string path = FilePath(n, i);
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) WriteBytes(path, "Inhalt " + std::to_string(i));
        list += path + "\r\n";
    }
    listPath = storage + "\\Dateien.ini";
    WriteBytes(listPath, list);
    WriteBytes(storage + "\\Einstellungen.ini", "[Einstellungen]\r\nSpecialKey = 88\r\n");
    return appdata;
}

double Fastest(const std::vector<double>& values) {
    double best = -1;
    for (double value : values)
        if (value >= 0 && (best < 0 || value < best)) best = value;
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(atoi(argv[i]));
    if (counts.empty()) counts = {0, 1000, 10000};

    std::string emptyList;
    std::string emptyAppdata = Prepare(0, emptyList);
    VerriqRun baseline = RunVerriq(emptyAppdata, "", 0, false);

    printf("%8s %11s %11s %7s %11s %11s %7s %14s\n", "files", "Verriq (s)", "floor (s)", "ratio", "log-on (s)",
           "hidden (s)", "ratio", "WS/file (KiB)");
    VerriqRun last;
    int lastCount = 0;
    for (int n : counts) {
        std::string listPath;
        std::string appdata = Prepare(n, listPath);
        std::string lastFile = n > 0 ? FilePath(n, n - 1) : "";
        std::vector<double> verriqTimes, hiddenTimes, floorTimes, hiddenFloorTimes;
        VerriqRun run;
        // Interleaved, so that a disturbance of the machine falls on all four alike.
        for (int r = 0; r < Repeats; ++r) {
            run = RunVerriq(appdata, lastFile, n, false);
            verriqTimes.push_back(run.seconds);
            floorTimes.push_back(RunFloor(appdata, listPath, n, false));
            hiddenTimes.push_back(RunVerriq(appdata, lastFile, n, false, "/hintergrund").seconds);
            hiddenFloorTimes.push_back(RunFloor(appdata, listPath, n, true));
        }
        double verriq = Fastest(verriqTimes), hidden = Fastest(hiddenTimes);
        double floor = Fastest(floorTimes), hiddenFloor = Fastest(hiddenFloorTimes);
        double perFile = n > 0 && run.workingSet > baseline.workingSet
                             ? static_cast<double>(run.workingSet - baseline.workingSet) / n / 1024.0
                             : 0.0;
        printf("%8d %11.3f %11.3f %7.2f %11.3f %11.3f %7.2f %14.2f\n", n, verriq, floor,
               floor > 0 ? verriq / floor : 0.0, hidden, hiddenFloor, hiddenFloor > 0 ? hidden / hiddenFloor : 0.0,
               perFile);
        fflush(stdout);
        last = run;
        lastCount = n;
    }
    if (lastCount > 0) {
        std::string listPath;
        VerriqRun idle = RunVerriq(Prepare(lastCount, listPath), FilePath(lastCount, lastCount - 1), lastCount, true);
        printf("working set: %.1f MiB with %d files, %.1f MiB with none\n", idle.workingSet / 1048576.0, lastCount,
               baseline.workingSet / 1048576.0);
        printf("CPU time: %.3f s to start with %d files, then %.3f s while idle for 10 s (%.2f %%)\n",
               idle.startCpuSeconds, lastCount, idle.idleCpuSeconds, idle.idleCpuSeconds * 10.0);
    }
    return 0;
}
