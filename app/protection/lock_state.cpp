#include "app/protection/lock_state.h"

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
