// Holding a folder of many files, against the floor: the same tree enumerated with
// FindFirstFileExW (basic information, large fetch) and every file opened once with CreateFileW,
// in the same run. Then the CPU the held, watched folder costs while nothing happens in it.
//
//     folder_bench_win32.exe [N [seconds]]      (default 10000 files, 20 s idle)
#include "app/application.h"
#include "app/protection/protected_tree.h"
#include "app/protection/protection_model.h"
#include "core/clock_win32.h"
#include "core/handles_win32.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The application's parts that the list pulls in want these; the bench never shuts down.
const char* ProductName = "VerriqBench";
const char* ProductVersion = "";
[[noreturn]] void ShutDown() { ExitProcess(1); }

namespace {

constexpr int Repeats = 5;
constexpr int FilesPerFolder = 500;

double ProcessCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The floor: what any program must do to hold every file of the tree.
void Floor(const std::wstring& folder, std::vector<UniqueFile>& held) {
    WIN32_FIND_DATAW found;
    UniqueFindFile find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Floor(folder + name + L'\\', held);
            continue;
        }
        held.emplace_back(CreateFileW((folder + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    } while (FindNextFileW(find.get(), &found));
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"verriq-folder-bench\\";
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        std::wstring sub = root + L"teil-" + std::to_wstring(i / FilesPerFolder) + L'\\';
        if (i % FilesPerFolder == 0) CreateDirectoryW(sub.c_str(), nullptr);
        std::wstring path = sub + L"datei-" + std::to_wstring(i) + L".txt";
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (file) WriteFile(file.get(), "Inhalt", 6, &written, nullptr);
    }
    std::string rootText = FromWide(root);
    std::wstring key = root;
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));

    std::vector<double> floors, ours;
    int heldByFloor = 0, heldByTree = 0;
    for (int round = 0; round < Repeats; ++round) {
        std::vector<UniqueFile> held;
        held.reserve(static_cast<std::size_t>(count));
        double start = MonotonicSeconds();
        Floor(root, held);
        floors.push_back(MonotonicSeconds() - start);
        heldByFloor = static_cast<int>(std::count_if(held.begin(), held.end(), [](const UniqueFile& f) { return f.valid(); }));
        held.clear();

        start = MonotonicSeconds();
        {
            ProtectedTree tree(rootText, key, Protection());
            unsigned long error = 0;
            tree.HoldRoot(error, nullptr, 0, 0);
            while (tree.Busy()) tree.Work(40);
            ours.push_back(MonotonicSeconds() - start);
            heldByTree = tree.HeldFiles();
        }
    }
    std::sort(floors.begin(), floors.end());
    std::sort(ours.begin(), ours.end());
    double floor = floors[Repeats / 2], own = ours[Repeats / 2];
    std::printf("holding a folder of %d files (%d subfolders), median of %d runs\n", count,
                (count + FilesPerFolder - 1) / FilesPerFolder, Repeats);
    std::printf("  floor (FindFirstFileExW + CreateFileW)  %8.1f ms  (%d held)\n", floor * 1000, heldByFloor);
    std::printf("  folder row                              %8.1f ms  (%d held)  %.2fx the floor\n", own * 1000,
                heldByTree, own / floor);

    {
        ProtectedTree tree(rootText, key, Protection());
        unsigned long error = 0;
        tree.HoldRoot(error, nullptr, 0, 0);
        while (tree.Busy()) tree.Work(40);
        Sleep(1000);
        double cpu = ProcessCpuSeconds();
        Sleep(static_cast<DWORD>(idleSeconds) * 1000);
        double used = ProcessCpuSeconds() - cpu;
        std::printf("  held and watched, idle for %d s: %.3f s CPU (%.3f %% of a core)\n", idleSeconds, used,
                    100.0 * used / idleSeconds);
    }
    for (int i = 0; i < count; ++i) {
        std::wstring sub = root + L"teil-" + std::to_wstring(i / FilesPerFolder) + L'\\';
        DeleteFileW((sub + L"datei-" + std::to_wstring(i) + L".txt").c_str());
        if (i % FilesPerFolder == FilesPerFolder - 1 || i == count - 1) RemoveDirectoryW(sub.c_str());
    }
    RemoveDirectoryW(root.c_str());
    return 0;
}
