#include "app/lock_texts.h"

#include "app/protection/release_clock.h"
#include "settings/text.h"
#include "settings/wide_text.h"

namespace {

// Names a folder's tooltip lists before it only counts.
constexpr std::size_t NamesInSummary = 5;

// One line of a folder's tooltip: "name: what", appended in place.
void AppendLine(std::string& text, const std::string& name, const std::string& what) {
    text += "\r\n";
    text += name;
    text += ": ";
    text += what;
}

} // namespace

std::string LockReason(LockState state, unsigned long error, bool folder, const std::string& holder) {
    switch (state) {
    case LockState::Held:
        return {};
    case LockState::NotFound:
        return folder ? "Ordner nicht gefunden" : "Datei nicht gefunden";
    case LockState::InUse:
        // holder: the program found to have it open, where one was.
        return holder.empty() ? "von einem anderen Programm geöffnet"
                              : "von einem anderen Programm geöffnet (" + holder + ")";
    case LockState::AccessDenied:
        return "Zugriff verweigert";
    case LockState::Duplicate:
        return holder.empty() ? "bereits in der Liste" : "bereits in der Liste: " + holder;
    case LockState::TooMany:
        return "zu viele Dateien";
    case LockState::ReadersWait:
        return "wird gesperrt, sobald kein anderes Programm sie liest";
    case LockState::Released:
        return "zum Bearbeiten freigegeben";
    case LockState::Failed:
        break;
    }
    return SystemErrorText(error);
}

std::string LockReason(const Unheld& why) {
    return LockReason(why.state, why.error, why.folder, why.holder);
}

std::string FolderSummary(const ProtectedTree& tree) {
    TreeFacts facts = tree.Facts();
    std::string text = "Ordner: ";
    text += FormatGroupedInteger(facts.heldFiles);
    text += facts.heldFiles == 1 ? " Datei geschützt, " : " Dateien geschützt, ";
    text += FormatGroupedInteger(facts.unheldFiles);
    text += " nicht geschützt";
    // Past the ceiling the names below would be an arbitrary few of thousands: say so first.
    if (facts.tooMany) text += "\r\nNicht alle geschützt: zu viele Dateien";
    if (facts.busy) text += "\r\nWird noch durchsucht";
    if (facts.rootListError != 0)
        AppendLine(text, tree.RootText(),
                   LockReason(LockStateForError(facts.rootListError), facts.rootListError, true, {}));
    std::size_t listed = 0;
    tree.ForEachUnheld([&](const std::wstring& name, const Unheld& why) {
        if (listed++ == NamesInSummary) {
            text += "\r\n…";
            return false;
        }
        AppendLine(text, FromWide(name), LockReason(why));
        return true;
    });
    for (const ProtectedTree::ReleasedPart& part : tree.Releases()) {
        AppendLine(text, FromWide(part.name), "frei bis ");
        text += DueClockText(part.due);
        text += ", danach wieder geschützt";
    }
    return text;
}

std::string UnprotectedReason(const ProtectedFile& file) {
    if (file.state == LockState::Released) return LockReason(file.state, 0, false, {});
    if (file.state == LockState::Held) return IsWhole(file) ? std::string() : FolderSummary(*file.tree);
    // Nothing can change the file meanwhile: it is protected, only not yet as the row says.
    if (file.state == LockState::ReadersWait) return LockReason(file.state, file.error, false, {});
    return "Nicht geschützt: " + LockReason(file.state, file.error, file.tree != nullptr,
                                            file.state == LockState::InUse ? file.program : file.holder);
}
