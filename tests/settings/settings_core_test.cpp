#include "settings/settings_core.h"

#include "core/memory.h"
#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

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

TEST_F(SettingsCoreTest, KeyReadsWhateverTheBlanksAndLetterCase) {
    const char* forms[] = {
        "[Einstellungen]\r\nSpecialKey=88\r\n",
        "[Einstellungen]\r\nSpecialKey = 88\r\n",
        "[Einstellungen]\r\n\t SpecialKey\t \t=  \t88\r\n",
        "[Einstellungen]\r\nspecialkey=88\r\n",
        "[EINSTELLUNGEN]\r\nSPECIALKEY=88",
        "  [einstellungen] whatever\nSpecialKey=88 ; with a remark",
    };
    for (const char* form : forms) {
        SCOPED_TRACE(Quote(form));
        Load(form);
        EXPECT_EQ(SelectDocumentGroup(&document, "Einstellungen"), 1);
        EXPECT_EQ(ReadDocumentNumber(&document, "SpecialKey", 1), 88);
    }
}

TEST_F(SettingsCoreTest, NumbersReadLikeScanfWithClampedOverflow) {
    Load("a=12abc\nb=abc\nc=\nd=  -7x\ne=+3\nf=- 5\ng=2147483647\nh=2147483648\ni=-2147483648\n"
         "j=-2147483649\nk=99999999999999999999999\nl=-99999999999999999999999\nm=0x10\nn=\v\f7\n"
         "o=007\n");
    struct {
        const char* key;
        int expected;
    } reads[] = {{"a", 12},      {"b", 0},       {"c", 0},       {"d", -7},
                 {"e", 3},       {"f", 0},       {"g", INT_MAX}, {"h", INT_MAX},
                 {"i", INT_MIN}, {"j", INT_MIN}, {"k", INT_MAX}, {"l", INT_MIN},
                 {"m", 0},       {"n", 7},       {"o", 7},       {"missing", 42}};
    for (const auto& read : reads)
        EXPECT_EQ(ReadDocumentNumber(&document, read.key, 42), read.expected) << read.key;
}

TEST_F(SettingsCoreTest, LookupsStayInsideTheCurrentGroup) {
    Load("top=1\n; note\n[A]\nx=2\n[B]\ntop=3\n[a]\nx=4\ny=5\n");
    // Right after opening: the top level.
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 1);
    EXPECT_EQ(ReadDocumentNumber(&document, "x", 0), 0);
    EXPECT_EQ(SelectDocumentGroup(&document, "a"), 1);
    EXPECT_EQ(ReadDocumentNumber(&document, "x", 0), 2);
    // The second "[a]" is never reached.
    EXPECT_EQ(ReadDocumentNumber(&document, "y", -1), -1);
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 0);
    EXPECT_EQ(SelectDocumentGroup(&document, "B"), 1);
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 3);
    EXPECT_EQ(SelectDocumentGroup(&document, ""), 1);
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 1);
    EXPECT_EQ(SelectDocumentGroup(&document, nullptr), 1);
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 1);
}

TEST_F(SettingsCoreTest, AMissingGroupHidesEveryKeyUntilAnExistingOneIsSelected) {
    Load("top=1\n[A]\nx=2\n");
    EXPECT_EQ(SelectDocumentGroup(&document, "A"), 1);
    EXPECT_EQ(SelectDocumentGroup(&document, "Missing"), 0);
    EXPECT_EQ(FindDocumentValue(&document, "x"), nullptr);
    EXPECT_EQ(FindDocumentValue(&document, "top"), nullptr);
    EXPECT_EQ(SelectDocumentGroup(&document, "A"), 1);
    EXPECT_STREQ(FindDocumentValue(&document, "x"), "2");
    EXPECT_EQ(SelectDocumentGroup(&document, "Missing"), 0);
    EXPECT_EQ(SelectDocumentGroup(&document, ""), 1);
    EXPECT_STREQ(FindDocumentValue(&document, "top"), "1");
    // Selecting and closing without a write changes nothing.
    EXPECT_EQ(SelectDocumentGroup(&document, "Missing"), 0);
    EXPECT_FALSE(document.modified);
    EXPECT_EQ(Written(), "top = 1\r\n[A]\r\nx = 2\r\n");
}

TEST_F(SettingsCoreTest, KeyWithoutEqualsThenKeyLineWhateverTheLineEnds) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(Quote(end));
        Load(std::string("[G]") + end + "flag" + end + "SpecialKey = 88" + end);
        EXPECT_EQ(Entries(), "encoding 0\ngroup \"G\"\nkey \"flag\" \"\"\nkey \"SpecialKey\" \"88\"\n");
    }
}

TEST_F(SettingsCoreTest, TheMarkNeedsThreeBytes) {
    Load("\xEF\xBB\xBF");
    EXPECT_EQ(document.encoding, SettingsEncodingUtf8);
    EXPECT_EQ(document.entries, nullptr);
    Load("\xEF\xBB");
    EXPECT_EQ(document.encoding, SettingsEncodingBytes);
    EXPECT_EQ(Entries(), "encoding 0\nkey \"\\xef\\xbb\" \"\"\n");
    Load("\xEF\xBB\xBE=1");
    EXPECT_EQ(document.encoding, SettingsEncodingBytes);
}

