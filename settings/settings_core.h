// The settings-document engine without any file system: bytes to entries, entries to bytes,
// groups, look-ups and the places where new entries go. The Win32 shell in
// settings_document_win32.cpp owns the one current document and does the file calls; tests,
// fuzzers and benchmarks drive this core directly on records of their own.
#pragma once

#include "core/types.h"

#include <cstddef>

constexpr int SettingsEncodingBytes = 0;
constexpr int SettingsEncodingUtf8 = 65001;

enum SettingsEntryKind : int {
    SettingsGroupEntry = 1,
    SettingsCommentEntry = 2,
    SettingsKeyEntry = 3,
};

// One line of a document, in file order. Key and text read from the file point into the
// document's loaded text; text supplied later is a block the entry owns.
struct SettingsEntry {
    SettingsEntry* next;
    SettingsEntry* previous;
    SettingsEntryKind kind;
    bool ownsKey;
    bool ownsText;
    char* key;  // key lines only
    char* text; // group name, comment text or value
    // Group entries only: the next group entry, so that choosing a group and finding where a
    // group ends do not walk every key of a large document.
    SettingsEntry* nextGroup;
};

struct SettingsEntryBlock;

struct SettingsDocument {
    Number file;    // the open file's handle (the shell's business), 0 when none
    char* fileName; // the path, kept only when the file could not be opened
    bool modified;  // set by the first successful write; only then is the file rewritten
    bool keepFile;  // the file could not be read whole, so it must never be rewritten
    char* text;     // the file's bytes after the mark, then two zero bytes; null when empty
    char* textEnd;  // where the two zero bytes start
    int encoding;   // SettingsEncodingBytes or SettingsEncodingUtf8
    SettingsEntry* entries;
    SettingsEntry* lastEntry;
    SettingsEntry* firstGroup;
    SettingsEntry* lastGroup;
    SettingsEntry* currentGroup; // null: the top level
    char* pendingGroup;          // selected but not present yet; owned
    SettingsEntryBlock* entryBlocks;
    // The first group of each name by a hash of its folded name, made at the first choice of
    // a group; null when not made (or memory ran out, and choosing walks the groups instead).
    SettingsEntry** groupIndex;
    std::size_t groupIndexSize; // a power of two, at least twice the number of groups
    std::size_t groupCount;
};

// A document counts as open while it has a file or a remembered name; otherwise every
// operation does nothing and reports failure or the default.
inline bool SettingsDocumentOpen(const SettingsDocument* document) {
    return document && (document->file != 0 || document->fileName != nullptr);
}

// A zero-filled block of size + 2 bytes for the file's text (the two zero bytes end the
// last line), or null.
char* AllocateSettingsText(std::size_t size);
// Takes over a block from AllocateSettingsText holding size bytes of text (the mark already
// removed) and splits it into entries. The document must hold no text or entries yet.
// Returns false when an entry could not be allocated; the entries made so far stay.
bool ParseSettingsText(SettingsDocument* document, char* text, std::size_t size);
// The same for bytes as they stand in a file, mark included: sets the encoding, copies and
// splits. For tests, fuzzers and benchmarks that keep documents in memory.
bool LoadSettingsBytes(SettingsDocument* document, const void* bytes, std::size_t size);

// 8-bit names become UTF-8 for a marked document: each byte is taken as the code point of the
// same value. A new block (FreeMemory), or null when memory runs out.
char* ConvertSettingsName(const char* name);
// Letter case of A-Z does not count; every other byte must match.
bool SameSettingsName(const char* left, const char* right);
// Leading white space, an optional sign and decimal digits; no digits read as 0, and digits
// beyond the 32-bit range give the nearest 32-bit limit.
int ParseSettingsNumber(const char* text);

// 1 when the group exists or the name is empty (the top level), 0 when it does not exist yet
// (it becomes the pending group) or the document is not open.
int SelectDocumentGroup(SettingsDocument* document, const char* name);
// The value of the first key of that name in the current group, or null.
const char* FindDocumentValue(const SettingsDocument* document, const char* key);
int ReadDocumentNumber(const SettingsDocument* document, const char* key, int defaultValue);
// Finds or adds the key in the current group (adding a pending group first) and returns its
// value block, able to hold length characters and a zero byte; null when nothing was stored.
char* ReserveDocumentValue(SettingsDocument* document, const char* key, std::size_t length);
void WriteDocumentNumber(SettingsDocument* document, const char* key, int value);

// The size of the written form, false when it would not fit in memory.
bool MeasureSettingsText(const SettingsDocument* document, std::size_t* size);
// Writes the written form into a block of at least the measured size + 1 bytes (a zero byte
// follows) and returns the measured size.
std::size_t FormatSettingsText(const SettingsDocument* document, char* out);

// Frees entries, text, pending group and remembered name and clears the record. The file
// handle is the caller's to close before.
void ReleaseSettingsDocument(SettingsDocument* document);
