#include "settings/files.h"

#include "core/handles_win32.h"
#include "core/memory.h"
#include "core/object_table.h"
#include "settings/buffered_file.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

ObjectTable* fileTable = nullptr;

int ReadSystemFile(void* file, void* destination, int size) {
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(file), destination, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return static_cast<int>(got);
}

int WriteSystemFile(void* file, const void* source, int size) {
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(file), source, static_cast<DWORD>(size), &written, nullptr)) return 0;
    return static_cast<int>(written);
}

void MoveSystemFile(void* file, int offset) {
    LONG high = offset < 0 ? -1 : 0;
    SetFilePointer(static_cast<HANDLE>(file), offset, &high, FILE_CURRENT);
}

const FileAccess systemAccess = {ReadSystemFile, WriteSystemFile, MoveSystemFile};

BufferedFile* FindFile(Number number) {
    return FindRecord<BufferedFile>(fileTable, number);
}

// The part common to creating and opening. The number's record comes first, so that a file
// still open under the number is closed before the path is opened again. A fixed number's slot
// stays free on failure; a dynamic record goes again.
Number StartDataFile(Number number, const char* path, HANDLE (*open)(const char* path)) {
    if (!path) return 0;
    InitDataFiles();
    auto* file = AllocateRecord<BufferedFile>(fileTable, number);
    if (!file) return 0;
    HANDLE handle = open(path);
    if (handle == INVALID_HANDLE_VALUE) {
        if (number == AnyNumber) ReleaseObject(fileTable, DynamicHandle(file));
        return 0;
    }
    // Without a buffer the file still works, one system call per request.
    auto* buffer = static_cast<unsigned char*>(AllocateMemory(FileBufferSize));
    StartBufferedFile(file, handle, &systemAccess, buffer, FileBufferSize);
    return number == AnyNumber ? DynamicHandle(file) : reinterpret_cast<Number>(handle);
}

HANDLE CreateForWriting(const char* path) {
    std::wstring name = ToWidePath(path);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Replacing a hidden or system file with normal attributes is refused; emptying it is not.
    if (handle == INVALID_HANDLE_VALUE)
        handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    return handle;
}

HANDLE OpenForReading(const char* path) {
    return CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

const FileAccess* SystemFileAccess() {
    return &systemAccess;
}

std::string ReadEnvironmentVariable(const char* name) {
    if (!name || !*name) return {};
    std::wstring wideName = ToWide(name);
    std::wstring value;
    // The variable may change between asking for its length and reading it (another thread can
    // set it): a longer value is asked for again, a shorter one is cut to what was read.
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    for (int attempt = 0; attempt < 8 && size > 0; ++attempt) {
        value.assign(size, L'\0');
        DWORD got = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
        if (got < size) {
            value.resize(got);
            return FromWide(value);
        }
        size = got;
    }
    return {};
}

std::int64_t QueryFileSize(const char* path) {
    std::string query;
    switch (PrepareSizeQuery(path, query)) {
    case SizeQueryKind::Nothing:
        return FileSizeNothing;
    case SizeQueryKind::Drive:
        // DRIVE_UNKNOWN (0) and DRIVE_NO_ROOT_DIR (1) mean there is no such drive.
        return GetDriveTypeW(ToWide(query).c_str()) > DRIVE_NO_ROOT_DIR ? FileSizeFolder : FileSizeNothing;
    case SizeQueryKind::Search:
        break;
    }
    std::wstring name = ToWidePath(query);
    WIN32_FIND_DATAW found;
    if (UniqueFindFile search{FindFirstFileW(name.c_str(), &found)}) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FileSizeFolder;
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) |
                                         found.nFileSizeLow);
    }
    // The search never finds roots: a share ("\\server\share") or the current drive's root ("\").
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileSizeFolder;
    return FileSizeNothing;
}

int MakeDirectory(const char* path) {
    std::string folder;
    if (!PrepareFolderPath(path, folder)) return 0;
    return CreateDirectoryW(ToWidePath(folder, ClassicFolderLimit).c_str(), nullptr) ? 1 : 0;
}

void InitDataFiles() {
    if (!fileTable) fileTable = NewObjectTable(sizeof(BufferedFile), 16, CloseDataFile);
}

Number CreateDataFile(Number number, const char* path) {
    return StartDataFile(number, path, CreateForWriting);
}

Number OpenDataFile(Number number, const char* path) {
    return StartDataFile(number, path, OpenForReading);
}

int IsEndOfFile(Number number) {
    return AtEndOfData(FindFile(number));
}

std::string ReadTextLine(Number number, int encoding) {
    return ReadLine(FindFile(number));
}

int WriteText(Number number, const char* text, int encoding) {
    BufferedFile* file = FindFile(number);
    if (!file || !text || !*text) return 0;
    std::size_t length = std::strlen(text);
    int written = 0;
    // Texts beyond 2 GB go in pieces, since the buffer counts in 32 bits.
    while (length > 0) {
        int piece = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
        int done = WriteBuffered(file, text, piece);
        written += done;
        if (done < piece) break;
        text += piece;
        length -= static_cast<std::size_t>(piece);
    }
    return written;
}

int WriteTextLine(Number number, const char* text, int encoding) {
    if (!FindFile(number)) return 0;
    int written = WriteText(number, text, encoding);
    return written + WriteText(number, "\r\n", encoding);
}

void CloseDataFile(Number number) {
    BufferedFile* file = FindFile(number);
    if (!file) return;
    FlushBuffered(file);
    FreeMemory(file->buffer);
    CloseHandle(static_cast<HANDLE>(file->file));
    ReleaseObject(fileTable, number);
}

void CloseAllDataFiles() {
    FreeAllObjects(fileTable);
}