TEST_F(SettingsCoreTest, NamesConvertByteForCodePoint) {
    char* converted = ConvertSettingsName("a\x80\xE4\xFFz");
    ASSERT_NE(converted, nullptr);
    EXPECT_STREQ(converted, "a\xC2\x80\xC3\xA4\xC3\xBFz");
    FreeMemory(converted);
    converted = ConvertSettingsName(nullptr);
    ASSERT_NE(converted, nullptr);
    EXPECT_STREQ(converted, "");
    FreeMemory(converted);
}

TEST_F(SettingsCoreTest, CaseRuleFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SameSettingsName("SpecialKey", "sPECIALkEY"));
    EXPECT_TRUE(SameSettingsName("", ""));
    EXPECT_FALSE(SameSettingsName("Key", "Keys"));
    EXPECT_FALSE(SameSettingsName("\xE4", "\xC4")); // a-umlaut and A-umlaut in Windows-1252
    EXPECT_FALSE(SameSettingsName("[", "{"));       // neighbours of the letters by 0x20
    EXPECT_FALSE(SameSettingsName("@", "`"));
}

TEST_F(SettingsCoreTest, Utf8DocumentsCompareAndStoreConvertedNames) {
    Load("\xEF\xBB\xBF[Gr\xC3\xBC\xC3\x9F"
         "e]\r\nMa\xC3\x9F=1\r\n");
    EXPECT_EQ(SelectDocumentGroup(&document, "GR\xFC\xDF"
                                             "E"),
              1);
    EXPECT_EQ(ReadDocumentNumber(&document, "ma\xDF", 0), 1);
    // The caller's spelling goes in converted; copying the 8-bit form would leave the stored
    // key as invalid UTF-8 that nothing finds again.
    WriteDocumentNumber(&document, "MA\xDF", 2);
    EXPECT_EQ(Written(), "\xEF\xBB\xBF\r\n[Gr\xC3\xBC\xC3\x9F"
                         "e]\r\nMA\xC3\x9F = 2\r\n");
    Load(Written());
    SelectDocumentGroup(&document, "gr\xFC\xDF"
                                   "e");
    EXPECT_EQ(ReadDocumentNumber(&document, "Ma\xDF", 0), 2);
    // A new group and key are stored converted too.
    EXPECT_EQ(SelectDocumentGroup(&document, "\xC4nderung"), 0);
    WriteDocumentNumber(&document, "\xFC", 3);
    EXPECT_EQ(Written(), "\xEF\xBB\xBF\r\n[Gr\xC3\xBC\xC3\x9F"
                         "e]\r\nMA\xC3\x9F = 2\r\n"
                         "[\xC3\x84nderung]\r\n\xC3\xBC = 3\r\n");
}

TEST_F(SettingsCoreTest, BytesDocumentsCompareNamesUntranslated) {
    Load("[Gr\xF6\xDF"
         "e]\r\nH\xF6he=3\r\n");
    EXPECT_EQ(SelectDocumentGroup(&document, "GR\xF6\xDF"
                                             "E"),
              1);
    EXPECT_EQ(ReadDocumentNumber(&document, "h\xF6HE", 0), 3);
    EXPECT_EQ(ReadDocumentNumber(&document, "H\xD6he", 0), 0); // no case folding beyond A-Z
}

TEST_F(SettingsCoreTest, NewDocumentIsWrittenAsThirtyFourBytes) {
    document.file = 1; // created: no text, no entries, encoding 0
    EXPECT_EQ(SelectDocumentGroup(&document, "Einstellungen"), 0);
    WriteDocumentNumber(&document, "SpecialKey", 88);
    EXPECT_TRUE(document.modified);
    std::string written = Written();
    EXPECT_EQ(written, "[Einstellungen]\r\nSpecialKey = 88\r\n");
    EXPECT_EQ(written.size(), 34u);
}

TEST_F(SettingsCoreTest, NumbersAreWrittenInFullAndOverShorterValues) {
    Load("[Einstellungen]\r\nSpecialKey=88\r\nother=x\r\n");
    SelectDocumentGroup(&document, "Einstellungen");
    const char* loaded = FindDocumentValue(&document, "SpecialKey");
    WriteDocumentNumber(&document, "SpecialKey", 7);
    EXPECT_EQ(FindDocumentValue(&document, "SpecialKey"), loaded); // fits where it stood
    EXPECT_EQ(Written(), "[Einstellungen]\r\nSpecialKey = 7\r\nother = x\r\n");
    WriteDocumentNumber(&document, "SpecialKey", INT_MIN);
    EXPECT_STREQ(FindDocumentValue(&document, "SpecialKey"), "-2147483648");
    EXPECT_EQ(std::strlen(FindDocumentValue(&document, "SpecialKey")), 11u);
    WriteDocumentNumber(&document, "SpecialKey", 12);
    EXPECT_EQ(ReadDocumentNumber(&document, "SpecialKey", 0), 12);
    EXPECT_EQ(Written(), "[Einstellungen]\r\nSpecialKey = 12\r\nother = x\r\n");
}

