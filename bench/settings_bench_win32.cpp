// Settings documents of 1 MB and 10 MB, opened, looked up and closed: our engine against the
// system's profile functions (GetPrivateProfileStringA) doing the same look-ups on the same
// file in the same run. Run it under wine64 with the x86_64 build.
#include "core/clock_win32.h"
#include "settings/settings_document.h"

#include "settings_bench_common.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace settings_bench;

namespace {

std::vector<Lookup> lookups;
long long checksum = 0;

// The fastest of as many rounds as fit in `budget` seconds (at least `least`), after one round
// to warm the caches: the round least disturbed by other work on a shared machine.
template <class Work> double SecondsPerRound(Work work, double budget = 2.0, int least = 3) {
    work();
    int rounds = 0;
    double best = 1e9, start = MonotonicSeconds();
    do {
        double begin = MonotonicSeconds();
        work();
        best = std::min(best, MonotonicSeconds() - begin);
        ++rounds;
    } while (MonotonicSeconds() - start < budget || rounds < least);
    return best;
}

void Check(int value, const Lookup& lookup) {
    if (value != lookup.value) {
        std::printf("wrong value for %s/%s: %d, not %d\n", lookup.group.c_str(), lookup.key.c_str(), value,
                    lookup.value);
        std::exit(1);
    }
    checksum += value;
}

void OurEngine(const std::string& path) {
    OpenSettings(path.c_str());
    for (const Lookup& lookup : lookups) {
        SelectSettingsGroup(lookup.group.c_str());
        Check(ReadSettingNumber(lookup.key.c_str(), -1), lookup);
    }
    CloseSettings();
}

void ProfileLookups(const std::string& path) {
    char value[64];
    for (const Lookup& lookup : lookups) {
        GetPrivateProfileStringA(lookup.group.c_str(), lookup.key.c_str(), "", value, sizeof value,
                                 path.c_str());
        Check(std::atoi(value), lookup);
    }
}

// The profile functions keep files they have read; letting go of it first makes them read
// the file again, as our engine does on every open.
void ProfileFunctions(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    ProfileLookups(path);
}

} // namespace

int main() {
    InitSettings();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "verriq_settings_bench.ini";
    for (std::size_t megabytes : {1, 10}) {
        std::string document = MakeDocument(megabytes << 20, &lookups);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, document.data(), static_cast<DWORD>(document.size()), &written, nullptr);
        CloseHandle(file);
        double mb = document.size() / 1048576.0;

        double ours = SecondsPerRound([&] { OurEngine(path); });
        double theirs = SecondsPerRound([&] { ProfileFunctions(path); }, 2.0, 2);
        std::printf("%zu MB document (%zu bytes), open + %d look-ups + close a round:\n", megabytes,
                    document.size(), LookupsPerRound);
        std::printf("  our engine                %9.1f MB/s  (%.2f ms)\n", mb / ours, ours * 1000);
        std::printf("  GetPrivateProfileStringA  %9.1f MB/s  (%.2f ms)\n", mb / theirs, theirs * 1000);
        std::printf("  ours / profile functions  %9.2f x\n", theirs / ours);

        // One look-up a round: reading and splitting the file is nearly all of the work.
        Lookup first = lookups[0];
        double oursOne = SecondsPerRound([&] {
            OpenSettings(path.c_str());
            SelectSettingsGroup(first.group.c_str());
            Check(ReadSettingNumber(first.key.c_str(), -1), first);
            CloseSettings();
        });
        double theirsOne = SecondsPerRound([&] {
            char value[64];
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
            GetPrivateProfileStringA(first.group.c_str(), first.key.c_str(), "", value, sizeof value,
                                     path.c_str());
            Check(std::atoi(value), first);
        });
        std::printf("  open + 1 look-up + close:  ours %.1f MB/s, profile functions %.1f MB/s, %.2f x\n",
                    mb / oursOne, mb / theirsOne, theirsOne / oursOne);

        // Look-ups alone, with the document already in memory on both sides.
        OpenSettings(path.c_str());
        double oursWarm = SecondsPerRound(
            [&] {
                for (const Lookup& lookup : lookups) {
                    SelectSettingsGroup(lookup.group.c_str());
                    Check(ReadSettingNumber(lookup.key.c_str(), -1), lookup);
                }
            },
            0.5);
        CloseSettings();
        double theirsWarm = SecondsPerRound([&] { ProfileLookups(path); }, 0.5);
        std::printf("  one look-up, loaded:  ours %.2f us, profile functions %.2f us\n",
                    oursWarm * 1e6 / LookupsPerRound, theirsWarm * 1e6 / LookupsPerRound);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    DeleteFileA(path.c_str());
    std::printf("(checksum %lld)\n", checksum);
    return 0;
}
