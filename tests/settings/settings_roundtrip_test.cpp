// Randomised checks of the settings engine: written documents read back to the same entries,
// and random select/read/write sequences agree with a plain model of the rules. Arbitrary
// bytes through parse, write and parse again are the round-trip fuzzer's (its corpus runs
// with the native tests).
#include "settings/settings_core.h"

#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace settings_test;

namespace {

struct PlainEntry {
    SettingsEntryKind kind;
    std::string key;
    std::string text;
};

std::string Describe(int encoding, const std::vector<PlainEntry>& entries) {
    std::string out = "encoding " + std::to_string(encoding) + "\n";
    for (const PlainEntry& entry : entries) {
        if (entry.kind == SettingsGroupEntry) out += "group " + Quote(entry.text.c_str()) + "\n";
        if (entry.kind == SettingsCommentEntry) out += "comment " + Quote(entry.text.c_str()) + "\n";
        if (entry.kind == SettingsKeyEntry)
            out += "key " + Quote(entry.key.c_str()) + " " + Quote(entry.text.c_str()) + "\n";
    }
    return out;
}

// The written form, built independently of the engine.
std::string Written(int encoding, const std::vector<PlainEntry>& entries) {
    std::string out = encoding == SettingsEncodingUtf8 ? "\xEF\xBB\xBF\r\n" : "";
    for (const PlainEntry& entry : entries) {
        if (entry.kind == SettingsGroupEntry) out += "[" + entry.text + "]";
        if (entry.kind == SettingsCommentEntry) out += "; " + entry.text;
        if (entry.kind == SettingsKeyEntry) out += entry.key + " = " + entry.text;
        out += "\r\n";
    }
    return out;
}

class Generator {
  public:
    explicit Generator(unsigned seed) : random(seed) {}

    int Below(int limit) { return static_cast<int>(random() % static_cast<unsigned>(limit)); }

    // Bytes that matter to the format turn up often; the rest of the byte range now and then.
    char Byte() {
        static const char interesting[] = {' ',    '\t',   '=',    ';',    '[',  ']',    'a',
                                           'A',    'z',    'Z',    '0',    '9',  '\xEF', '\xBB',
                                           '\xBF', '\xC3', '\xE4', '\x80', '\v', '\f'};
        if (Below(4) == 0) return static_cast<char>(1 + Below(255));
        return interesting[Below(sizeof interesting)];
    }
    std::string Text(const char* forbidden) {
        std::string text;
        for (int length = Below(8); static_cast<int>(text.size()) < length;) {
            char c = Byte();
            if (c != '\r' && c != '\n' && !std::strchr(forbidden, c)) text += c;
        }
        return text;
    }
    static bool Blank(char c) { return c == ' ' || c == '\t'; }

    // Entries as a reader can produce them: keys hold no '=' and no blanks at either end and
    // do not start like a comment or group line; values start with no blank; names hold no ']'.
    PlainEntry Entry() {
        switch (Below(3)) {
        case 0:
            return {SettingsGroupEntry, "", Text("]")};
        case 1:
            return {SettingsCommentEntry, "", Text("")};
        default: {
            std::string key = Text("=");
            while (!key.empty() && Blank(key.back()))
                key.pop_back();
            while (!key.empty() && (Blank(key[0]) || key[0] == ';' || key[0] == '['))
                key.erase(0, 1);
            std::string value = Text("");
            while (!value.empty() && Blank(value[0]))
                value.erase(0, 1);
            return {SettingsKeyEntry, key, value};
        }
        }
    }

