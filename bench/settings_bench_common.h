// Shared by the settings-document benchmarks: the documents they measure and the look-ups
// they make, the same on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace settings_bench {

struct Lookup {
    std::string group;
    std::string key;
    int value; // what the document holds there
};

constexpr int KeysPerGroup = 40;
constexpr int LookupsPerRound = 200;

// A document of about `bytes` bytes in many groups of many keys, written as people do: CR LF,
// blanks around the equals sign now and then, a comment at the head of each group.
inline std::string MakeDocument(std::size_t bytes, std::vector<Lookup>* lookups) {
    std::string text;
    text.reserve(bytes + 4096);
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    std::vector<Lookup> all;
    char line[128];
    for (int group = 0; text.size() < bytes; ++group) {
        std::snprintf(line, sizeof line, "[Gruppe%06d]\r\n; Werte der Gruppe %d\r\n", group, group);
        text += line;
        for (int key = 0; key < KeysPerGroup; ++key) {
            int value = static_cast<int>(next() % 1000000);
            const char* equals = key % 3 == 0 ? " = " : "=";
            std::snprintf(line, sizeof line, "Schluessel%03d%s%d\r\n", key, equals, value);
            text += line;
            if (key % 7 == 3)
                all.push_back({"Gruppe" + std::to_string(1000000 + group).substr(1),
                               "Schluessel" + std::to_string(1000 + key).substr(1), value});
        }
    }
    // Look-ups spread over the whole document, so that finding a group walks its length.
    lookups->clear();
    for (int i = 0; i < LookupsPerRound; ++i)
        lookups->push_back(all[next() % all.size()]);
    return text;
}

} // namespace settings_bench
