#include "settings/wide_text.h"

#include "settings/text.h"

#include <windows.h>

#include <iterator>

// The long form is taken literally by the system: no "/" as separator, no "." or "..", nothing
// relative. The system's own path arithmetic resolves all of that first.
std::wstring FullPathName(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}


std::wstring ToWide(std::string_view text) {
    if (text.empty()) return {};
    // Paths are mostly ASCII, and every path crosses here several times at start-up: widening
    // those bytes by hand spares both passes of the system's conversion.
    std::wstring wide(text.size(), L'\0');
    std::size_t i = 0;
    for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i) wide[i] = static_cast<wchar_t>(text[i]);
    if (i == text.size()) return wide;
    // One pass: UTF-8 never takes fewer bytes than UTF-16 takes units.
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data() + i, static_cast<int>(text.size() - i),
                                     wide.data() + i, static_cast<int>(text.size() - i));
    if (length <= 0) return {};
    wide.resize(i + static_cast<std::size_t>(length));
    return wide;
}

std::string FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::string FromWide(const wchar_t* text) { return text ? FromWide(std::wstring_view(text)) : std::string(); }

std::wstring ToWidePath(std::string_view path, std::size_t limit) {
    std::wstring wide = ToWide(path);
    if (wide.size() <= limit) return wide;
    if (wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0) return wide;
    wide = FullPathName(wide);
    if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
    return wide;
}

std::string SystemErrorText(unsigned long error) {
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' ' ||
                          buffer[length - 1] == L'.'))
        --length;
    if (length == 0) return "Fehler " + FormatInteger(static_cast<std::int64_t>(error));
    return FromWide(std::wstring_view(buffer, length));
}

std::wstring FoldedCase(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}
