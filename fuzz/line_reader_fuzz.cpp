// The line reader against the plain split of the whole text, for every buffer size from none to
// the real one, and lines written back with CR LF must read back the same.
#include "settings/buffered_file.h"
#include "settings/memory_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the buffer, so that line ends land on every kind of boundary.
    int bufferSize = data[0] == 0 ? 0 : data[0] < 128 ? data[0] : FileBufferSize;
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    BufferedMemoryFile reader(text, bufferSize);
    std::vector<std::string> lines = reader.ReadAllLines();
    if (lines != SplitLines(text)) std::abort();
    if (!AtEndOfData(&reader.file) || !ReadLine(&reader.file).empty()) std::abort();

    BufferedMemoryFile writer("", bufferSize);
    for (const std::string& line : lines) {
        if (WriteBuffered(&writer.file, line.data(), static_cast<int>(line.size())) !=
            static_cast<int>(line.size()))
            std::abort();
        if (WriteBuffered(&writer.file, "\r\n", 2) != 2) std::abort();
    }
    FlushBuffered(&writer.file);
    BufferedMemoryFile again(writer.memory.data, bufferSize);
    if (again.ReadAllLines() != lines) std::abort();
    return 0;
}
