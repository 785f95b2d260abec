// Shared by the settings-document tests: a readable description of a document's entries (the
// form of the golden .entries files), the golden folder, and file helpers.
#pragma once

#include "settings/settings_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace settings_test {

// Printable ASCII stays, everything else (and the quote and backslash) becomes \xHH, so
// that golden files show every byte.
inline std::string Quote(const char* text) {
    std::string out = "\"";
    for (auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p >= 0x20 && *p < 0x7F && *p != '"' && *p != '\\') {
            out += static_cast<char>(*p);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", *p);
            out += escape;
        }
    }
    return out + "\"";
}

// An 8-bit name as a marked document stores it: each byte is the code point of its value. Built
// apart from the engine, so that it can check the engine's own conversion.
inline std::string MarkedSpelling(const std::string& name) {
    std::string out;
    for (unsigned char c : name)
        out += c < 0x80
                   ? std::string(1, static_cast<char>(c))
                   : std::string{static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    return out;
}

// One line per entry after a line with the encoding.
inline std::string DescribeEntries(const SettingsDocument* document) {
    std::string out = "encoding " + std::to_string(document->encoding) + "\n";
    for (const SettingsEntry* entry = document->entries; entry; entry = entry->next) {
        switch (entry->kind) {
        case SettingsGroupEntry:
            out += "group " + Quote(entry->text) + "\n";
            break;
        case SettingsCommentEntry:
            out += "comment " + Quote(entry->text) + "\n";
            break;
        case SettingsKeyEntry:
            out += "key " + Quote(entry->key) + " " + Quote(entry->text) + "\n";
            break;
        }
    }
    return out;
}

inline std::string FormatDocument(const SettingsDocument* document) {
    std::size_t size = 0;
    if (!MeasureSettingsText(document, &size)) return "<too large>";
    std::string out(size + 1, '\0');
    std::size_t written = FormatSettingsText(document, &out[0]);
    out.resize(written);
    return out;
}

// The data folder as the program under test sees it: under Wine a Unix path needs the drive
// that maps the Unix root.
inline std::string DataPath(const std::string& relative) {
    std::string base = VERRIQ_TEST_DATA;
#ifdef _WIN32
    if (!base.empty() && base[0] == '/') base = "Z:" + base;
#endif
    return base + "/" + relative;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Golden cases: tests/data/settings/golden/<name>.ini beside <name>.entries (the entries read
// from it) and <name>.written (the file after selecting "Einstellungen" and writing
// "SpecialKey" = 75). Setting VERRIQ_UPDATE_GOLDEN=1 rewrites the expectations instead.
constexpr const char* GoldenGroup = "Einstellungen";
constexpr const char* GoldenKey = "SpecialKey";
constexpr int GoldenValue = 75;

inline std::vector<std::string> GoldenCases() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(DataPath("settings/golden"), error))
        if (item.path().extension() == ".ini") names.push_back(item.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string GoldenPath(const std::string& name, const char* extension) {
    return DataPath("settings/golden/" + name + extension);
}

inline bool UpdatingGolden() {
    const char* update = std::getenv("VERRIQ_UPDATE_GOLDEN");
    return update && *update == '1';
}

} // namespace settings_test
