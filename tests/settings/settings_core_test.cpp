#include "settings/settings_core.h"

#include "core/memory.h"
#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace settings_test;

namespace {

// A document in memory. The core never touches the file handle; a non-zero one only says
// "open", as the shell's real handle does.
class SettingsCoreTest : public ::testing::Test {
  protected:
    void TearDown() override { ReleaseSettingsDocument(&document); }

    void Load(const std::string& bytes) {
        ReleaseSettingsDocument(&document);
        document.file = 1;
        ASSERT_TRUE(LoadSettingsBytes(&document, bytes.data(), bytes.size()));
    }
    std::string Entries() const { return DescribeEntries(&document); }
    std::string Written() const { return FormatDocument(&document); }
    // What a reader sees after the document went to disk and came back.
    std::string Reread() const {
        SettingsDocument again = {};
        again.file = 1;
        std::string written = Written();
        LoadSettingsBytes(&again, written.data(), written.size());
        std::string entries = DescribeEntries(&again);
        ReleaseSettingsDocument(&again);
        return entries;
    }

    SettingsDocument document = {};
};

TEST_F(SettingsCoreTest, GoldenFilesReadAndWriteAsExpected) {
    std::vector<std::string> cases = GoldenCases();
    ASSERT_GE(cases.size(), 20u) << "golden folder not found: " << DataPath("settings/golden");
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        Load(ReadBytes(GoldenPath(name, ".ini")));
        std::string entries = Entries();
        SelectDocumentGroup(&document, GoldenGroup);
        WriteDocumentNumber(&document, GoldenKey, GoldenValue);
        std::string written = Written();
        if (UpdatingGolden()) {
            WriteBytes(GoldenPath(name, ".entries"), entries);
            WriteBytes(GoldenPath(name, ".written"), written);
            continue;
        }
        EXPECT_EQ(entries, ReadBytes(GoldenPath(name, ".entries")));
        EXPECT_EQ(written, ReadBytes(GoldenPath(name, ".written")));
        // What we write must read back to what we held.
        EXPECT_EQ(Reread(), Entries());
        Load(written);
        SelectDocumentGroup(&document, GoldenGroup);
        EXPECT_EQ(ReadDocumentNumber(&document, GoldenKey, -1), GoldenValue);
    }
}

// Steps on a document, separated by blanks: G<group>=<result> selects a group and expects the
// result, R<key>=<number> reads a number (42 when missing) and expects it, W<key>=<number>
// writes the number.
struct Scenario {
    const char* label;
    std::string bytes;
    const char* steps;
    const char* written; // the document's written form afterwards, or null when not looked at
};

TEST_F(SettingsCoreTest, SelectingReadingAndWritingFollowTheRules) {
    const Scenario scenarios[] = {
        {"numbers read like scanf, clamped",
         "a=12abc\nb=abc\nc=\nd=  -7x\ne=+3\nf=- 5\ng=2147483648\nh=-2147483649\n"
         "k=99999999999999999999999\nl=-99999999999999999999999\nm=0x10\nn=\v\f7\no=007\n",
         "Ra=12 Rb=0 Rc=0 Rd=-7 Re=3 Rf=0 Rg=2147483647 Rh=-2147483648 Rk=2147483647 Rl=-2147483648 "
         "Rm=0 Rn=7 Ro=7 Rmissing=42",
         nullptr},
        // A missing group hides every key until an existing one is selected; selecting alone
        // changes nothing.
        {"missing group", "top=1\n[A]\nx=2\n",
         "GA=1 GMissing=0 Rx=42 Rtop=42 GA=1 Rx=2 GMissing=0 G=1 Rtop=1 GMissing=0",
         "top = 1\r\n[A]\r\nx = 2\r\n"},
        // The line forms are the golden files'; a mark must be all three bytes.
        {"no mark", "\xEF\xBB\xBE=1", "R\xEF\xBB\xBE=1", "\xEF\xBB\xBE = 1\r\n"},
        {"new keys go to the end of their group",
         "; head\r\ntop=1\r\n; before A\r\n[A]\r\na=1\r\n; end of A\r\n[B]\r\n[C]\r\nc=1\r\n",
         "GA=1 Wnew=1 GB=1 Wnew=2 GC=1 Wnew=3 G=1 Wnew=4 GD=0 Wnew=5 Wsecond=6",
         "; head\r\ntop = 1\r\n; before A\r\nnew = 4\r\n[A]\r\na = 1\r\n; end of A\r\nnew = 1\r\n"
         "[B]\r\nnew = 2\r\n[C]\r\nc = 1\r\nnew = 3\r\n[D]\r\nnew = 5\r\nsecond = 6\r\n"},
        // The caller's 8-bit spelling goes in converted; copying it would leave the stored key as
        // invalid UTF-8 that nothing finds again.
        {"UTF-8", "\xEF\xBB\xBF[Gr\xC3\xBC\xC3\237e]\r\nMa\xC3\x9F=1\r\n",
         "GGR\xFC\337E=1 Rma\xDF=1 WMA\xDF=2 RMa\xDF=2 G\xC4nderung=0 W\xFC=3 R\xFC=3",
         "\xEF\xBB\xBF\r\n[Gr\xC3\xBC\xC3\237e]\r\nMA\xC3\x9F = 2\r\n[\xC3\x84nderung]\r\n\xC3\xBC = 3\r\n"},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.label);
        Load(scenario.bytes);
        bool wrote = false;
        std::istringstream steps(scenario.steps);
        for (std::string step; steps >> step;) {
            std::size_t equals = step.rfind('=');
            std::string name = step.substr(1, equals - 1);
            int value = std::stoi(step.substr(equals + 1));
            if (step[0] == 'G') {
                EXPECT_EQ(SelectDocumentGroup(&document, name.c_str()), value) << step;
            } else if (step[0] == 'R') {
                EXPECT_EQ(ReadDocumentNumber(&document, name.c_str(), 42), value) << step;
            } else {
                WriteDocumentNumber(&document, name.c_str(), value);
                wrote = true;
            }
        }
        EXPECT_EQ(document.modified != 0, wrote);
        if (scenario.written) {
            EXPECT_EQ(Written(), scenario.written);
        }
        EXPECT_EQ(Reread(), Entries());
    }
}

