// The boundary between the program's texts and the platform's: texts inside the program are
// UTF-8, 8-bit and zero-terminated; every call into the system that takes or returns text uses
// its wide form, converting here and nowhere else.
#pragma once

#include <cstddef>
#include "settings/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The program's text as the system's UTF-16; invalid bytes become U+FFFD.
std::wstring ToWide(std::string_view text);
// The system's UTF-16 as the program's text; a lone surrogate becomes U+FFFD.
std::string FromWide(std::wstring_view text);
std::string FromWide(const wchar_t* text);

// The classic path limit without its terminating zero, and the shorter one of CreateDirectory,
// which keeps room for an 8.3 file name inside the new folder.
constexpr std::size_t ClassicPathLimit = 259;
constexpr std::size_t ClassicFolderLimit = 247;

// A path as the system's file functions take it: a path longer than limit gets its "\\?\" form
// ("\\?\UNC\" for a network path), made absolute first, which lifts the classic limit; shorter
// ones stay as given, so relative paths and the user's own spelling keep working.
// The path made full by the system's own arithmetic (Windows builds only); the path itself
// when the system cannot.
std::wstring FullPathName(const std::wstring& path);
std::wstring ToWidePath(std::string_view path, std::size_t limit = ClassicPathLimit);

// The text folded to upper case as the file system compares names (case ignored).
std::wstring FoldedCase(std::wstring text);

// The system's own text for an error, as a clause that a sentence may go on after: no full stop,
// no line end. "Fehler <number>" when the system has no text for it.
std::string SystemErrorText(unsigned long error);

// prefix and the decimal text of value in a fixed buffer, zero-terminated and cut to fit: names
// of classes and properties, made without the C library's formatted printing, which would bring
// its whole floating-point machinery into the program.
template <std::size_t Size>
void AppendDecimal(wchar_t (&text)[Size], const wchar_t* prefix, std::int64_t value) {
    std::size_t length = 0;
    for (; prefix && *prefix && length + 1 < Size; ++prefix) text[length++] = *prefix;
    char digits[IntegerTextSize];
    FormatInteger(value, digits);
    for (const char* digit = digits; *digit && length + 1 < Size; ++digit) text[length++] = static_cast<wchar_t>(*digit);
    text[length] = L'\0';
}
