#include "app/release.h"

#include "app/application.h"
#include "app/file_list_view.h"
#include "app/handover.h"
#include "app/notification_area.h"
#include "app/protected_files.h"
#include "app/protection/release_clock.h"
#include "controls/menu.h"
#include "framework/requesters.h"
#include "framework/window.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <algorithm>

namespace {

// The fixed choices; the entry after them shows a value from the settings that is none of them.
constexpr int PeriodChoices[] = {5, 10, 15, 30, 60, 120};
constexpr int OtherPeriodItem = ItemReleasePeriodFirst + static_cast<int>(std::size(PeriodChoices));
static_assert(OtherPeriodItem <= ItemReleasePeriodLast, "the period's choices have seven numbers");

// The value read from the settings when it is none of the fixed choices; 0 when it is one.
int otherMinutes = 0;

// Nobody sees a box on a hidden window: the picture's balloon tells it then.
void TellNotReleased(bool hidden, const std::string& text) {
    if (!hidden || !ShowNotifyBalloon(ProductName, text.c_str(), false))
        ShowMessageBox("Nicht freigegeben", text.c_str(), MB_OK | MB_ICONINFORMATION);
}

std::string MinutesText(int minutes) {
    return FormatInteger(minutes) + (minutes == 1 ? " Minute" : " Minuten");
}

void ShowPeriodChoice() {
    for (int item = ItemReleasePeriodFirst; item <= OtherPeriodItem; ++item) {
        int minutes = item == OtherPeriodItem ? otherMinutes : PeriodChoices[item - ItemReleasePeriodFirst];
        SetMenuEntryChecked(MenuMain, item, minutes == ReleaseMinutes());
    }
}

// One timer for the earliest due time; it fires even when nothing else happens.
void ScheduleReleaseTimer() {
    HWND main = WindowHandle(WindowMain);
    if (!main) return;
    unsigned long long due = Protection().NextReleaseDue();
    if (due == 0) {
        KillTimer(main, ReleaseTimer);
        return;
    }
    unsigned long long now = MonotonicMilliseconds();
    unsigned long long wait = due > now ? due - now : 0;
    wait = std::clamp<unsigned long long>(wait, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    SetTimer(main, ReleaseTimer, static_cast<UINT>(wait), nullptr);
}

void ShowChangedRows(const std::vector<int>& rows) {
    HideTooltip();
    // A folder row's released part says the longest text there is.
    FitFileListColumns();
    for (int row : rows) {
        ShowAccess(row);
        ShowRowState(row);
    }
    ScheduleFolderWork();
    ScheduleReleaseTimer();
    UpdateStatusText();
}

unsigned long long NewDue() {
    return MonotonicMilliseconds() + static_cast<unsigned long long>(ReleaseMinutes()) * 60000ULL;
}

std::wstring WithoutFinalBackslash(std::wstring key) {
    // A drive's root keeps its backslash: "C:" alone names the current folder there.
    while (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    return key;
}

// Releases (or takes back) what the path names in every row that covers it: a row of the same
// path, the part of a folder row it lies in, and the rows inside it when it is a folder; two
// rows of one file would otherwise hand it to each other. False when no row covers it.
bool ApplyToPath(std::wstring key, const std::wstring& path, bool release, unsigned long long due,
                 std::vector<int>& changed) {
    key = WithoutFinalBackslash(std::move(key));
    std::wstring given = WithoutFinalBackslash(path);
    ProtectionModel& model = Protection();
    bool found = false;
    for (std::size_t i = 0; i < model.Size(); ++i) {
        const ProtectedFile& file = model.Files()[i];
        std::wstring row = WithoutFinalBackslash(file.key);
        auto within = [](const std::wstring& inner, const std::wstring& outer) {
            return inner.size() > outer.size() + 1 && inner.compare(0, outer.size(), outer) == 0 &&
                   (inner[outer.size()] == L'\\' || outer.back() == L'\\');
        };
        bool part = IsFolderPath(file.path) && within(key, row);
        if (key != row && !part && !within(row, key)) continue;
        found = true;
        std::wstring name;
        if (part) {
            // The name below the folder is the tail of the path as given: only the head may
            // differ in its form (case, a long-path prefix).
            std::size_t tail = key.size() - row.size() - (row.back() == L'\\' ? 0 : 1);
            name = given.substr(given.size() - std::min(tail, given.size()));
        }
        bool done = release ? (part ? model.ReleaseInside(i, name, due) : model.Release(i, due))
                            : model.TakeBack(i, name);
        if (done) changed.push_back(static_cast<int>(i));
    }
    return found;
}

} // namespace

void AddReleasePeriodMenu() {
    int minutes = ReleaseMinutes();
    otherMinutes =
        std::find(std::begin(PeriodChoices), std::end(PeriodChoices), minutes) == std::end(PeriodChoices)
            ? minutes
            : 0;
    if (!BeginSubmenu("Freigabe zum Bearbeiten")) return;
    for (std::size_t i = 0; i < std::size(PeriodChoices); ++i)
        AddMenuEntry(ItemReleasePeriodFirst + static_cast<int>(i), MinutesText(PeriodChoices[i]).c_str(),
                     nullptr);
    // A period written into the settings by hand is kept, and shown as what it is.
    if (otherMinutes != 0) AddMenuEntry(OtherPeriodItem, MinutesText(otherMinutes).c_str(), nullptr);
    EndSubmenu();
    ShowPeriodChoice();
}

bool ChooseReleasePeriod(int item) {
    if (item < ItemReleasePeriodFirst || item > OtherPeriodItem) return false;
    int minutes = item == OtherPeriodItem ? otherMinutes : PeriodChoices[item - ItemReleasePeriodFirst];
    if (minutes == 0) return false;
    SetReleaseMinutes(minutes);
    ShowPeriodChoice();
    return true;
}

void ReleaseSelectionForEditing() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    bool release = !SelectionReleased();
    unsigned long long due = NewDue();
    ProtectionModel& model = Protection();
    std::vector<int> changed;
    for (int row : rows) {
        if (row >= static_cast<int>(model.Size())) continue;
        const ProtectedFile& file = model.Files()[row];
        ApplyToPath(file.key, ToWidePath(file.path), release, due, changed);
    }
    ShowChangedRows(changed);
}

void ReleaseArrivingPaths(const std::vector<std::wstring>& paths) {
    unsigned long long due = NewDue();
    std::vector<int> changed;
    std::string unprotected;
    int told = 0;
    for (const std::wstring& path : paths) {
        if (AcceptablePath(path) && ApplyToPath(FileKey(path), path, true, due, changed)) continue;
        // A long batch names the first few; the count says the rest.
        if (told++ < 5) unprotected += (unprotected.empty() ? "" : "\r") + FromWide(path);
    }
    ShowChangedRows(changed);
    if (told == 0) return;
    if (told > 5) unprotected += "\r… (" + FormatInteger(told) + " insgesamt)";
    HWND main = WindowHandle(WindowMain);
    std::string text = (told == 1 ? "Verriq schützt diesen Pfad nicht, er wurde nicht freigegeben:\r"
                                  : "Verriq schützt diese Pfade nicht, sie wurden nicht freigegeben:\r") +
                       unprotected;
    TellNotReleased(!(main && IsWindowVisible(main)), text);
}

void TakeBackDueReleases() {
    std::vector<int> changed;
    Protection().TakeBackDue(MonotonicMilliseconds(), changed);
    ShowChangedRows(changed);
}
