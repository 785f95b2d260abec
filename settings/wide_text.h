// The boundary between the program's texts and the platform's: texts inside the program are
// 8-bit and zero-terminated; every call into the system that takes or returns text uses its wide
// form, converting here and nowhere else.
#pragma once

#include <string>
#include <string_view>

// The program's text as the system's UTF-16; invalid bytes become U+FFFD.
std::wstring ToWide(std::string_view text);
// The system's UTF-16 as the program's text.
std::string FromWide(std::wstring_view text);
std::string FromWide(const wchar_t* text);

// A path as the system's file functions take it: a path too long for the classic limit gets its
// "\\?\" form ("\\?\UNC\" for a network path), which lifts the limit; shorter ones stay as given,
// so relative paths keep working.
std::wstring ToWidePath(std::string_view path);
