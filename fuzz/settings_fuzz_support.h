// Shared by the settings-document fuzz targets.
#pragma once

#include "settings/settings_core.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace settings_fuzz {

// A finding must stop the run whatever the build's assertion settings.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

// A document in memory: the core only asks whether a file handle is set.
inline void OpenInMemory(SettingsDocument* document, const void* bytes, std::size_t size) {
    *document = SettingsDocument{};
    document->file = 1;
    LoadSettingsBytes(document, bytes, size);
}

inline std::string Written(const SettingsDocument* document) {
    std::size_t size = 0;
    Require(MeasureSettingsText(document, &size));
    std::string out(size + 1, '\0');
    Require(FormatSettingsText(document, &out[0]) == size);
    Require(out[size] == '\0');
    out.resize(size);
    return out;
}

// Two documents hold the same entries, in the same order, with the same encoding.
inline bool SameEntries(const SettingsDocument* left, const SettingsDocument* right) {
    if (left->encoding != right->encoding) return false;
    const SettingsEntry* a = left->entries;
    const SettingsEntry* b = right->entries;
    for (; a && b; a = a->next, b = b->next) {
        if (a->kind != b->kind || std::strcmp(a->text, b->text) != 0) return false;
        if (a->kind == SettingsKeyEntry && std::strcmp(a->key, b->key) != 0) return false;
    }
    return !a && !b;
}

// A document without the mark whose written form starts with the mark's bytes reads back as
// marked: the one way the written form cannot hold what was read, and only for a first line
// that began with those bytes after blanks.
inline bool MarkCollision(const SettingsDocument* document, const std::string& written) {
    return document->encoding == SettingsEncodingBytes && written.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

} // namespace settings_fuzz
