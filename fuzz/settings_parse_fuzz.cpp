// Arbitrary bytes as a settings document: splitting, look-ups and the written form must stay
// inside their blocks and agree with each other.
#include "settings_fuzz_support.h"

#include <cstdint>

using namespace settings_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SettingsDocument document;
    OpenInMemory(&document, data, size);

    std::size_t expected = document.encoding == SettingsEncodingUtf8 ? 5 : 0;
    const SettingsEntry* previous = nullptr;
    for (const SettingsEntry* entry = document.entries; entry; entry = entry->next) {
        Require(entry->previous == previous);
        Require(entry->text != nullptr);
        expected += std::strlen(entry->text) + 4;
        if (entry->kind == SettingsKeyEntry) {
            expected += std::strlen(entry->key) + 1;
            // Keys are trimmed and never hold the equals sign or a line end.
            std::size_t length = std::strlen(entry->key);
            Require(!std::strchr(entry->key, '='));
            Require(length == 0 ||
                    (!std::strchr(" \t;[", entry->key[0]) && !std::strchr(" \t", entry->key[length - 1])));
        }
        Require(!std::strpbrk(entry->text, "\r\n"));
        previous = entry;
    }
    Require(document.lastEntry == previous);
    Require(Written(&document).size() == expected);

    // Every group can be chosen by its own name, and in a document without the mark every key
    // of the top level is found by its own name.
    for (const SettingsEntry* entry = document.entries; entry; entry = entry->next) {
        if (entry->kind != SettingsGroupEntry) continue;
        if (document.encoding == SettingsEncodingBytes)
            Require(SelectDocumentGroup(&document, entry->text) == 1);
        else
            SelectDocumentGroup(&document, entry->text);
        for (const SettingsEntry* key = entry->next; key && key->kind != SettingsGroupEntry; key = key->next)
            if (key->kind == SettingsKeyEntry) ReadDocumentNumber(&document, key->key, 0);
    }
    SelectDocumentGroup(&document, "");
    for (const SettingsEntry* entry = document.entries; entry && entry->kind != SettingsGroupEntry;
         entry = entry->next)
        if (entry->kind == SettingsKeyEntry && document.encoding == SettingsEncodingBytes)
            Require(FindDocumentValue(&document, entry->key) != nullptr);

    ReleaseSettingsDocument(&document);
    return 0;
}
