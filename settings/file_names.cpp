#include "settings/file_names.h"

#include <cstring>

int IsValidFileName(const char* name) {
    if (!name || !*name) return 0;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at; ++at) {
        if (*at < 0x20 || std::strchr("\"*/:<>?\\|", *at)) return 0;
    }
    return 1;
}

namespace {
bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
} // namespace

SizeQueryKind PrepareSizeQuery(const char* path, std::string& query) {
    query.clear();
    if (!path || !*path) return SizeQueryKind::Nothing;
    std::size_t length = std::strlen(path);
    if (length > static_cast<std::size_t>(MaximumPathLength)) return SizeQueryKind::Nothing;
    // A search pattern would answer for whichever file matches first.
    if (std::strpbrk(path, "*?")) return SizeQueryKind::Nothing;
    query.assign(path, length);
    while (query.size() > 1 && query.back() == '\\')
        query.pop_back();
    // "C:", "C:/", "C:\" and "C:\\\" all mean the drive's root; "C:name" is a name in the drive's
    // current folder and is looked up like any other path.
    if (query.size() == 3 && query[2] == '/') query.pop_back();
    if (query.size() == 2 && query[1] == ':' && IsLetter(query[0])) {
        query += '\\';
        return SizeQueryKind::Drive;
    }
    return SizeQueryKind::Search;
}

bool PrepareFolderPath(const char* path, std::string& folder) {
    folder.clear();
    if (!path) return false;
    std::size_t length = std::strlen(path);
    if (length > static_cast<std::size_t>(MaximumPathLength)) return false;
    folder.assign(path, length);
    while (!folder.empty() && (folder.back() == ' ' || folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return !folder.empty();
}
