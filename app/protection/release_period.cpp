#include "app/protection/release_period.h"

namespace {
int releaseMinutes = DefaultReleaseMinutes;
} // namespace

int ReleaseMinutes() {
    return releaseMinutes;
}

void SetReleaseMinutes(int minutes) {
    releaseMinutes =
        minutes < MinReleaseMinutes || minutes > MaxReleaseMinutes ? DefaultReleaseMinutes : minutes;
}

int ParseReleaseMinutes(const char* text) {
    if (!text) return DefaultReleaseMinutes;
    while (*text == ' ' || *text == '\t')
        ++text;
    long long value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        // Beyond the bounds already: the rest cannot bring it back, and must not overflow.
        if (value <= MaxReleaseMinutes) value = value * 10 + (*text - '0');
        ++digits;
    }
    while (*text == ' ' || *text == '\t')
        ++text;
    if (digits == 0 || *text != '\0' || value < MinReleaseMinutes || value > MaxReleaseMinutes)
        return DefaultReleaseMinutes;
    return static_cast<int>(value);
}

std::string ReleaseClockText(int hour, int minute, int second, int millisecond,
                             unsigned long long remainingMilliseconds) {
    // In whole seconds of the day, on 32 bits: the 32-bit build has no 64-bit division of its
    // own, and a day has far fewer seconds than 32 bits hold.
    constexpr unsigned Day = 24 * 60 * 60;
    unsigned long long seconds = (millisecond + remainingMilliseconds) / 1000;
    while (seconds >= Day)
        seconds -= Day;
    unsigned at =
        (static_cast<unsigned>(hour) * 3600 + minute * 60 + second + static_cast<unsigned>(seconds)) % Day;
    unsigned hours = at / 3600, minutes = at / 60 % 60;
    char text[6] = {static_cast<char>('0' + hours / 10),   static_cast<char>('0' + hours % 10),   ':',
                    static_cast<char>('0' + minutes / 10), static_cast<char>('0' + minutes % 10), '\0'};
    return text;
}
