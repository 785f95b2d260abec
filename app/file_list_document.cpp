#include "app/file_list_document.h"

#include "core/handles_win32.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <algorithm>

namespace {

// A system whose ANSI code page is UTF-8 has no "other" encoding to switch to: its lists are
// UTF-8 without the mark, as its other programs write them.
bool AnsiIsUtf8() { return GetACP() == CP_UTF8; }

// How much text goes through the conversions at a time.
constexpr std::size_t SliceBytes = 32768;

std::string ToCodePage(UINT codePage, std::wstring_view text, BOOL* usedDefault) {
    if (text.empty()) return {};
    DWORD flags = usedDefault ? WC_NO_BEST_FIT_CHARS : 0;
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, nullptr, usedDefault);
    return bytes;
}

std::wstring FromCodePage(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length);
    return text;
}

bool Fail(unsigned long* error, DWORD code) {
    if (error) *error = code;
    return false;
}

} // namespace

std::string EncodeFileListText(std::wstring_view text) {
    if (AnsiIsUtf8()) return ToCodePage(CP_UTF8, text, nullptr);
    // No best fit: an "Ω" written as "O" would name another file at the next start.
    BOOL usedDefault = FALSE;
    std::string ansi = ToCodePage(CP_ACP, text, &usedDefault);
    if (!usedDefault) return ansi;
    return std::string(Utf8Mark) + ToCodePage(CP_UTF8, text, nullptr);
}

std::wstring DecodeFileListText(std::string_view bytes) {
    if (bytes.substr(0, Utf8Mark.size()) == Utf8Mark) return FromCodePage(CP_UTF8, bytes.substr(Utf8Mark.size()));
    return FromCodePage(AnsiIsUtf8() ? CP_UTF8 : CP_ACP, bytes);
}

FileListEncoder::FileListEncoder(std::string& out) : out_(out) {
    out_.clear();
    // A system whose ANSI code page is UTF-8 writes UTF-8 from the start, without the mark.
    utf8_ = AnsiIsUtf8();
}

void FileListEncoder::Add(std::string_view path) {
    pending_.append(path.data(), path.size());
    pending_ += "\r\n";
    if (pending_.size() >= SliceBytes) Encode();
}

void FileListEncoder::Finish() { Encode(); }

void FileListEncoder::Encode() {
    if (pending_.empty()) return;
    std::wstring wide = ToWide(pending_);
    pending_.clear();
    if (wide.empty()) return;
    int size = static_cast<int>(wide.size());
    if (!utf8_) {
        // One pass: room for the longest characters the code page has, then cut to what came out.
        static const UINT widest = [] {
            CPINFO info{};
            return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 0 ? info.MaxCharSize : 2u;
        }();
        std::size_t start = out_.size();
        out_.resize(start + wide.size() * widest);
        BOOL usedDefault = FALSE;
        // No best fit: an "Ω" written as "O" would name another file at the next start.
        int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, out_.data() + start,
                                         static_cast<int>(wide.size() * widest), nullptr, &usedDefault);
        out_.resize(start + static_cast<std::size_t>(std::max(length, 0)));
        if (!usedDefault) return;
        // What is written so far went through the code page without loss: it comes back whole.
        out_.resize(start);
        std::wstring before = FromCodePage(CP_ACP, out_);
        out_.assign(Utf8Mark);
        out_ += ToCodePage(CP_UTF8, before, nullptr);
        utf8_ = true;
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return;
    std::size_t start = out_.size();
    out_.resize(start + static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out_.data() + start, length, nullptr, nullptr);
}

std::string FileListBytes(const std::vector<std::string>& paths) {
    std::string bytes;
    FileListEncoder encoder(bytes);
    for (const std::string& path : paths) encoder.Add(path);
    encoder.Finish();
    return bytes;
}

std::vector<std::string> FileListLines(std::string_view bytes) {
    UINT codePage = AnsiIsUtf8() ? CP_UTF8 : CP_ACP;
    if (bytes.substr(0, Utf8Mark.size()) == Utf8Mark) {
        bytes.remove_prefix(Utf8Mark.size());
        codePage = CP_UTF8;
    }
    std::vector<std::string> lines;
    // A slice ends after an LF: no CR LF pair and no character of either encoding is cut.
    while (!bytes.empty()) {
        std::size_t cut = bytes.size() <= SliceBytes ? std::string_view::npos : bytes.find('\n', SliceBytes);
        std::size_t take = cut == std::string_view::npos ? bytes.size() : cut + 1;
        std::string text = FromWide(FromCodePage(codePage, bytes.substr(0, take)));
        bytes.remove_prefix(take);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos) {
                lines.emplace_back(text, start);
                break;
            }
            lines.emplace_back(text, start, end - start);
            start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        }
    }
    return lines;
}

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
