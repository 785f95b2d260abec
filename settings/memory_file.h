// A file in memory behind a BufferedFile, counting the system calls the buffer makes, and the
// plain reading of lines that the buffered reader must agree with. Shared by the tests and the
// fuzzers of the buffered file and the line reader.
#pragma once

#include "settings/buffered_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct MemoryFile {
    std::string data;
    std::size_t position = 0;
    int reads = 0;
    int writes = 0;
    int moves = 0;

    static int Read(void* file, void* destination, int size) {
        auto* self = static_cast<MemoryFile*>(file);
        ++self->reads;
        std::size_t left = self->position < self->data.size() ? self->data.size() - self->position : 0;
        std::size_t got = std::min(left, static_cast<std::size_t>(size));
        if (got) std::memcpy(destination, self->data.data() + self->position, got);
        self->position += got;
        return static_cast<int>(got);
    }
    static int Write(void* file, const void* source, int size) {
        auto* self = static_cast<MemoryFile*>(file);
        ++self->writes;
        if (self->data.size() < self->position + size) self->data.resize(self->position + size);
        std::memcpy(&self->data[self->position], source, static_cast<std::size_t>(size));
        self->position += static_cast<std::size_t>(size);
        return size;
    }
    static void MoveBy(void* file, int offset) {
        auto* self = static_cast<MemoryFile*>(file);
        ++self->moves;
        self->position = static_cast<std::size_t>(static_cast<long long>(self->position) + offset);
    }
    static const FileAccess* Access() {
        static const FileAccess access = {Read, Write, MoveBy};
        return &access;
    }
};

// A MemoryFile with its buffer; bufferSize 0 reads and writes without one.
struct BufferedMemoryFile {
    MemoryFile memory;
    std::vector<unsigned char> buffer;
    BufferedFile file{};

    explicit BufferedMemoryFile(std::string data, int bufferSize = FileBufferSize) {
        memory.data = std::move(data);
        buffer.resize(static_cast<std::size_t>(bufferSize));
        StartBufferedFile(&file, &memory, MemoryFile::Access(), bufferSize ? buffer.data() : nullptr,
                          bufferSize);
    }

    // Every line up to the end, asking for the end before each one as a reader loop does.
    std::vector<std::string> ReadAllLines() {
        std::vector<std::string> lines;
        while (!AtEndOfData(&file))
            lines.push_back(ReadLine(&file));
        return lines;
    }
};

// Letters a to z over and over: long lines whose every position is told apart.
inline std::string Filler(std::size_t length) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

// The lines of a whole text, split without any buffer: the rules the buffered reader follows.
inline std::vector<std::string> SplitLines(const std::string& data) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < data.size()) {
        std::string line;
        while (at < data.size() && data[at] != '\r' && data[at] != '\n' && data[at] != '\0')
            line += data[at++];
        if (at < data.size()) {
            bool carriageReturn = data[at] == '\r';
            ++at;
            if (carriageReturn && at < data.size() && data[at] == '\n') ++at;
        }
        lines.push_back(line);
    }
    return lines;
}
