// Settings documents of 1 MB and 10 MB, parsed and looked up: our engine against Debian's
// libinih doing the same work on the same file, and against reading the file alone (the floor).
// Build without the sanitizers for figures that mean anything:
//   scripts/build.sh native -DVERRIQ_SANITIZE=OFF  (in a build folder of its own)
#include "core/memory.h"
#include "settings/settings_core.h"

#include "settings_bench_common.h"

#ifdef VERRIQ_HAVE_INIH
#include <ini.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

using namespace settings_bench;

namespace {

std::vector<Lookup> lookups;
long long checksum = 0;

// Seconds for one round: the fastest of as many as fit in a second (at least three), after
// one to warm the page cache. The fastest round is the one least disturbed by other work on a
// shared machine.
template <class Work> double SecondsPerRound(Work work) {
    work();
    using Clock = std::chrono::steady_clock;
    int rounds = 0;
    double best = 1e9;
    auto start = Clock::now();
    do {
        auto begin = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - begin).count());
        ++rounds;
    } while (std::chrono::duration<double>(Clock::now() - start).count() < 1.0 || rounds < 3);
    return best;
}

// One read of the whole file into a block with room for the two zero bytes.
char* ReadWhole(const std::string& path, std::size_t* size) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    char* text = AllocateSettingsText(static_cast<std::size_t>(length));
    *size = text ? std::fread(text, 1, static_cast<std::size_t>(length), file) : 0;
    std::fclose(file);
    return text;
}

void ReadOnly(const std::string& path) {
    std::size_t size = 0;
    char* text = ReadWhole(path, &size);
    const char* p = text;
    for (const char* end = text + size; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p)
        ++checksum;
    FreeMemory(text);
}

void OurEngine(const std::string& path) {
    std::size_t size = 0;
    char* text = ReadWhole(path, &size); // the generated documents carry no mark
    SettingsDocument document = {};
    document.file = 1;
    ParseSettingsText(&document, text, size);
    for (const Lookup& lookup : lookups) {
        SelectDocumentGroup(&document, lookup.group.c_str());
        int value = ReadDocumentNumber(&document, lookup.key.c_str(), -1);
        if (value != lookup.value) std::abort();
        checksum += value;
    }
    ReleaseSettingsDocument(&document);
}

#ifdef VERRIQ_HAVE_INIH
// The handler a program would write: find out once per group whether any wanted key is in it.
struct InihState {
    std::unordered_map<std::string, std::unordered_map<std::string, int>> wanted;
    std::string lastSection;
    const std::unordered_map<std::string, int>* keys = nullptr;
    int found = 0;
};

int InihHandler(void* user, const char* section, const char* name, const char* value) {
    auto* state = static_cast<InihState*>(user);
    if (state->lastSection != section) {
        state->lastSection = section;
        auto group = state->wanted.find(state->lastSection);
        state->keys = group == state->wanted.end() ? nullptr : &group->second;
    }
    if (state->keys) {
        auto key = state->keys->find(name);
        if (key != state->keys->end()) {
            if (std::atoi(value) != key->second) std::abort();
            checksum += key->second;
            ++state->found;
        }
    }
    return 1;
}

void Inih(const std::string& path) {
    InihState state;
    for (const Lookup& lookup : lookups)
        state.wanted[lookup.group][lookup.key] = lookup.value;
    if (ini_parse(path.c_str(), InihHandler, &state) != 0) std::abort();
    if (state.found == 0) std::abort();
}
#endif

} // namespace

int main() {
#if defined(__SANITIZE_ADDRESS__)
    std::printf("note: built with the sanitizers; figures are not representative\n");
#endif
    const char* temp = std::getenv("TMPDIR");
    for (std::size_t megabytes : {1, 10}) {
        std::string document = MakeDocument(megabytes << 20, &lookups);
        std::string path = std::string(temp ? temp : "/tmp") + "/verriq_settings_bench.ini";
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(document.data(), 1, document.size(), file);
        std::fclose(file);
        double mb = document.size() / 1048576.0;

        double floor = SecondsPerRound([&] { ReadOnly(path); });
        double ours = SecondsPerRound([&] { OurEngine(path); });
        std::printf("%zu MB document (%zu bytes), %d look-ups a round:\n", megabytes, document.size(),
                    LookupsPerRound);
        std::printf("  read only (floor)   %9.1f MB/s\n", mb / floor);
        std::printf("  our engine          %9.1f MB/s\n", mb / ours);
#ifdef VERRIQ_HAVE_INIH
        double inih = SecondsPerRound([&] { Inih(path); });
        std::printf("  libinih             %9.1f MB/s\n", mb / inih);
        std::printf("  ours / libinih      %9.2f x\n", inih / ours);
#else
        std::printf("  libinih             not built in (libinih-dev missing)\n");
#endif
        std::remove(path.c_str());
    }
    std::printf("(checksum %lld)\n", checksum);
    return 0;
}
