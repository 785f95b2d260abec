#include "app/protection/file_list_document.h"

#include "core/handles_win32.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <algorithm>

namespace {

bool Fail(unsigned long* error, DWORD code) {
    if (error) *error = code;
    return false;
}

} // namespace

std::string EncodeFileListText(std::wstring_view text) { return EncodeListText(FromWide(text), SystemAnsiCodePage()); }

std::wstring DecodeFileListText(std::string_view bytes) { return ToWide(DecodeListText(bytes, SystemAnsiCodePage())); }

std::string FileListBytes(const std::vector<std::string>& paths) { return FileListBytes(paths, SystemAnsiCodePage()); }

std::vector<std::string> FileListLines(std::string_view bytes) { return FileListLines(bytes, SystemAnsiCodePage()); }

std::wstring TemporaryListPath(const std::wstring& listPath) { return listPath + L".tmp"; }

bool ReplaceFileListDocument(const std::wstring& listPath, std::string_view bytes, unsigned long* error,
                             const SaveStop* stop) {
    if (error) *error = 0;
    // A rename would refuse a folder anyway; asking first keeps it out of harm's way on every
    // file system, and the user is told what Windows itself would say.
    DWORD attributes = GetFileAttributesW(listPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(error, ERROR_ACCESS_DENIED);

    std::wstring temporary = TemporaryListPath(listPath);
    // What an earlier save left behind when it died is ours; marked read-only or hidden, it
    // would refuse to be emptied.
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) return Fail(error, GetLastError());

    std::size_t count = stop ? std::min(stop->afterBytes, bytes.size()) : bytes.size();
    DWORD written = 0;
    if (count > 0 && (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(count), &written, nullptr) ||
                      written != count)) {
        DWORD code = GetLastError();
        file.reset();
        DeleteFileW(temporary.c_str());
        return Fail(error, code ? code : ERROR_WRITE_FAULT);
    }
    if (count < bytes.size() || (stop && stop->beforeFlush)) return false;
    // The rename must not reach the disk before the bytes it makes the list.
    if (!FlushFileBuffers(file.get())) {
        DWORD code = GetLastError();
        file.reset();
        DeleteFileW(temporary.c_str());
        return Fail(error, code);
    }
    file.reset();
    if (stop && stop->beforeReplace) return false;
    if (!MoveFileExW(temporary.c_str(), listPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        return Fail(error, code);
    }
    return true;
}

bool ReadFileListDocument(const std::wstring& listPath, std::string* bytes, unsigned long* error) {
    bytes->clear();
    if (error) *error = 0;
    UniqueFile file(CreateFileW(listPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return Fail(error, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return Fail(error, GetLastError());
    // A list larger than the address space of a 32-bit program cannot be ours.
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > 0x40000000ull)
        return Fail(error, ERROR_FILE_TOO_LARGE);
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < bytes->size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes->data() + got, static_cast<DWORD>(bytes->size() - got), &read, nullptr)) {
            DWORD code = GetLastError();
            bytes->clear();
            return Fail(error, code);
        }
        if (read == 0) break; // shorter than it said: another program cut it meanwhile
        got += read;
    }
    bytes->resize(got);
    return true;
}