TEST_F(SettingsCoreTest, KeyFoundInOtherCaseIsWrittenInTheCallersCase) {
    Load("[einstellungen]\r\nSPECIALKEY = 88\r\n");
    SelectDocumentGroup(&document, "Einstellungen");
    WriteDocumentNumber(&document, "SpecialKey", 90);
    // The group line keeps its own spelling; only the key is the caller's.
    EXPECT_EQ(Written(), "[einstellungen]\r\nSpecialKey = 90\r\n");
}

TEST_F(SettingsCoreTest, NewKeysGoToTheEndOfTheirGroup) {
    Load("; head\r\ntop=1\r\n; before A\r\n[A]\r\na=1\r\n; end of A\r\n[B]\r\n[C]\r\nc=1\r\n");
    SelectDocumentGroup(&document, "A");
    WriteDocumentNumber(&document, "new", 1);
    SelectDocumentGroup(&document, "B");
    WriteDocumentNumber(&document, "new", 2);
    SelectDocumentGroup(&document, "C");
    WriteDocumentNumber(&document, "new", 3);
    SelectDocumentGroup(&document, "");
    WriteDocumentNumber(&document, "new", 4);
    SelectDocumentGroup(&document, "D");
    WriteDocumentNumber(&document, "new", 5);
    WriteDocumentNumber(&document, "second", 6);
    EXPECT_EQ(Written(),
              "; head\r\ntop = 1\r\n; before A\r\nnew = 4\r\n[A]\r\na = 1\r\n; end of A\r\nnew = 1\r\n"
              "[B]\r\nnew = 2\r\n[C]\r\nc = 1\r\nnew = 3\r\n[D]\r\nnew = 5\r\nsecond = 6\r\n");
}

TEST_F(SettingsCoreTest, TopLevelKeysGoBeforeALeadingGroupLine) {
    Load("[A]\r\na=1\r\n");
    SelectDocumentGroup(&document, "");
    WriteDocumentNumber(&document, "top", 9);
    EXPECT_EQ(Written(), "top = 9\r\n[A]\r\na = 1\r\n");
    Load(Written());
    EXPECT_EQ(ReadDocumentNumber(&document, "top", 0), 9);
    // An empty document takes the key as its only entry.
    ReleaseSettingsDocument(&document);
    document.file = 1;
    WriteDocumentNumber(&document, "only", 1);
    EXPECT_EQ(Written(), "only = 1\r\n");
}

TEST_F(SettingsCoreTest, ReservedValuesHoldTheRequestedLength) {
    Load("[G]\r\nk=abc\r\n");
    SelectDocumentGroup(&document, "G");
    char* value = ReserveDocumentValue(&document, "k", 3);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "abc"); // long enough: handed back in place
    value = ReserveDocumentValue(&document, "k", 1000);
    ASSERT_NE(value, nullptr);
    std::memset(value, 'v', 1000); // the zero byte behind stays ours
    EXPECT_EQ(std::strlen(FindDocumentValue(&document, "k")), 1000u);
    value = ReserveDocumentValue(&document, "fresh", 0);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(ReserveDocumentValue(&document, "k", SIZE_MAX), nullptr);
}

TEST_F(SettingsCoreTest, AClosedDocumentReadsDefaultsAndDropsWrites) {
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

TEST_F(SettingsCoreTest, NullNamesCountAsEmpty) {
    Load("=top\r\n[G]\r\n=inner\r\n");
    EXPECT_STREQ(FindDocumentValue(&document, nullptr), "top");
    SelectDocumentGroup(&document, "G");
    WriteDocumentNumber(&document, nullptr, 4);
    EXPECT_EQ(Written(), " = top\r\n[G]\r\n = 4\r\n");
    EXPECT_EQ(Reread(), Entries());
}

TEST_F(SettingsCoreTest, EveryFormIsNormalisedWhenWritten) {
    Load("\r\n\r\n   [G] trailing\r\n\tkey\t=\tvalue  \r\n;comment\r\n[H\r\n  plain\r\n");
    SelectDocumentGroup(&document, "G");
    WriteDocumentNumber(&document, "key", 1);
    EXPECT_EQ(Written(), "[G]\r\nkey = 1\r\n; comment\r\n[H]\r\nplain = \r\n");
}

TEST_F(SettingsCoreTest, UnchangedLoadedTextSurvivesReplacedValues) {
    Load("[G]\r\na=1\r\nb=22\r\n");
    SelectDocumentGroup(&document, "G");
    for (int round = 0; round < 50; ++round)
        WriteDocumentNumber(&document, "a", 1000000 + round);
    EXPECT_EQ(Written(), "[G]\r\na = 1000049\r\nb = 22\r\n");
}

} // namespace

namespace {

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
