#include "settings/text.h"

#include <cstring>

void InitTextService() {}

namespace {

// The magnitude goes in unsigned so that the most negative value needs no special case.
int FormatMagnitude(bool negative, std::uint64_t magnitude, char* text) {
    char reversed[IntegerTextSize];
    int digits = 0;
    do {
        reversed[digits++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int length = 0;
    if (negative) text[length++] = '-';
    while (digits > 0)
        text[length++] = reversed[--digits];
    text[length] = '\0';
    return length;
}

std::uint64_t Magnitude(std::int64_t value) {
    // Negating in unsigned arithmetic is defined for INT64_MIN as well.
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

} // namespace

int FormatInteger(std::int32_t value, char* text) {
    if (!text) return 0;
    return FormatMagnitude(value < 0, Magnitude(value), text);
}

int FormatInteger(std::int64_t value, char* text) {
    if (!text) return 0;
    if (value >= INT32_MIN && value <= INT32_MAX)
        return FormatInteger(static_cast<std::int32_t>(value), text);
    return FormatMagnitude(value < 0, Magnitude(value), text);
}

std::string FormatInteger(std::int32_t value) {
    char text[IntegerTextSize];
    int length = FormatInteger(value, text);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string FormatInteger(std::int64_t value) {
    char text[IntegerTextSize];
    int length = FormatInteger(value, text);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string FormatGroupedInteger(std::int64_t value) {
    std::string digits = FormatInteger(value);
    std::size_t first = digits[0] == '-' ? 1 : 0;
    for (std::size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, 1, '.');
    return digits;
}

int TextEquals(const char* first, const char* second) {
    if (!first) first = "";
    if (!second) second = "";
    return std::strcmp(first, second) == 0 ? 1 : 0;
}