TEST_F(SettingsCoreTest, NamesConvertByteForCodePointAndFoldOnlyAsciiLetters) {
    char* converted = ConvertSettingsName("a\x80\xE4\xFFz");
    EXPECT_STREQ(converted, "a\xC2\x80\xC3\xA4\xC3\xBFz");
    FreeMemory(converted);
    converted = ConvertSettingsName(nullptr);
    EXPECT_STREQ(converted, "");
    FreeMemory(converted);
    EXPECT_TRUE(SameSettingsName("SpecialKey", "sPECIALkEY"));
    EXPECT_TRUE(SameSettingsName("", ""));
    // Umlauts in Windows-1252, and the neighbours of the letters by 0x20.
    const char* different[][2] = {{"Key", "Keys"}, {"\xE4", "\xC4"}, {"[", "{"}, {"@", "`"}};
    for (auto& pair : different)
        EXPECT_FALSE(SameSettingsName(pair[0], pair[1])) << pair[0];
}

TEST_F(SettingsCoreTest, ReservedValuesNullNamesAndClosedDocuments) {
    Load("=top\r\n[G]\r\nk=abc\r\n");
    EXPECT_STREQ(FindDocumentValue(&document, nullptr), "top");
    SelectDocumentGroup(&document, "G");
    char* value = ReserveDocumentValue(&document, "k", 3);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "abc"); // long enough: handed back in place
    value = ReserveDocumentValue(&document, "k", 1000);
    ASSERT_NE(value, nullptr);
    std::memset(value, 'v', 1000); // the zero byte behind stays ours
    EXPECT_EQ(std::strlen(FindDocumentValue(&document, "k")), 1000u);
    EXPECT_STREQ(ReserveDocumentValue(&document, "fresh", 0), "");
    EXPECT_EQ(ReserveDocumentValue(&document, "k", SIZE_MAX), nullptr);
    WriteDocumentNumber(&document, nullptr, 4);
    EXPECT_EQ(Written(), " = top\r\n[G]\r\nk = " + std::string(1000, 'v') + "\r\nfresh = \r\n = 4\r\n");
    EXPECT_EQ(Reread(), Entries());

    // A closed document reads defaults and drops writes.
    ReleaseSettingsDocument(&document);
    EXPECT_EQ(SelectDocumentGroup(&document, "A"), 0);
    EXPECT_EQ(document.pendingGroup, nullptr);
    EXPECT_EQ(SelectDocumentGroup(&document, ""), 0);
    EXPECT_EQ(ReadDocumentNumber(&document, "k", 5), 5);
    EXPECT_EQ(ReserveDocumentValue(&document, "k", 4), nullptr);
    WriteDocumentNumber(&document, "k", 1);
    EXPECT_FALSE(document.modified);
    EXPECT_EQ(document.entries, nullptr);
    EXPECT_EQ(SelectDocumentGroup(nullptr, "A"), 0);
    EXPECT_EQ(ReadDocumentNumber(nullptr, "k", 6), 6);
}

// Groups are found through an index that grows as groups are added; the first group of a
// name must win however the index was built.
TEST(SettingsGroupIndex, FirstGroupOfANameWinsWhileTheDocumentGrows) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "[G" + std::to_string(i % 150) + "]\nk=" + std::to_string(i) + "\n";
    SettingsDocument document = {};
    document.file = 1;
    ASSERT_TRUE(LoadSettingsBytes(&document, text.data(), text.size()));
    for (int i = 0; i < 150; ++i) {
        std::string name = "g" + std::to_string(i);
        ASSERT_EQ(SelectDocumentGroup(&document, name.c_str()), 1);
        ASSERT_EQ(ReadDocumentNumber(&document, "k", -1), i);
    }
    // New groups arrive after the index was made, more than it was sized for.
    for (int i = 0; i < 500; ++i) {
        std::string name = "New" + std::to_string(i);
        ASSERT_EQ(SelectDocumentGroup(&document, name.c_str()), 0);
        WriteDocumentNumber(&document, "k", 1000 + i);
        ASSERT_EQ(SelectDocumentGroup(&document, "G7"), 1);
        ASSERT_EQ(ReadDocumentNumber(&document, "k", -1), 7);
    }
    for (int i = 0; i < 500; ++i) {
        std::string name = "NEW" + std::to_string(i);
        ASSERT_EQ(SelectDocumentGroup(&document, name.c_str()), 1);
        ASSERT_EQ(ReadDocumentNumber(&document, "k", -1), 1000 + i);
    }
    ReleaseSettingsDocument(&document);
}

