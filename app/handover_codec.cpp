#include "app/handover_codec.h"

#include <cstring>

namespace {

bool IsHighSurrogate(HandOverUnit unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(HandOverUnit unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Whether the path can travel as it stands: within the length a receiver takes, every surrogate
// in its pair, and no zero that would end it early.
bool Travels(const HandOverText& path) {
    if (path.size() > MaxHandOverPathLength) return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == 0 || IsLowSurrogate(path[i])) return false;
        if (IsHighSurrogate(path[i]) && (++i == path.size() || !IsLowSurrogate(path[i]))) return false;
    }
    return true;
}

bool ForbiddenInName(HandOverUnit unit) {
    if (unit < 32) return true;
    for (char forbidden : {'<', '>', ':', '"', '/', '|', '?', '*'})
        if (unit == static_cast<HandOverUnit>(forbidden)) return true;
    return false;
}

} // namespace

std::vector<HandOverText> EncodeHandOver(const std::vector<HandOverText>& paths) {
    std::vector<HandOverText> blocks;
    std::size_t count = MaxHandOverPaths;
    for (const HandOverText& path : paths) {
        bool travels = Travels(path);
        std::size_t units = travels ? path.size() + 1 : 1;
        if (blocks.empty() || count == MaxHandOverPaths ||
            (blocks.back().size() + units) * sizeof(HandOverUnit) > MaxHandOverBytes) {
            blocks.emplace_back();
            count = 0;
        }
        if (travels) blocks.back() += path;
        blocks.back().push_back(0);
        ++count;
    }
    return blocks;
}

bool DecodeHandOver(const void* data, std::size_t size, std::vector<HandOverText>* paths) {
    paths->clear();
    if (!data || size < sizeof(HandOverUnit) || size > MaxHandOverBytes || size % sizeof(HandOverUnit) != 0)
        return false;
    // A copy of exactly size bytes: nothing beyond it is read, whatever the block claims.
    HandOverText text(size / sizeof(HandOverUnit), 0);
    std::memcpy(&text[0], data, size);
    if (text.back() != 0) return false;
    std::vector<HandOverText> found;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        HandOverUnit unit = text[i];
        if (IsHighSurrogate(unit)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        } else if (IsLowSurrogate(unit)) {
            return false;
        } else if (unit == 0) {
            if (found.size() == MaxHandOverPaths) return false;
            found.emplace_back(text, start, i - start);
            start = i + 1;
        }
    }
    *paths = std::move(found);
    return true;
}

bool AcceptablePath(const HandOverText& path) {
    if (path.empty() || path.size() > MaxHandOverPathLength) return false;
    std::size_t from = 0;
    HandOverUnit drive = static_cast<HandOverUnit>(path[0] | 0x20);
    if (path.size() >= 3 && drive >= 'a' && drive <= 'z' && path[1] == ':' && path[2] == '\\')
        from = 3;
    else if (path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '?' &&
             path[2] != '.')
        from = 2; // a server and its share; "\\?\" and "\\.\" name devices as well
    else
        return false;
    for (std::size_t i = from; i < path.size(); ++i)
        if (ForbiddenInName(path[i])) return false;
    return true;
}
