// The buffer behind numbered files, kept apart from the system calls so that it runs (and is
// fuzzed) anywhere: one block that holds either read-ahead data or bytes not yet written, and
// the line reader on top of it.
#pragma once

#include <string>

constexpr int FileBufferSize = 4096;

// The system calls behind a buffered file. Sizes are byte counts; read and write return what
// they moved (0 at the end or on failure); moveBy shifts the file position by a signed amount.
struct FileAccess {
    int (*read)(void* file, void* destination, int size);
    int (*write)(void* file, const void* source, int size);
    void (*moveBy)(void* file, int offset);
};

struct BufferedFile {
    void* file;            // the open file; first field, because a file table sees 0 as a free slot
    unsigned char* buffer; // FileBufferSize bytes, or null: then every call goes to the file
    int bufferSize;
    int count;       // reading: unread bytes at the end of the filled part; writing: room left
    int filled;      // reading: bytes the last fill brought in
    int readingMode; // 1: the buffer holds read-ahead data (or nothing); 0: pending bytes
    const FileAccess* access;
};

// Sets up a freshly opened file: reading mode, nothing buffered. buffer may be null.
void StartBufferedFile(BufferedFile* file, void* systemFile, const FileAccess* access, unsigned char* buffer,
                       int bufferSize);

// Reads up to size bytes; fewer at the end of the data.
int ReadBuffered(BufferedFile* file, void* destination, int size);
// Writes size bytes where the reader stands (or after what was written); returns the count taken.
int WriteBuffered(BufferedFile* file, const void* source, int size);
// Writes the pending bytes, if any.
void FlushBuffered(BufferedFile* file);
// 1 when no byte is left to read, else 0; the byte looked at stays unread.
int AtEndOfData(BufferedFile* file);

// The next line without its end. A line ends at LF, CR, CR LF, a zero byte or the end of the
// data; the end is consumed. At the end of the data the line is empty.
std::string ReadLine(BufferedFile* file);
