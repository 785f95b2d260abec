#include "app/protection/lock_state.h"

#include "settings/wide_text.h"

#include <windows.h>

LockState LockStateForError(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
        return LockState::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return LockState::InUse;
    case ERROR_ACCESS_DENIED:
        return LockState::AccessDenied;
    default:
        return LockState::Failed;
    }
}

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
