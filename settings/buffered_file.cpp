#include "settings/buffered_file.h"

#include <cstring>
#include <new>

void StartBufferedFile(BufferedFile* file, void* systemFile, const FileAccess* access, unsigned char* buffer,
                       int bufferSize) {
    file->file = systemFile;
    file->access = access;
    file->buffer = bufferSize > 0 ? buffer : nullptr;
    file->bufferSize = file->buffer ? bufferSize : 0;
    file->count = 0;
    file->filled = 0;
    file->readingMode = 1;
}

namespace {

int SystemRead(BufferedFile* file, void* destination, int size) {
    if (size <= 0) return 0;
    int got = file->access->read(file->file, destination, size);
    return got > 0 ? got : 0;
}

int SystemWrite(BufferedFile* file, const void* source, int size) {
    if (size <= 0) return 0;
    int written = file->access->write(file->file, source, size);
    return written > 0 ? written : 0;
}

void SwitchToReading(BufferedFile* file) {
    if (file->readingMode) return;
    FlushBuffered(file);
    file->readingMode = 1;
    file->count = 0;
    file->filled = 0;
}

// The byte just read goes back, so that the next read sees it again: in the buffer when it came
// from there, else in the file (a read as large as the buffer goes around it).
void PutBack(BufferedFile* file) {
    if (file->buffer && file->readingMode && file->count < file->filled)
        ++file->count;
    else
        file->access->moveBy(file->file, -1);
}

// One byte, or -1 at the end. The common case takes it straight from the buffer.
int ReadByte(BufferedFile* file) {
    if (file->buffer && file->readingMode && file->count > 0)
        return file->buffer[file->filled - file->count--];
    unsigned char byte;
    return ReadBuffered(file, &byte, 1) == 1 ? byte : -1;
}

} // namespace

int ReadBuffered(BufferedFile* file, void* destination, int size) {
    if (!file || !file->file || !destination || size <= 0) return 0;
    if (!file->buffer) return SystemRead(file, destination, size);
    SwitchToReading(file);
    auto* out = static_cast<unsigned char*>(destination);
    const unsigned char* unread = file->buffer + (file->filled - file->count);
    if (file->count >= size) {
        std::memcpy(out, unread, static_cast<std::size_t>(size));
        file->count -= size;
        return size;
    }
    int copied = file->count;
    std::memcpy(out, unread, static_cast<std::size_t>(copied));
    file->count = 0;
    int need = size - copied;
    if (need >= file->bufferSize) {
        file->filled = 0;
        return copied + SystemRead(file, out + copied, need);
    }
    int got = SystemRead(file, file->buffer, file->bufferSize);
    file->filled = file->count = got;
    int take = got < need ? got : need;
    std::memcpy(out + copied, file->buffer, static_cast<std::size_t>(take));
    file->count -= take;
    return copied + take;
}

int WriteBuffered(BufferedFile* file, const void* source, int size) {
    if (!file || !file->file || !source || size <= 0) return 0;
    if (!file->buffer) return SystemWrite(file, source, size);
    if (file->readingMode) {
        // The file stands behind the read-ahead; writing continues where the reader stands.
        if (file->count > 0) file->access->moveBy(file->file, -file->count);
        file->readingMode = 0;
        file->count = file->bufferSize;
        file->filled = 0;
    }
    if (size < file->count) {
        std::memcpy(file->buffer + (file->bufferSize - file->count), source, static_cast<std::size_t>(size));
        file->count -= size;
        return size;
    }
    FlushBuffered(file);
    if (size >= file->bufferSize) return SystemWrite(file, source, size);
    std::memcpy(file->buffer, source, static_cast<std::size_t>(size));
    file->count -= size;
    return size;
}

void FlushBuffered(BufferedFile* file) {
    if (!file || !file->file || !file->buffer || file->readingMode) return;
    // A failed write loses the pending bytes; the caller learns of it through its own counts only.
    SystemWrite(file, file->buffer, file->bufferSize - file->count);
    file->count = file->bufferSize;
}

int AtEndOfData(BufferedFile* file) {
    if (!file || !file->file) return 1;
    unsigned char byte;
    if (ReadBuffered(file, &byte, 1) != 1) return 1;
    PutBack(file);
    return 0;
}

std::string ReadLine(BufferedFile* file) {
    std::string line;
    if (!file || !file->file) return line;
    try {
        for (;;) {
            int byte = ReadByte(file);
            if (byte <= 0 || byte == '\n') break;
            if (byte == '\r') {
                int next = ReadByte(file);
                if (next >= 0 && next != '\n') PutBack(file);
                break;
            }
            line.push_back(static_cast<char>(byte));
        }
    } catch (const std::bad_alloc&) {
        // A line too long for the memory left: keep what fits; the rest follows as the next line.
    }
    return line;
}
