#include "settings/settings_core.h"

#include "core/memory.h"
#include "settings/text.h"

#include <cstdint>
#include <cstring>

// Entries come from blocks that only grow: a large document has hundreds of thousands of lines,
// and nothing frees an entry before the whole document goes.
struct SettingsEntryBlock {
    SettingsEntryBlock* next;
    std::size_t capacity;
    std::size_t used;
};

namespace {

constexpr std::size_t EntriesOffset = (sizeof(SettingsEntryBlock) + alignof(SettingsEntry) - 1) /
                                      alignof(SettingsEntry) * alignof(SettingsEntry);
constexpr std::size_t FirstBlockEntries = 32;
constexpr std::size_t LargestBlockEntries = 4096;

SettingsEntry* BlockEntries(SettingsEntryBlock* block) {
    return reinterpret_cast<SettingsEntry*>(reinterpret_cast<char*>(block) + EntriesOffset);
}

SettingsEntry* NewEntry(SettingsDocument* document, SettingsEntryKind kind) {
    SettingsEntryBlock* block = document->entryBlocks;
    if (!block || block->used == block->capacity) {
        std::size_t capacity = block ? block->capacity * 2 : FirstBlockEntries;
        if (capacity > LargestBlockEntries) capacity = LargestBlockEntries;
        auto* fresh = static_cast<SettingsEntryBlock*>(
            AllocateMemory(EntriesOffset + capacity * sizeof(SettingsEntry)));
        if (!fresh) return nullptr;
        fresh->next = block;
        fresh->capacity = capacity;
        document->entryBlocks = block = fresh;
    }
    SettingsEntry* entry = BlockEntries(block) + block->used++;
    entry->kind = kind;
    return entry;
}

// Links the entry behind another one, or at the start of the list for null.
void LinkEntryAfter(SettingsDocument* document, SettingsEntry* entry, SettingsEntry* after) {
    entry->previous = after;
    entry->next = after ? after->next : document->entries;
    if (entry->next)
        entry->next->previous = entry;
    else
        document->lastEntry = entry;
    if (after)
        after->next = entry;
    else
        document->entries = entry;
}

inline unsigned char Folded(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

std::size_t NameHash(const char* name) {
    std::uint32_t hash = 2166136261u;
    for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        hash = (hash ^ Folded(*p)) * 16777619u;
    return hash;
}

// Enters a group unless one of the same name came before it; only the first is ever found.
void IndexGroup(SettingsDocument* document, SettingsEntry* group) {
    std::size_t mask = document->groupIndexSize - 1;
    for (std::size_t slot = NameHash(group->text) & mask;; slot = (slot + 1) & mask) {
        SettingsEntry*& entry = document->groupIndex[slot];
        if (!entry) {
            entry = group;
            return;
        }
        if (SameSettingsName(entry->text, group->text)) return;
    }
}

void DropGroupIndex(SettingsDocument* document) {
    FreeMemory(document->groupIndex);
    document->groupIndex = nullptr;
    document->groupIndexSize = 0;
}

bool BuildGroupIndex(SettingsDocument* document) {
    std::size_t size = 16;
    while (size < document->groupCount * 2)
        size *= 2;
    document->groupIndex = static_cast<SettingsEntry**>(AllocateMemory(size * sizeof(SettingsEntry*)));
    if (!document->groupIndex) return false;
    document->groupIndexSize = size;
    for (SettingsEntry* group = document->firstGroup; group; group = group->nextGroup)
        IndexGroup(document, group);
    return true;
}

// Groups are only ever added at the end of the list.
void AppendGroup(SettingsDocument* document, SettingsEntry* group) {
    LinkEntryAfter(document, group, document->lastEntry);
    if (document->lastGroup)
        document->lastGroup->nextGroup = group;
    else
        document->firstGroup = group;
    document->lastGroup = group;
    ++document->groupCount;
    if (document->groupIndex) {
        if (document->groupCount * 2 <= document->groupIndexSize)
            IndexGroup(document, group);
        else
            DropGroupIndex(document); // made again, larger, when next needed
    }
}

SettingsEntry* FindGroup(SettingsDocument* document, const char* name) {
    if (document->groupIndex || BuildGroupIndex(document)) {
        std::size_t mask = document->groupIndexSize - 1;
        for (std::size_t slot = NameHash(name) & mask; document->groupIndex[slot]; slot = (slot + 1) & mask)
            if (SameSettingsName(document->groupIndex[slot]->text, name)) return document->groupIndex[slot];
        return nullptr;
    }
    for (SettingsEntry* group = document->firstGroup; group; group = group->nextGroup)
        if (SameSettingsName(group->text, name)) return group;
    return nullptr;
}

char* CopyText(const char* text) {
    std::size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(AllocateMemory(length + 1));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

bool NeedsConversion(const char* name) {
    for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        if (*p >= 0x80) return true;
    return false;
}

// The caller's name in the form the document stores: a copy, converted for a marked document.
char* WorkingName(const SettingsDocument* document, const char* name) {
    return document->encoding == SettingsEncodingUtf8 ? ConvertSettingsName(name) : CopyText(name);
}

// First key entry of that name between the current group and the next group line.
SettingsEntry* FindKeyEntry(const SettingsDocument* document, const char* key) {
    SettingsEntry* entry = document->currentGroup ? document->currentGroup->next : document->entries;
    for (; entry && entry->kind != SettingsGroupEntry; entry = entry->next)
        if (entry->kind == SettingsKeyEntry && SameSettingsName(entry->key, key)) return entry;
    return nullptr;
}

// The entry a new key of the current group goes behind; null means the start of the list.
SettingsEntry* KeyInsertPosition(const SettingsDocument* document) {
    SettingsEntry* nextGroup =
        document->currentGroup ? document->currentGroup->nextGroup : document->firstGroup;
    return nextGroup ? nextGroup->previous : document->lastEntry;
}

// Character classes for the splitter: the bytes that end a line, the blanks, and the two
// bytes that end a key or a group name.
enum : unsigned char { LineEndClass = 1, BlankClass = 2, EqualsClass = 4, BracketClass = 8 };

struct CharacterClasses {
    unsigned char of[256];
    constexpr CharacterClasses() : of() {
        of[0] = of[static_cast<unsigned char>('\r')] = of[static_cast<unsigned char>('\n')] = LineEndClass;
        of[static_cast<unsigned char>(' ')] = of[static_cast<unsigned char>('\t')] = BlankClass;
        of[static_cast<unsigned char>('=')] = EqualsClass;
        of[static_cast<unsigned char>(']')] = BracketClass;
    }
};
constexpr CharacterClasses Classes;

inline unsigned char ClassOf(const char* p) {
    return Classes.of[static_cast<unsigned char>(*p)];
}

// The text is followed by zero bytes, which end every scan.
inline char* SkipBlanks(char* p) {
    while (ClassOf(p) == BlankClass)
        ++p;
    return p;
}
inline char* FindStop(char* p, unsigned char stops) {
    while (!(ClassOf(p) & stops))
        ++p;
    return p;
}

} // namespace

char* AllocateSettingsText(std::size_t size) {
    if (size > SIZE_MAX - 2) return nullptr;
    return static_cast<char*>(AllocateMemory(size + 2));
}

bool ParseSettingsText(SettingsDocument* document, char* text, std::size_t size) {
    if (!text) return false;
    if (size == 0) {
        FreeMemory(text);
        return true;
    }
    text[size] = 0;
    text[size + 1] = 0;
    document->text = text;
    document->textEnd = text + size;

    char* const end = document->textEnd;
    char* p = text;
    while (p < end) {
        p = SkipBlanks(p);
        char* lineEnd;
        SettingsEntry* entry = nullptr;
        if (ClassOf(p) == LineEndClass) {
            lineEnd = p; // blank line: nothing to keep
        } else if (*p == ';') {
            ++p;
            if (*p == ' ') ++p;
            lineEnd = FindStop(p, LineEndClass);
            if (!(entry = NewEntry(document, SettingsCommentEntry))) return false;
            entry->text = p;
        } else if (*p == '[') {
            char* name = p + 1;
            char* close = FindStop(name, LineEndClass | BracketClass);
            lineEnd = *close == ']' ? FindStop(close + 1, LineEndClass) : close;
            *close = 0; // a name without its bracket runs to the line end, which is cut below anyway
            if (!(entry = NewEntry(document, SettingsGroupEntry))) return false;
            entry->text = name;
        } else {
            char* key = p;
            char* stop = FindStop(p, LineEndClass | EqualsClass);
            char* keyEnd = stop;
            while (keyEnd > key && ClassOf(keyEnd - 1) == BlankClass)
                --keyEnd;
            char* value;
            if (*stop == '=') {
                value = SkipBlanks(stop + 1);
                lineEnd = FindStop(value, LineEndClass);
            } else {
                lineEnd = value = stop; // no '=': the value is the empty text at the line end
            }
            if (!(entry = NewEntry(document, SettingsKeyEntry))) return false;
            entry->key = key;
            entry->text = value;
            *keyEnd = 0;
        }
        if (entry) {
            if (entry->kind == SettingsGroupEntry)
                AppendGroup(document, entry);
            else
                LinkEntryAfter(document, entry, document->lastEntry);
        }
        // A zero byte, CR or LF ends the line; the empty lines of a CR LF pair or of a longer
        // run come out as blank lines above and leave nothing behind.
        *lineEnd = 0;
        p = lineEnd + 1;
    }
    return true;
}

bool LoadSettingsBytes(SettingsDocument* document, const void* bytes, std::size_t size) {
    auto* data = static_cast<const unsigned char*>(bytes);
    document->encoding = SettingsEncodingBytes;
    if (size > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        document->encoding = SettingsEncodingUtf8;
        data += 3;
        size -= 3;
    }
    if (size == 0) return true;
    char* text = AllocateSettingsText(size);
    if (!text) return false;
    std::memcpy(text, data, size);
    return ParseSettingsText(document, text, size);
}

char* ConvertSettingsName(const char* name) {
    if (!name) name = "";
    std::size_t length = std::strlen(name);
    if (length > (SIZE_MAX - 1) / 2) return nullptr;
    auto* converted = static_cast<unsigned char*>(AllocateMemory(length * 2 + 1));
    if (!converted) return nullptr;
    unsigned char* out = converted;
    for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (*p < 0x80) {
            *out++ = *p;
        } else {
            *out++ = static_cast<unsigned char>(0xC0 | (*p >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (*p & 0x3F));
        }
    }
    return reinterpret_cast<char*>(converted);
}

bool SameSettingsName(const char* left, const char* right) {
    auto* a = reinterpret_cast<const unsigned char*>(left);
    auto* b = reinterpret_cast<const unsigned char*>(right);
    for (;; ++a, ++b) {
        unsigned char x = Folded(*a), y = Folded(*b);
        if (x != y) return false;
        if (!x) return true;
    }
}

namespace {
inline bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
} // namespace

int ParseSettingsNumber(const char* text) {
    if (!text) return 0;
    auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return 0;
    // Saturates one past the largest magnitude, which is enough to clamp either way.
    constexpr std::int64_t Limit = 2147483648LL;
    std::int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > Limit) magnitude = Limit + 1;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

int SelectDocumentGroup(SettingsDocument* document, const char* name) {
    if (!document) return 0;
    FreeMemory(document->pendingGroup);
    document->pendingGroup = nullptr;
    if (!SettingsDocumentOpen(document)) return 0;
    if (!name || !*name) {
        document->currentGroup = nullptr;
        return 1;
    }
    char* wanted = WorkingName(document, name);
    if (!wanted) return 0;
    if (SettingsEntry* group = FindGroup(document, wanted)) {
        document->currentGroup = group;
        FreeMemory(wanted);
        return 1;
    }
    document->pendingGroup = wanted;
    return 0;
}

const char* FindDocumentValue(const SettingsDocument* document, const char* key) {
    if (!SettingsDocumentOpen(document) || document->pendingGroup) return nullptr;
    if (!key) key = "";
    // Plain ASCII reads the same converted, so only other names pay for a copy.
    char* converted = nullptr;
    if (document->encoding == SettingsEncodingUtf8 && NeedsConversion(key)) {
        if (!(converted = ConvertSettingsName(key))) return nullptr;
        key = converted;
    }
    SettingsEntry* entry = FindKeyEntry(document, key);
    FreeMemory(converted);
    return entry ? entry->text : nullptr;
}

int ReadDocumentNumber(const SettingsDocument* document, const char* key, int defaultValue) {
    const char* value = FindDocumentValue(document, key);
    return value ? ParseSettingsNumber(value) : defaultValue;
}

char* ReserveDocumentValue(SettingsDocument* document, const char* key, std::size_t length) {
    if (!SettingsDocumentOpen(document) || length >= SIZE_MAX / 2) return nullptr;
    char* workingKey = WorkingName(document, key ? key : "");
    if (!workingKey) return nullptr;

    if (document->pendingGroup) {
        SettingsEntry* group = NewEntry(document, SettingsGroupEntry);
        if (!group) {
            FreeMemory(workingKey);
            return nullptr;
        }
        group->text = document->pendingGroup;
        group->ownsText = true;
        document->pendingGroup = nullptr;
        AppendGroup(document, group);
        document->currentGroup = group;
    }

    SettingsEntry* entry = FindKeyEntry(document, workingKey);
    if (entry) {
        // The stored key is in the document's own form, so the caller's spelling goes in in
        // that form too; names equal under the case rule have the same length.
        std::memcpy(entry->key, workingKey, std::strlen(workingKey));
        FreeMemory(workingKey);
        if (std::strlen(entry->text) < length) {
            auto* value = static_cast<char*>(AllocateMemory(length + 1));
            if (!value) return nullptr;
            if (entry->ownsText) FreeMemory(entry->text);
            entry->text = value;
            entry->ownsText = true;
        }
    } else {
        auto* value = static_cast<char*>(AllocateMemory(length + 1));
        entry = value ? NewEntry(document, SettingsKeyEntry) : nullptr;
        if (!entry) {
            FreeMemory(value);
            FreeMemory(workingKey);
            return nullptr;
        }
        entry->key = workingKey;
        entry->ownsKey = true;
        entry->text = value;
        entry->ownsText = true;
        LinkEntryAfter(document, entry, KeyInsertPosition(document));
    }
    document->modified = true;
    return entry->text;
}

void WriteDocumentNumber(SettingsDocument* document, const char* key, int value) {
    char digits[IntegerTextSize];
    int length = FormatInteger(static_cast<std::int32_t>(value), digits);
    if (length <= 0) return;
    char* block = ReserveDocumentValue(document, key, static_cast<std::size_t>(length));
    if (block) std::memcpy(block, digits, static_cast<std::size_t>(length) + 1);
}

bool MeasureSettingsText(const SettingsDocument* document, std::size_t* size) {
    std::size_t total = document->encoding == SettingsEncodingUtf8 ? 5 : 0;
    for (const SettingsEntry* entry = document->entries; entry; entry = entry->next) {
        std::size_t line = std::strlen(entry->text);
        std::size_t extra = 4;
        if (entry->kind == SettingsKeyEntry) {
            std::size_t key = std::strlen(entry->key);
            if (line > SIZE_MAX - key) return false;
            line += key;
            extra = 5;
        }
        if (line > SIZE_MAX - extra || total > SIZE_MAX - extra - line) return false;
        total += line + extra;
    }
    // The written block carries one more byte.
    if (total == SIZE_MAX) return false;
    *size = total;
    return true;
}

namespace {
inline char* Put(char* out, const char* text, std::size_t length) {
    std::memcpy(out, text, length);
    return out + length;
}
inline char* Put(char* out, const char* text) {
    return Put(out, text, std::strlen(text));
}
} // namespace

std::size_t FormatSettingsText(const SettingsDocument* document, char* out) {
    char* start = out;
    if (document->encoding == SettingsEncodingUtf8) out = Put(out, "\xEF\xBB\xBF\r\n", 5);
    for (const SettingsEntry* entry = document->entries; entry; entry = entry->next) {
        switch (entry->kind) {
        case SettingsGroupEntry:
            *out++ = '[';
            out = Put(out, entry->text);
            *out++ = ']';
            break;
        case SettingsCommentEntry:
            out = Put(Put(out, "; ", 2), entry->text);
            break;
        case SettingsKeyEntry:
            out = Put(Put(Put(out, entry->key), " = ", 3), entry->text);
            break;
        }
        out = Put(out, "\r\n", 2);
    }
    *out = 0;
    return static_cast<std::size_t>(out - start);
}

void ReleaseSettingsDocument(SettingsDocument* document) {
    if (!document) return;
    for (SettingsEntry* entry = document->entries; entry; entry = entry->next) {
        if (entry->ownsKey) FreeMemory(entry->key);
        if (entry->ownsText) FreeMemory(entry->text);
    }
    for (SettingsEntryBlock* block = document->entryBlocks; block;) {
        SettingsEntryBlock* next = block->next;
        FreeMemory(block);
        block = next;
    }
    FreeMemory(document->groupIndex);
    FreeMemory(document->text);
    FreeMemory(document->pendingGroup);
    FreeMemory(document->fileName);
    std::memset(document, 0, sizeof *document);
}
