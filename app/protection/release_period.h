// How long a release for editing lasts, and the clock time at which it ends: pure arithmetic,
// no Windows header, so that a table can pin both down.
#pragma once

#include <string>

// The period in whole minutes: the key Freigabe of the settings document.
constexpr int DefaultReleaseMinutes = 10;
constexpr int MinReleaseMinutes = 1;
constexpr int MaxReleaseMinutes = 1440;

// The period in force: as read from the settings (even when the menu offers no such choice),
// or as chosen since.
int ReleaseMinutes();
void SetReleaseMinutes(int minutes);

// The minutes a value of the settings document stands for: digits only (blanks around them
// allowed), within the bounds; anything else (missing, a sign, a fraction, too large) means
// the default.
int ParseReleaseMinutes(const char* text);

// "HH:MM" on a 24-hour clock of the moment remainingMilliseconds after the local time
// hour:minute:second.millisecond: the minute in which protection returns, as a clock reads then.
std::string ReleaseClockText(int hour, int minute, int second, int millisecond,
                             unsigned long long remainingMilliseconds);