    std::mt19937 random;
};

// A mark at the very start of a document written without one reads as a mark: a first key
// that begins with those bytes cannot survive in such a document. Nothing we write does that.
bool StartsWithMark(const std::string& bytes) {
    return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

TEST(SettingsRoundTrip, WrittenEntriesReadBackUnchanged) {
    Generator generate(20240601);
    for (int round = 0; round < 3000; ++round) {
        int encoding = generate.Below(2) ? SettingsEncodingUtf8 : SettingsEncodingBytes;
        std::vector<PlainEntry> entries(static_cast<std::size_t>(generate.Below(12)));
        for (PlainEntry& entry : entries)
            entry = generate.Entry();
        std::string bytes = Written(encoding, entries);
        if (encoding == SettingsEncodingBytes && StartsWithMark(bytes)) continue;

        SettingsDocument document = {};
        document.file = 1;
        ASSERT_TRUE(LoadSettingsBytes(&document, bytes.data(), bytes.size()));
        ASSERT_EQ(DescribeEntries(&document), Describe(encoding, entries)) << Quote(bytes.c_str());
        ASSERT_EQ(FormatDocument(&document), bytes);
        ReleaseSettingsDocument(&document);
    }
}

// The rules of selecting, reading and writing, written out plainly over a vector.
struct Model {
    int encoding = SettingsEncodingBytes;
    std::vector<PlainEntry> entries;
    int current = -1; // index of the current group, -1 for the top level
    bool pending = false;
    std::string pendingName;

    std::string Stored(const std::string& name) const {
        return encoding == SettingsEncodingUtf8 ? MarkedSpelling(name) : name;
    }
    int Select(const std::string& name) {
        pending = false;
        if (name.empty()) {
            current = -1;
            return 1;
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].kind == SettingsGroupEntry &&
                SameSettingsName(entries[i].text.c_str(), Stored(name).c_str())) {
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
        for (std::size_t i = static_cast<std::size_t>(current + 1); i < entries.size(); ++i) {
            if (entries[i].kind == SettingsGroupEntry) break;
            if (entries[i].kind == SettingsKeyEntry &&
                SameSettingsName(entries[i].key.c_str(), Stored(key).c_str()))
                return static_cast<int>(i);
        }
        return -1;
    }
    void Write(const std::string& key, int value) {
        if (pending) {
            entries.push_back({SettingsGroupEntry, "", pendingName});
            current = static_cast<int>(entries.size()) - 1;
            pending = false;
        }
        int found = Find(key);
        if (found >= 0) {
            entries[static_cast<std::size_t>(found)].key = Stored(key);
            entries[static_cast<std::size_t>(found)].text = std::to_string(value);
            return;
        }
        std::size_t end = static_cast<std::size_t>(current + 1);
        while (end < entries.size() && entries[end].kind != SettingsGroupEntry)
            ++end;
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(end),
                       {SettingsKeyEntry, Stored(key), std::to_string(value)});
    }
};

TEST(SettingsRoundTrip, RandomOperationsFollowTheRules) {
    Generator generate(4242);
    // Few distinct names, so that groups and keys are hit again, in other letter case too.
    const char* names[] = {"", "a", "A", "b", "B", "Gr\xFC\337e", "GR\xFC\337E", "key", "KEY", "\xE4"};
    for (int round = 0; round < 400; ++round) {
        Model model;
        std::string start;
        if (generate.Below(2)) {
            model.encoding = SettingsEncodingUtf8;
            start = "\xEF\xBB\xBF";
        }
        for (int count = generate.Below(6); count > 0; --count) {
            PlainEntry entry = generate.Below(2)
                                   ? PlainEntry{SettingsGroupEntry, "", names[generate.Below(10)]}
                                   : PlainEntry{SettingsKeyEntry, names[1 + generate.Below(9)], "1"};
            entry.key = model.Stored(entry.key);
            entry.text = model.Stored(entry.text);
            model.entries.push_back(entry);
        }
        if (model.encoding == SettingsEncodingUtf8) start += "\r\n";
        for (const PlainEntry& entry : model.entries)
            start += entry.kind == SettingsGroupEntry ? "[" + entry.text + "]\n"
                                                      : entry.key + "=" + entry.text + "\n";

        SettingsDocument document = {};
        document.file = 1;
        ASSERT_TRUE(LoadSettingsBytes(&document, start.data(), start.size()));
        ASSERT_EQ(DescribeEntries(&document), Describe(model.encoding, model.entries));
        for (int step = 0; step < 30; ++step) {
            std::string name = names[generate.Below(10)];
            int value = static_cast<int>(generate.random());
            switch (generate.Below(3)) {
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
            ASSERT_EQ(DescribeEntries(&document), Describe(model.encoding, model.entries)) << "step " << step;
        }
        ASSERT_EQ(FormatDocument(&document), Written(model.encoding, model.entries));
        ReleaseSettingsDocument(&document);
    }
}

} // namespace
