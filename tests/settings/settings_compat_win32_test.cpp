// Our settings engine against an independent implementation of the same file kind: the
// system's own profile functions. What we write must read back through GetPrivateProfileIntA
// to the same numbers, and every other key both can name must read alike, for the golden inputs
// and for documents made to differ in form.
#include "settings/settings_document.h"

#include "settings_test_support.h"
#include "tests/settings/test_folder_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace settings_test;

namespace {

struct Setting {
    std::string group;
    std::string key;
    int value;
};

// The writes every document receives: an existing group, a new one, names beyond ASCII.
const Setting Writes[] = {
    {"Einstellungen", "SpecialKey", 75},
    {"Neu", "Zahl", -12345},
    {"Gr\xF6\337e", "H\xF6he", 300},
    {"Einstellungen", "Zweite", 2147483647},
};

// Names both implementations treat alike: letters (ASCII and the German ones, which are the
// same code points in Windows-1252 and Latin-1), digits, '_' and inner spaces.
//   By design we differ elsewhere: the profile functions trim blanks around group names and
//   values, take the last ']' of a group line, treat CR alone as no line break, compare names
//   without regard to case beyond A-Z, and convert names of marked documents through the code
//   page (where 0x80-0x9F differ from our byte-as-code-point rule).
bool Comparable(const std::string& name) {
    if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
    for (unsigned char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == ' ';
        bool german = c == 0xC4 || c == 0xD6 || c == 0xDC || c == 0xE4 || c == 0xF6 || c == 0xFC || c == 0xDF;
        if (!plain && !german) return false;
    }
    return true;
}

// A plain decimal that fits: the profile functions read "0x", "0o" and "0b" prefixes, wrap on
// overflow and give the default for an empty value, where we follow "%d".
bool PlainNumber(const char* value) {
    const char* p = value;
    if (*p == '-') ++p;
    if (*p < '1' || *p > '9') return std::strcmp(value, "0") == 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        ++digits;
    return *p == 0 && digits <= 9;
}

// Full case folding of Latin-1 letters, for spotting names that only the profile functions
// would take as equal.
std::string Folded(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = static_cast<char>(u + 0x20);
    }
    return out;
}

// 8-bit form of a stored name: the engine's UTF-8 for marked documents taken back to bytes.
bool CallerForm(const char* stored, int encoding, std::string* out) {
    out->clear();
    for (auto* p = reinterpret_cast<const unsigned char*>(stored); *p; ++p) {
        if (encoding != SettingsEncodingUtf8 || *p < 0x80) {
            *out += static_cast<char>(*p);
        } else if ((*p == 0xC2 || *p == 0xC3) && (p[1] & 0xC0) == 0x80) {
            *out += static_cast<char>(((*p & 0x03) << 6) | (p[1] & 0x3F));
            ++p;
        } else {
            return false;
        }
    }
    return true;
}

// Every key that both sides can name the same way, read by both; the first group and the
// first key of a name count, as with both implementations. Returns how many were compared.
std::size_t ExpectSameNumbers(const std::string& path) {
    OpenSettings(path.c_str());
    const SettingsDocument* document = CurrentSettings();
    std::vector<Setting> settings;
    std::set<std::string> foldedGroups, foldedKeys;
    std::string group;
    bool groupUsable = false;
    for (const SettingsEntry* entry = document->entries; entry; entry = entry->next) {
        std::string name;
        if (entry->kind == SettingsGroupEntry) {
            bool readable = CallerForm(entry->text, document->encoding, &name) && Comparable(name);
            groupUsable = readable && foldedGroups.insert(Folded(name)).second; // ours equal: folded equal
            group = name;
            foldedKeys.clear();
        } else if (entry->kind == SettingsKeyEntry && groupUsable) {
            bool readable = CallerForm(entry->key, document->encoding, &name) && Comparable(name);
            bool first = foldedKeys.insert(Folded(name)).second;
            if (readable && first && PlainNumber(entry->text)) settings.push_back({group, name, 0});
        }
    }
    for (Setting& setting : settings) {
        SelectSettingsGroup(setting.group.c_str());
        setting.value = ReadSettingNumber(setting.key.c_str(), -1);
    }
    CloseSettings();
    for (const Setting& setting : settings)
        EXPECT_EQ(static_cast<int>(
                      GetPrivateProfileIntA(setting.group.c_str(), setting.key.c_str(), -1, path.c_str())),
                  setting.value)
            << Quote(setting.group.c_str()) << " " << Quote(setting.key.c_str());
    return settings.size();
}

class SettingsCompatTest : public TestFolder {
  protected:
    void SetUp() override {
        InitSettings();
        TestFolder::SetUp();
    }
    void TearDown() override {
        EndSettings();
        // Out of the profile functions' cache before the files go.
        for (const std::string& path : made)
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        TestFolder::TearDown();
    }
    std::vector<std::string> made;
};

// The golden inputs, and documents of what both read alike but write differently: blanks
// around names and values, names that differ in letter case only, both line ends, names
// stored marked, a group that comes twice.
TEST_F(SettingsCompatTest, EveryKeyReadsAlikeAfterOurEngineWroteTheDocument) {
    std::vector<std::pair<std::string, std::string>> documents;
    for (const std::string& name : GoldenCases())
        documents.push_back({name, ReadBytes(GoldenPath(name, ".ini"))});
    ASSERT_GE(documents.size(), 20u);
    const char* const handMade[] = {
        "  [Einstellungen]\r\n SpecialKey \t=\t 12\r\nspecialkey=13\n\n[einstellungen]\nZahl=4\r\n",
        "top=1\n;note\n[Fenster 2]\r\n\tBreite  =  -800\r\nx=0\r\n[Allgemein]\nWert_1=99999\n",
        "[Neu]\nZahl=7\n[Gr\xF6\337e]\r\nH\xF6he = 3\r\nh\xF6HE=4\r\n[Einstellungen]\r\nZweite=5\r\n",
        "\xEF\xBB\xBF[Gr\xC3\xB6\xC3\237e]\r\nH\xC3\xB6he=3\r\n [Neu]\nZahl = 1\r\nBreite=2\n",
    };
    for (const char* bytes : handMade)
        documents.push_back({"made" + std::to_string(documents.size()), bytes});
    std::size_t compared = 0;
    for (const auto& [name, bytes] : documents) {
        SCOPED_TRACE(name);
        made.push_back(Make(name + ".ours.ini", bytes));
        OpenSettings(made.back().c_str());
        for (const Setting& write : Writes) {
            SelectSettingsGroup(write.group.c_str());
            WriteSettingNumber(write.key.c_str(), write.value);
        }
        CloseSettings();
        for (const Setting& write : Writes)
            EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA(write.group.c_str(), write.key.c_str(), -1,
                                                             made.back().c_str())),
                      write.value)
                << write.group << "/" << write.key;
        compared += ExpectSameNumbers(made.back());
    }
    std::printf("compared %zu documents, %zu keys\n", documents.size(), compared);
}

} // namespace
