// The file side of settings documents: one read when opening, one write when closing, and
// the file held open with read sharing in between so that nobody changes it under us.
#include "settings/settings_document.h"

#include "core/handles_win32.h"
#include "core/memory.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <cstring>

namespace {

SettingsDocument currentDocument;

HANDLE FileOf(const SettingsDocument& document) {
    return reinterpret_cast<HANDLE>(document.file);
}

char* CopyPath(const char* path) {
    std::size_t length = std::strlen(path);
    auto* copy = static_cast<char*>(AllocateMemory(length + 1));
    if (copy) std::memcpy(copy, path, length);
    return copy;
}

// The mark is looked at with a read of its own; the rest of the file comes in one read into
// the block the entries will point into.
void LoadOpenFile(SettingsDocument* document, HANDLE file) {
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    // A size we cannot take (or read whole) means entries would be missing, and rewriting the
    // file from them would throw the rest away.
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) {
        document->keepFile = true;
        return;
    }
    document->encoding = SettingsEncodingBytes;
    if (size > 2) {
        unsigned char mark[3] = {};
        DWORD got = 0;
        if (ReadFile(file, mark, 3, &got, nullptr) && got == 3 && mark[0] == 0xEF && mark[1] == 0xBB &&
            mark[2] == 0xBF) {
            document->encoding = SettingsEncodingUtf8;
            size -= 3;
        } else {
            SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        }
    }
    if (size == 0) return;
    char* text = AllocateSettingsText(size);
    if (!text) {
        document->keepFile = true;
        return;
    }
    DWORD got = 0;
    if (!ReadFile(file, text, size, &got, nullptr)) {
        FreeMemory(text);
        document->keepFile = true;
        return;
    }
    if (!ParseSettingsText(document, text, got)) document->keepFile = true;
}

// Builds the whole written form in one block, writes it over the start of the file and cuts
// the file there, so the file keeps its identity and attributes.
// False when the file does not hold the document afterwards, with the thread's last error set.
bool WriteBack(const SettingsDocument* document, HANDLE file) {
    std::size_t size = 0;
    if (!MeasureSettingsText(document, &size) || size > MAXDWORD) { // more than one write can carry
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (size == 0)
        return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file);
    auto* block = static_cast<char*>(AllocateMemory(size + 1));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    FormatSettingsText(document, block);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    // A failed write (a file we could only open for reading) leaves the file as it was.
    bool whole = WriteFile(file, block, static_cast<DWORD>(size), &written, nullptr) && written == size &&
                 SetEndOfFile(file);
    DWORD error = GetLastError();
    FreeMemory(block);
    SetLastError(error);
    return whole;
}

} // namespace

void InitSettings() {
    std::memset(&currentDocument, 0, sizeof currentDocument);
}

Number OpenSettings(const char* path) {
    CloseSettings();
    if (!path) path = "";
    std::wstring name = ToWidePath(path);
    UniqueFile file{CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file)
        file.reset(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        currentDocument.fileName = CopyPath(path);
        return 0;
    }
    LoadOpenFile(&currentDocument, file.get());
    // From here the document owns the handle; CloseSettings lets it go.
    currentDocument.file = reinterpret_cast<Number>(file.release());
    return currentDocument.file;
}

Number CreateSettings(const char* path) {
    CloseSettings();
    UniqueFile file{CreateFileW(ToWidePath(path ? path : "").c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return 0;
    currentDocument.file = reinterpret_cast<Number>(file.release());
    return currentDocument.file;
}

int SelectSettingsGroup(const char* name) {
    return SelectDocumentGroup(&currentDocument, name);
}

const char* FindSettingValue(const char* key) {
    return FindDocumentValue(&currentDocument, key);
}

int ReadSettingNumber(const char* key, int defaultValue) {
    return ReadDocumentNumber(&currentDocument, key, defaultValue);
}

void WriteSettingNumber(const char* key, int value) {
    WriteDocumentNumber(&currentDocument, key, value);
}

char* ReserveSettingValue(const char* key, std::size_t length) {
    return ReserveDocumentValue(&currentDocument, key, length);
}

bool CloseSettings() {
    SettingsDocument* document = &currentDocument;
    // The document's handle (if any) is taken over here and closed on the way out.
    UniqueFile file{FileOf(*document) ? FileOf(*document) : INVALID_HANDLE_VALUE};
    if (document->modified && !file && document->fileName)
        file.reset(CreateFileW(ToWidePath(document->fileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool written = true;
    DWORD error = 0;
    // A document kept unwritten on purpose (a file it could not read whole) is no failure.
    if (document->modified && !document->keepFile) {
        written = file && WriteBack(document, file.get());
        if (!written) error = GetLastError();
    }
    file.reset();
    ReleaseSettingsDocument(document);
    if (!written) SetLastError(error ? error : ERROR_WRITE_FAULT);
    return written;
}

void EndSettings() {
    CloseSettings();
}

const SettingsDocument* CurrentSettings() {
    return &currentDocument;
}
