// Reads, writes, line reads and end tests in any order: the buffered file must behave exactly
// like the same file used without a buffer, call by call, and leave the same bytes behind.
#include "settings/buffered_file.h"
#include "settings/memory_file.h"

#include <cstdint>
#include <cstdlib>

namespace {

std::string Pattern(std::size_t length, std::size_t seed) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
        std::size_t k = i + seed;
        text[i] = k % 13 == 0   ? '\r'
                  : k % 17 == 0 ? '\n'
                  : k % 97 == 0 ? '\0'
                                : static_cast<char>('a' + k % 26);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    int bufferSize = data[0] == 0 ? 1 : data[0] < 128 ? data[0] : FileBufferSize;
    std::string initial = Pattern(static_cast<std::size_t>(data[1]) * 64, data[2]);
    BufferedMemoryFile buffered(initial, bufferSize);
    BufferedMemoryFile direct(initial, 0);

    std::size_t at = 3;
    for (std::size_t step = 0; at + 2 < size; ++step, at += 3) {
        int length = data[at + 1] | (data[at + 2] & 0x1F) << 8;
        switch (data[at] % 4) {
        case 0: {
            std::string first(static_cast<std::size_t>(length), '\0'), second = first;
            int got = ReadBuffered(&buffered.file, length ? &first[0] : nullptr, length);
            if (got != ReadBuffered(&direct.file, length ? &second[0] : nullptr, length)) std::abort();
            if (first.compare(0, static_cast<std::size_t>(got), second, 0, static_cast<std::size_t>(got)) !=
                0)
                std::abort();
            break;
        }
        case 1: {
            std::string bytes = Pattern(static_cast<std::size_t>(length), step * 7 + 3);
            if (WriteBuffered(&buffered.file, bytes.data(), length) !=
                WriteBuffered(&direct.file, bytes.data(), length))
                std::abort();
            break;
        }
        case 2:
            if (ReadLine(&buffered.file) != ReadLine(&direct.file)) std::abort();
            break;
        case 3:
            if (AtEndOfData(&buffered.file) != AtEndOfData(&direct.file)) std::abort();
            break;
        }
    }
    FlushBuffered(&buffered.file);
    if (buffered.memory.data != direct.memory.data) std::abort();
    return 0;
}
