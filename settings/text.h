// Decimal numbers and text comparison: the small text helpers the rest of the program leans on.
// Texts are UTF-8, 8-bit and zero-terminated; a null text counts as empty.
#pragma once

#include <cstdint>
#include <string>

// The text service keeps no state; its start-up step exists so the start-up order reads whole.
void InitTextService();

// Room for the longest decimal text of a 64-bit value ("-9223372036854775808") and its zero.
constexpr int IntegerTextSize = 21;

// Writes the decimal text of value into text (at least IntegerTextSize bytes), zero-terminated,
// and returns its length. No leading zeros, no grouping, no plus sign.
int FormatInteger(std::int32_t value, char* text);
int FormatInteger(std::int64_t value, char* text);
// The same as a string, for callers that keep or join the text.
std::string FormatInteger(std::int32_t value);
std::string FormatInteger(std::int64_t value);
// The decimal text with a dot between groups of three digits, as German readers expect:
// "10.000".
std::string FormatGroupedInteger(std::int64_t value);

// 1 when both texts are equal byte for byte (case matters), else 0.
int TextEquals(const char* first, const char* second);
