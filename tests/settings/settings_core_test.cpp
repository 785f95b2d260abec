#include "settings/settings_core.h"

#include "core/memory.h"
#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
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

// One step on a document: 'G' selects a group and expects the result, 'R' reads a number
// (42 when missing) and expects it, 'W' writes the number.
struct Step {
    char operation;
    const char* name;
    int value;
};

struct Scenario {
    const char* label;
    std::string bytes;
    std::vector<Step> steps;
    const char* written; // the document's written form afterwards, or null when not looked at
};

TEST_F(SettingsCoreTest, SelectingReadingAndWritingFollowTheRules) {
    const Scenario scenarios[] = {
        {"blanks and letter case", "  [einstellungen] whatever\n\t SpecialKey\t =  \t88 ; remark",
         {{'G', "EINSTELLUNGEN", 1}, {'R', "specialKEY", 88}}, nullptr},
        {"numbers read like scanf, clamped",
         "a=12abc\nb=abc\nc=\nd=  -7x\ne=+3\nf=- 5\ng=2147483648\nh=-2147483649\n"
         "k=99999999999999999999999\nl=-99999999999999999999999\nm=0x10\nn=\v\f7\no=007\n",
         {{'R', "a", 12}, {'R', "b", 0}, {'R', "c", 0}, {'R', "d", -7}, {'R', "e", 3}, {'R', "f", 0},
          {'R', "g", INT_MAX}, {'R', "h", INT_MIN}, {'R', "k", INT_MAX}, {'R', "l", INT_MIN}, {'R', "m", 0},
          {'R', "n", 7}, {'R', "o", 7}, {'R', "missing", 42}}, nullptr},
        // Look-ups stay inside the current group; the second "[a]" is never reached.
        {"groups", "top=1\n; note\n[A]\nx=2\n[B]\ntop=3\n[a]\nx=4\ny=5\n",
         {{'R', "top", 1}, {'R', "x", 42}, {'G', "a", 1}, {'R', "x", 2}, {'R', "y", 42}, {'R', "top", 42},
          {'G', "B", 1}, {'R', "top", 3}, {'G', "", 1}, {'R', "top", 1}}, nullptr},
        // A missing group hides every key until an existing one is selected; selecting alone
        // changes nothing.
        {"missing group", "top=1\n[A]\nx=2\n",
         {{'G', "A", 1}, {'G', "Missing", 0}, {'R', "x", 42}, {'R', "top", 42}, {'G', "A", 1}, {'R', "x", 2},
          {'G', "Missing", 0}, {'G', "", 1}, {'R', "top", 1}, {'G', "Missing", 0}},
         "top = 1\r\n[A]\r\nx = 2\r\n"},
        {"new document", "", {{'G', "Einstellungen", 0}, {'W', "SpecialKey", 88}},
         "[Einstellungen]\r\nSpecialKey = 88\r\n"},
        {"key alone in an empty document", "", {{'W', "only", 1}}, "only = 1\r\n"},
        // Numbers are written in full, over shorter and longer values alike; the key takes the
        // caller's spelling, the group line keeps its own.
        {"values replaced", "[einstellungen]\r\nSPECIALKEY=88\r\nother=x\r\n",
         {{'G', "Einstellungen", 1}, {'W', "SpecialKey", 7}, {'W', "SpecialKey", INT_MIN}, {'R', "SpecialKey", INT_MIN},
          {'W', "SpecialKey", 12}, {'R', "SpecialKey", 12}},
         "[einstellungen]\r\nSpecialKey = 12\r\nother = x\r\n"},
        {"longest number", "[G]\r\nk=1\r\nb=22\r\n", {{'G', "G", 1}, {'W', "k", 1000000}, {'W', "k", INT_MIN}},
         "[G]\r\nk = -2147483648\r\nb = 22\r\n"},
        {"new keys go to the end of their group",
         "; head\r\ntop=1\r\n; before A\r\n[A]\r\na=1\r\n; end of A\r\n[B]\r\n[C]\r\nc=1\r\n",
         {{'G', "A", 1}, {'W', "new", 1}, {'G', "B", 1}, {'W', "new", 2}, {'G', "C", 1}, {'W', "new", 3},
          {'G', "", 1}, {'W', "new", 4}, {'G', "D", 0}, {'W', "new", 5}, {'W', "second", 6}},
         "; head\r\ntop = 1\r\n; before A\r\nnew = 4\r\n[A]\r\na = 1\r\n; end of A\r\nnew = 1\r\n"
         "[B]\r\nnew = 2\r\n[C]\r\nc = 1\r\nnew = 3\r\n[D]\r\nnew = 5\r\nsecond = 6\r\n"},
        {"top level before a leading group", "[A]\r\na=1\r\n", {{'G', "", 1}, {'W', "top", 9}},
         "top = 9\r\n[A]\r\na = 1\r\n"},
        {"every form normalised", "\r\n\r\n   [G] trailing\r\n\tkey\t=\tvalue  \r\n;comment\r\n[H\r\n  plain\r\n",
         {{'G', "G", 1}, {'W', "key", 1}}, "[G]\r\nkey = 1\r\n; comment\r\n[H]\r\nplain = \r\n"},
        // Unmarked documents compare their bytes untranslated, folding A-Z only.
        {"bytes", "[Gr\xF6\xDF" "e]\r\nH\xF6he=3\r\n",
         {{'G', "GR\xF6\xDF" "E", 1}, {'R', "h\xF6HE", 3}, {'R', "H\xD6he", 42}}, nullptr},
        // The caller's 8-bit spelling goes in converted; copying it would leave the stored key as
        // invalid UTF-8 that nothing finds again.
        {"UTF-8", "\xEF\xBB\xBF[Gr\xC3\xBC\xC3\x9F" "e]\r\nMa\xC3\x9F=1\r\n",
         {{'G', "GR\xFC\xDF" "E", 1}, {'R', "ma\xDF", 1}, {'W', "MA\xDF", 2}, {'R', "Ma\xDF", 2},
          {'G', "\xC4nderung", 0}, {'W', "\xFC", 3}, {'R', "\xFC", 3}},
         "\xEF\xBB\xBF\r\n[Gr\xC3\xBC\xC3\x9F" "e]\r\nMA\xC3\x9F = 2\r\n[\xC3\x84nderung]\r\n\xC3\xBC = 3\r\n"},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.label);
        Load(scenario.bytes);
        bool wrote = false;
        for (const Step& step : scenario.steps) {
            if (step.operation == 'G') {
                EXPECT_EQ(SelectDocumentGroup(&document, step.name), step.value) << step.name;
            } else if (step.operation == 'R') {
                EXPECT_EQ(ReadDocumentNumber(&document, step.name, 42), step.value) << step.name;
            } else {
                WriteDocumentNumber(&document, step.name, step.value);
            }
            wrote = wrote || step.operation == 'W';
        }
        EXPECT_EQ(document.modified != 0, wrote);
        if (scenario.written) {
            EXPECT_EQ(Written(), scenario.written);
        }
        EXPECT_EQ(Reread(), Entries());
    }
}

TEST_F(SettingsCoreTest, LinesWithoutEqualsAndTheMarkOfThreeBytes) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        Load(std::string("[G]") + end + "flag" + end + "SpecialKey = 88" + end);
        EXPECT_EQ(Entries(), "encoding 0\ngroup \"G\"\nkey \"flag\" \"\"\nkey \"SpecialKey\" \"88\"\n") << Quote(end);
    }
    Load("\xEF\xBB\xBF");
    EXPECT_EQ(Entries(), "encoding " + std::to_string(SettingsEncodingUtf8) + "\n");
    Load("\xEF\xBB");
    EXPECT_EQ(Entries(), "encoding 0\nkey \"\\xef\\xbb\" \"\"\n");
    Load("\xEF\xBB\xBE=1");
    EXPECT_EQ(document.encoding, SettingsEncodingBytes);
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

} // namespace
