// What defending the locks costs with many files held, against floors measured in the same run:
// one full verification (every held handle compared with the system's handle table) against one
// bare read of that table; the identity taken at every open against the open itself; and the
// CPU of an idle stretch with the check every DefenceInterval against the same
// stretch without it.
//
//     lock_defence_bench_win32.exe [N [seconds]]      (default 10000 files, 20 s idle)
#include "app/application.h"
#include "app/protection/handle_guard.h"
#include "app/lock_defence.h"
#include "app/protection/protection_model.h"
#include "core/clock_win32.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

const char* ProductName = "VerriqBench";
const char* ProductVersion = "";
[[noreturn]] void ShutDown() {
    ExitProcess(1);
}

namespace {

constexpr int Repeats = 20;

double ProcessCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

double Milliseconds(unsigned long long fromMicroseconds) {
    return static_cast<double>(MonotonicMicroseconds() - fromMicroseconds) / 1000.0;
}

// Ticks every interval for seconds, doing work at each; the process's CPU and the time the work
// itself took (under Wine much of it is spent in the server, outside this process).
void Idle(const char* what, int seconds, void (*work)()) {
    double cpu = ProcessCpuSeconds();
    unsigned long long busy = 0;
    unsigned long long end = GetTickCount64() + seconds * 1000ULL;
    int ticks = 0;
    while (GetTickCount64() < end) {
        Sleep(DefenceInterval);
        unsigned long long start = MonotonicMicroseconds();
        if (work) work();
        busy += MonotonicMicroseconds() - start;
        ++ticks;
    }
    cpu = ProcessCpuSeconds() - cpu;
    std::printf("%-44s %6.3f %% of a core (process CPU), work %.3f ms a tick = %.3f %% of the time\n", what,
                cpu * 100.0 / seconds, busy / 1000.0 / ticks, busy / 10.0 / (seconds * 1000.0));
}

void Check() {
    DefendLocks();
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "verriq-defence-bench";
    CreateDirectoryA(root.c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
        std::string path = root + "\\f" + std::to_string(i) + ".txt";
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        paths.push_back(ToWidePath(path));
    }

    // Floor of the identity: the bare open; then the identity of every handle so opened.
    std::vector<HANDLE> handles;
    unsigned long long start = MonotonicMicroseconds();
    for (const std::wstring& path : paths)
        handles.push_back(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    double opens = Milliseconds(start);
    start = MonotonicMicroseconds();
    for (std::size_t i = 0; i < handles.size(); ++i)
        TakeFileIdentity(handles[i], paths[i]);
    double identities = Milliseconds(start);
    start = MonotonicMicroseconds();
    for (std::size_t i = 0; i < handles.size() && i < 1000; ++i) {
        BY_HANDLE_FILE_INFORMATION information;
        GetFileInformationByHandle(handles[i], &information);
    }
    double fullPerFile = Milliseconds(start) / std::min<std::size_t>(handles.size(), 1000);
    for (HANDLE handle : handles)
        CloseHandle(handle);
    std::printf("%d files\n", count);
    std::printf("open, the floor                              %8.1f ms (%.1f us a file)\n", opens,
                opens * 1000 / count);
    std::printf(
        "identity at open                             %8.1f ms (%.1f us a file, %.0f %% of the open)\n",
        identities, identities * 1000 / count, identities * 100 / opens);
    std::printf("  the same by GetFileInformationByHandle     %8.1f us a file\n", fullPerFile * 1000);

    ProtectionModel& model = Protection();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string path = FromWide(paths[i]);
        model.Append(path, paths[i], FileKey(paths[i]), false);
    }
    std::vector<HeldLock> held;
    model.CollectHeld(held);
    std::printf("held                                         %8zu\n", held.size());

    // Floor of a verification: one bare read of our own entries of the table.
    HandleTable table;
    std::vector<HandleEntry> entries;
    table.Read(GetCurrentProcessId(), entries);
    start = MonotonicMicroseconds();
    for (int i = 0; i < Repeats; ++i)
        table.Read(GetCurrentProcessId(), entries);
    double floor = Milliseconds(start) / Repeats;
    HandleGuard guard;
    guard.FindLost(held);
    start = MonotonicMicroseconds();
    std::size_t lost = 0;
    for (int i = 0; i < Repeats; ++i) {
        held.clear();
        model.CollectHeld(held);
        lost += guard.FindLost(held).size();
    }
    double full = Milliseconds(start) / Repeats;
    std::printf("handle table read, the floor                 %8.3f ms (%zu entries of ours)\n", floor,
                entries.size());
    std::printf("one full verification (%s)      %8.3f ms (%.2f x the floor), %zu lost\n",
                guard.ReadTable() ? "table" : "count", full, full / floor, lost);
    std::printf("  every handle asked instead, estimated      %8.1f ms\n", fullPerFile * count);

    Idle("idle, nothing checked (floor)", idleSeconds, nullptr);
    Idle("idle, checked every second", idleSeconds, Check);
    model.Clear();
    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
    RemoveDirectoryA(root.c_str());
    return 0;
}