// The rules of selecting, reading and writing, written out plainly over a vector: random steps
// on a document must leave it as they leave the model.
struct PlainEntry {
    bool group;
    std::string key, text;
};

struct Model {
    int encoding = SettingsEncodingBytes;
    std::vector<PlainEntry> entries;
    int current = -1; // index of the current group, -1 for the top level
    bool pending = false;
    std::string pendingName;

    std::string Stored(const std::string& name) const {
        return encoding == SettingsEncodingUtf8 ? MarkedSpelling(name) : name;
    }
    std::string Written() const {
        std::string out = encoding == SettingsEncodingUtf8 ? "\xEF\xBB\xBF\r\n" : "";
        for (const PlainEntry& entry : entries)
            out += (entry.group ? "[" + entry.text + "]" : entry.key + " = " + entry.text) + "\r\n";
        return out;
    }
    int Select(const std::string& name) {
        pending = false;
        current = -1;
        if (name.empty()) return 1;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].group && SameSettingsName(entries[i].text.c_str(), Stored(name).c_str())) {
                current = static_cast<int>(i);
                return 1;
            }
        }
        pending = true;
        pendingName = Stored(name);
        return 0;
    }
    int Find(const std::string& key) const {
        if (pending) return -1;
        for (std::size_t i = static_cast<std::size_t>(current + 1); i < entries.size() && !entries[i].group;
             ++i)
            if (SameSettingsName(entries[i].key.c_str(), Stored(key).c_str())) return static_cast<int>(i);
        return -1;
    }
    void Write(const std::string& key, int value) {
        if (pending) {
            entries.push_back({true, "", pendingName});
            current = static_cast<int>(entries.size()) - 1;
            pending = false;
        }
        int found = Find(key);
        if (found >= 0) {
            entries[static_cast<std::size_t>(found)] = {false, Stored(key), std::to_string(value)};
            return;
        }
        std::size_t end = static_cast<std::size_t>(current + 1);
        while (end < entries.size() && !entries[end].group)
            ++end;
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(end),
                       {false, Stored(key), std::to_string(value)});
    }
};

TEST(SettingsModel, RandomStepsFollowThePlainRules) {
    std::mt19937 random(4242);
    auto below = [&](int limit) { return static_cast<int>(random() % static_cast<unsigned>(limit)); };
    // Few distinct names, so that groups and keys are hit again, in other letter case too.
    const char* names[] = {"", "a", "A", "b", "B", "Gr\xFC\337e", "GR\xFC\337E", "key", "KEY", "\xE4"};
    for (int round = 0; round < 400; ++round) {
        Model model;
        if (below(2)) model.encoding = SettingsEncodingUtf8;
        std::string start = model.encoding == SettingsEncodingUtf8 ? "\xEF\xBB\xBF\r\n" : "";
        for (int count = below(6); count > 0; --count) {
            PlainEntry entry = below(2) ? PlainEntry{true, "", model.Stored(names[below(10)])}
                                        : PlainEntry{false, model.Stored(names[1 + below(9)]), "1"};
            model.entries.push_back(entry);
            start += entry.group ? "[" + entry.text + "]\n" : entry.key + "=" + entry.text + "\n";
        }
        SettingsDocument document = {};
        document.file = 1;
        ASSERT_TRUE(LoadSettingsBytes(&document, start.data(), start.size()));
        ASSERT_EQ(FormatDocument(&document), model.Written());
        for (int step = 0; step < 30; ++step) {
            std::string name = names[below(10)];
            int value = static_cast<int>(random());
            switch (below(3)) {
            case 0:
                ASSERT_EQ(SelectDocumentGroup(&document, name.c_str()), model.Select(name));
                break;
            case 1: {
                int index = model.Find(name);
                int expected =
                    index < 0 ? -5 : std::stoi(model.entries[static_cast<std::size_t>(index)].text);
                ASSERT_EQ(ReadDocumentNumber(&document, name.c_str(), -5), expected);
                break;
            }
            default:
                WriteDocumentNumber(&document, name.c_str(), value);
                model.Write(name, value);
                break;
            }
            // The written form names every entry unambiguously here: no name holds " = " or ']'.
            ASSERT_EQ(FormatDocument(&document), model.Written()) << "step " << step;
        }
        ReleaseSettingsDocument(&document);
    }
}

} // namespace
