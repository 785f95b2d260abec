// Our settings engine against an independent implementation of the same file kind: the
// system's own profile functions. What we write must read back through GetPrivateProfileIntA
// to the same numbers, and what WritePrivateProfileStringA writes must read back through our
// engine to the same numbers, for the golden inputs and for generated documents.
#include "settings/settings_document.h"

#include "settings_test_support.h"
#include "tests/settings/test_folder_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
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
    std::string MakeProfile(const std::string& name, const std::string& bytes) {
        made.push_back(Make(name, bytes));
        return made.back();
    }

    // Every key that both sides can name the same way, read by both; the first group and the
    // first key of a name count, as with both implementations.
    void ExpectSameNumbers(const std::string& path) {
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
                std::string ascii = Folded(name); // equal under our rule means equal folded
                groupUsable = readable && foldedGroups.insert(ascii).second;
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
        for (const Setting& setting : settings) {
            int theirs = static_cast<int>(
                GetPrivateProfileIntA(setting.group.c_str(), setting.key.c_str(), -1, path.c_str()));
            EXPECT_EQ(theirs, setting.value)
                << Quote(setting.group.c_str()) << " " << Quote(setting.key.c_str());
        }
        ++comparedDocuments;
        comparedKeys += settings.size();
    }

    // Our engine writes, the profile functions read.
    void OursThenTheirs(const std::string& name, const std::string& bytes) {
        SCOPED_TRACE("ours then theirs: " + name);
        std::string path = MakeProfile(name + ".ours.ini", bytes);
        OpenSettings(path.c_str());
        for (const Setting& write : Writes) {
            SelectSettingsGroup(write.group.c_str());
            WriteSettingNumber(write.key.c_str(), write.value);
        }
        CloseSettings();
        for (const Setting& write : Writes)
            EXPECT_EQ(static_cast<int>(
                          GetPrivateProfileIntA(write.group.c_str(), write.key.c_str(), -1, path.c_str())),
                      write.value)
                << write.group << "/" << write.key;
        ExpectSameNumbers(path);
    }

    // The profile functions write, our engine reads.
    void TheirsThenOurs(const std::string& name, const std::string& bytes) {
        SCOPED_TRACE("theirs then ours: " + name);
        std::string path = MakeProfile(name + ".theirs.ini", bytes);
        for (const Setting& write : Writes)
            EXPECT_TRUE(WritePrivateProfileStringA(write.group.c_str(), write.key.c_str(),
                                                   std::to_string(write.value).c_str(), path.c_str()));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); // out of their cache
        OpenSettings(path.c_str());
        for (const Setting& write : Writes) {
            EXPECT_EQ(SelectSettingsGroup(write.group.c_str()), 1) << write.group;
            EXPECT_EQ(ReadSettingNumber(write.key.c_str(), -1), write.value)
                << write.group << "/" << write.key;
        }
        CloseSettings();
        ExpectSameNumbers(path);
    }

    std::vector<std::string> made;
    int comparedDocuments = 0;
    std::size_t comparedKeys = 0;
};

// Files that only the two implementations read differently are left out of the "theirs then
// ours" direction, because the profile functions keep a file's lines as they found them:
//   by design, a CR alone or a zero byte is no line break to them; a group line's name runs to
//   its last ']' (ours: to the first, the rest of the line ignored); and a group line without
//   ']' is no group line to them (ours: the rest of the line is the name).
bool ReadAlike(const std::string& bytes) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos) return false;
        std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') {
            std::size_t close = line.find(']');
            if (close == std::string::npos || line.find(']', close + 1) != std::string::npos ||
                line.find_first_not_of(" \t", close + 1) != std::string::npos)
                return false;
        }
        start = end + 1;
    }
    return true;
}

TEST_F(SettingsCompatTest, GoldenInputsAgreeBothWays) {
    std::vector<std::string> cases = GoldenCases();
    ASSERT_GE(cases.size(), 20u);
    for (const std::string& name : cases) {
        std::string bytes = ReadBytes(GoldenPath(name, ".ini"));
        OursThenTheirs(name, bytes);
        if (ReadAlike(bytes)) TheirsThenOurs(name, bytes);
    }
    std::printf("compared %d documents, %zu keys\n", comparedDocuments, comparedKeys);
}

TEST_F(SettingsCompatTest, GeneratedDocumentsAgreeBothWays) {
    std::mt19937 random(1234);
    auto pick = [&](int limit) { return static_cast<int>(random() % static_cast<unsigned>(limit)); };
    const char* groups[] = {"Einstellungen", "einstellungen", "Neu", "Gr\xF6\337e", "Allgemein", "Fenster 2"};
    const char* keys[] = {"SpecialKey", "specialkey", "Zahl", "H\xF6he", "Breite", "x", "Wert_1", "Zweite"};
    const char* blanks[] = {"", " ", "\t", "  \t"};
    for (int round = 0; round < 60; ++round) {
        std::string bytes = pick(4) == 0 ? "\xEF\xBB\xBF" : "";
        bool marked = !bytes.empty();
        auto name = [&](const char* plain) { return marked ? MarkedSpelling(plain) : std::string(plain); };
        for (int line = pick(25); line > 0; --line) {
            const char* end = pick(3) ? "\r\n" : "\n";
            switch (pick(6)) {
            case 0:
                bytes += std::string(blanks[pick(4)]) + "[" + name(groups[pick(6)]) + "]" + end;
                break;
            case 1:
                bytes += std::string(";") + blanks[pick(2)] + "note" + end;
                break;
            case 2:
                bytes += end;
                break;
            default:
                bytes += std::string(blanks[pick(4)]) + name(keys[pick(8)]) + blanks[pick(4)] + "=" +
                         blanks[pick(4)] + std::to_string(static_cast<int>(random()) % 100000) + end;
                break;
            }
        }
        std::string label = "generated" + std::to_string(round);
        OursThenTheirs(label, bytes);
        TheirsThenOurs(label, bytes);
    }
    std::printf("compared %d documents, %zu keys\n", comparedDocuments, comparedKeys);
}

} // namespace
