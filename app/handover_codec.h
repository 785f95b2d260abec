// The hand-over's wire, without the system: the paths in UTF-16, each ending in a zero unit, cut
// into blocks within fixed bounds; and the check every arriving path passes. Built natively too,
// where it is fuzzed.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <vector>

// One unit of the wire's UTF-16. Windows' wchar_t is that unit, so the program passes its own
// strings; where wchar_t is wider, the same code reads and writes 16-bit units all the same.
#if WCHAR_MAX == 0xFFFF
using HandOverUnit = wchar_t;
#else
using HandOverUnit = char16_t;
#endif
static_assert(sizeof(HandOverUnit) == 2, "the wire carries 16-bit units");
using HandOverText = std::basic_string<HandOverUnit>;

constexpr std::size_t MaxHandOverPaths = 256;
// Far beyond the classic limit, and far below what a block could carry.
constexpr std::size_t MaxHandOverPathLength = 1024;
constexpr std::size_t MaxHandOverBytes =
    MaxHandOverPaths * (MaxHandOverPathLength + 1) * sizeof(HandOverUnit);

// The paths as blocks within the bounds above, in their order. A path that no receiver could
// take as it stands (too long, or a surrogate without its pair) travels as an empty path, which
// every receiver refuses by itself: the block stays well-formed and the sender hears of it.
std::vector<HandOverText> EncodeHandOver(const std::vector<HandOverText>& paths);
// A block's paths, read within size alone; false (and no paths) for a block that is not
// well-formed: an odd or too large size, no final zero, a lone surrogate, too many paths.
bool DecodeHandOver(const void* data, std::size_t size, std::vector<HandOverText>* paths);
// A path we take in: full (drive or network), not too long, and only characters a file name
// may hold.
bool AcceptablePath(const HandOverText& path);
