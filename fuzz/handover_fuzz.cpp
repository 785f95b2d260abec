// The hand-over's blocks as another process may send them: any bytes decode or are refused
// whole, never read beyond their size, and a block taken is exactly its paths, each ended by a
// zero, which encode to the same block again. Paths of any units (the rest of the input, cut at
// line feeds, each repeated as often as the first byte says, so that blocks reach their bounds)
// encode to blocks that every receiver decodes, with every path in its place: as it was, or empty
// where it could not travel.
#include "app/handover_codec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool WellFormed(const HandOverText& path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == 0 || (path[i] >= 0xDC00 && path[i] <= 0xDFFF)) return false;
        if (path[i] >= 0xD800 && path[i] <= 0xDBFF &&
            (++i == path.size() || path[i] < 0xDC00 || path[i] > 0xDFFF))
            return false;
    }
    return true;
}

// What a path taken in may never be, whatever the check looks like inside.
void CheckAccepted(const HandOverText& path) {
    if (!AcceptablePath(path)) return;
    if (path.size() > MaxHandOverPathLength || path.size() < 3) std::abort();
    bool drive = path[1] == ':' && path[2] == '\\';
    bool share = path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '?' && path[2] != '.';
    if (!drive && !share) std::abort();
    for (std::size_t i = drive ? 2 : 0; i < path.size(); ++i)
        if (path[i] < 32 || (i > 2 && path[i] == ':') || path[i] == '/' || path[i] == '*' || path[i] == '?')
            std::abort();
}

void DecodeAnyBlock(const std::uint8_t* data, std::size_t size) {
    std::vector<HandOverText> paths{HandOverText(1, 'x')};
    if (!DecodeHandOver(data, size, &paths)) {
        if (!paths.empty()) std::abort();
        return;
    }
    if (paths.empty() || paths.size() > MaxHandOverPaths || size > MaxHandOverBytes) std::abort();
    HandOverText joined;
    bool allTravel = true;
    for (const HandOverText& path : paths) {
        if (!WellFormed(path)) std::abort();
        CheckAccepted(path);
        allTravel = allTravel && path.size() <= MaxHandOverPathLength;
        joined += path;
        joined.push_back(0);
    }
    if (joined.size() * sizeof(HandOverUnit) != size || std::memcmp(joined.data(), data, size) != 0)
        std::abort();
    std::vector<HandOverText> blocks = EncodeHandOver(paths);
    if (allTravel && (blocks.size() != 1 || blocks[0] != joined)) std::abort();
}

void EncodeAnyPaths(unsigned repeat, const std::uint8_t* data, std::size_t size) {
    HandOverText units(size / sizeof(HandOverUnit), 0);
    if (!units.empty()) std::memcpy(&units[0], data, units.size() * sizeof(HandOverUnit));
    std::vector<HandOverText> paths;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= units.size(); ++i) {
        if (i < units.size() && units[i] != '\n') continue;
        for (unsigned k = 0; k < repeat; ++k)
            paths.emplace_back(units, start, i - start);
        start = i + 1;
    }
    std::vector<HandOverText> blocks = EncodeHandOver(paths);
    std::size_t at = 0;
    for (const HandOverText& block : blocks) {
        std::vector<HandOverText> decoded;
        if (!DecodeHandOver(block.data(), block.size() * sizeof(HandOverUnit), &decoded)) std::abort();
        for (const HandOverText& path : decoded) {
            if (at == paths.size()) std::abort();
            const HandOverText& sent = paths[at++];
            bool travels = sent.size() <= MaxHandOverPathLength && WellFormed(sent);
            if (path != (travels ? sent : HandOverText())) std::abort();
        }
    }
    if (at != paths.size()) std::abort();
    // No block that could have held the next one's first path as well.
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        std::vector<HandOverText> here, next;
        DecodeHandOver(blocks[i].data(), blocks[i].size() * sizeof(HandOverUnit), &here);
        DecodeHandOver(blocks[i + 1].data(), blocks[i + 1].size() * sizeof(HandOverUnit), &next);
        bool roomForOne = here.size() < MaxHandOverPaths &&
                          (blocks[i].size() + next[0].size() + 1) * sizeof(HandOverUnit) <= MaxHandOverBytes;
        if (roomForOne) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    DecodeAnyBlock(data + 1, size - 1);
    EncodeAnyPaths(1 + data[0] % 64, data + 1, size - 1);
    return 0;
}
