#include "app/lock_defence.h"

#include "app/application.h"
#include "app/file_list_view.h"
#include "app/lock_texts.h"
#include "app/protection/handle_guard.h"
#include "app/protection/holder_lookup.h"
#include "app/notification_area.h"
#include "settings/text.h"

#include <commctrl.h>

namespace {

HandleGuard& Guard() {
    static HandleGuard guard;
    return guard;
}

HWND defended = nullptr;

// While identities wait, the rounds come this often and each takes them for this long: about
// four seconds for ten thousand files, with the window answering between the slices.
constexpr unsigned IdentityInterval = 50;
constexpr unsigned IdentityBudget = 20;

// The file's own name, as a user recognises it in a balloon: "Bericht.docx", "Projekte".
std::string ShortName(const std::string& path) {
    std::string name = path;
    while (!name.empty() && name.back() == '\\')
        name.pop_back();
    std::size_t slash = name.find_last_of('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

std::string TakenBackText(const std::vector<TakenBack>& outcome) {
    if (outcome.empty()) return {};
    std::size_t failed = 0;
    const TakenBack* firstFailure = nullptr;
    for (const TakenBack& file : outcome)
        if (file.Failed()) {
            ++failed;
            if (!firstFailure) firstFailure = &file;
        }
    if (outcome.size() == 1) {
        std::string text =
            "Ein anderes Programm hat den Schutz von " + ShortName(outcome[0].name) + " aufgehoben. ";
        return text + (failed == 0
                           ? "Verriq schützt die Datei wieder."
                           : "Verriq konnte sie nicht wieder schützen: " + LockReason(outcome[0].why));
    }
    std::string text = "Ein anderes Programm hat den Schutz von " +
                       FormatGroupedInteger(static_cast<long long>(outcome.size())) + " Dateien aufgehoben. ";
    if (failed == 0) return text + "Verriq schützt sie wieder.";
    return text + "Verriq konnte " + FormatGroupedInteger(static_cast<long long>(failed)) +
           " davon nicht wieder schützen: " + LockReason(firstFailure->why);
}

void ShowHolderAnswers() {
    ProtectionModel& model = Protection();
    bool shown = false;
    for (const BusyFile& answer : TakeHolderAnswers()) {
        if (answer.program.empty()) continue;
        int row = model.SetProgram(answer.key, answer.program);
        if (row < 0) continue;
        if (!shown) HideTooltip(); // the next one shows the new text
        shown = true;
        ShowRowState(row);
    }
}

void DefendLocks() {
    ProtectionModel& model = Protection();
    static std::vector<HeldLock> held;
    held.clear();
    model.CollectHeld(held);
    std::vector<std::size_t> cleared;
    std::vector<std::size_t> lost = Guard().FindLost(held, &cleared);
    // The identities of handles opened at start-up are taken late, here, straight after the
    // table listed them as ours and before anything is opened again (taking back the lost ones
    // opens files). Why that is sound: a value closed from outside meanwhile is either not
    // listed, or held twice (given to a lock opened later), or listed with the rights of
    // another handle; each of those makes it a suspect, which is never cleared, and the guard
    // finds it lost on those grounds alone. Until its identity is taken, a handle is defended
    // the same way, so the two seconds in which a closed lock is noticed hold from the start.
    std::size_t taken = model.TakeLateIdentities(held, cleared, IdentityBudget);
    // Hurried while some are left that could be taken; the steady pace once all are taken, or
    // when none could be (nothing to hurry).
    if (defended)
        SetTimer(defended, DefenceTimer, taken > 0 && taken < cleared.size() ? IdentityInterval : DefenceInterval,
                 nullptr);
    if (!lost.empty()) {
        std::vector<const void*> owners;
        owners.reserve(lost.size());
        for (std::size_t index : lost)
            owners.push_back(held[index].owner);
        std::vector<TakenBack> outcome = model.TakeBackLost(owners);
        HideTooltip();
        for (const TakenBack& file : outcome)
            ShowRowState(file.row);
        UpdateStatusText();
        bool failed = false;
        for (const TakenBack& file : outcome)
            failed = failed || file.Failed();
        // Shown or hidden, the window may not be looked at: the picture speaks up.
        if (!outcome.empty()) ShowNotifyBalloon(ProductName, TakenBackText(outcome).c_str(), failed);
    }
    held.clear();

    std::vector<BusyFile> busy;
    model.CollectBusy(busy);
    unsigned long long now = GetTickCount64();
    ForgetHoldersOfOthers(busy);
    for (const BusyFile& file : busy)
        AskHolder(file, now);
}

void StartLockDefence(HWND main) {
    if (!main) return;
    StartHolderLookup(main, HolderMessage);
    defended = main;
    SetTimer(main, DefenceTimer, DefenceInterval, nullptr);
}

void StopLockDefence(HWND main) {
    KillTimer(main, DefenceTimer);
    defended = nullptr;
    StartHolderLookup(nullptr, 0);
}
