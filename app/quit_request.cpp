#include "app/quit_request.h"

#include "app/application.h"
#include "app/command_line.h"
#include "app/handover.h"
#include "app/single_instance.h"
#include "app/storage.h"
#include "core/handles_win32.h"
#include "framework/requesters.h"
#include "framework/window.h"

#include <vector>

const wchar_t* const QuitArgument = L"/beenden";

namespace {

// The receipts a running copy gives a quit request it takes; anything else is a refusal.
constexpr LRESULT ReceiptShown = 1;
constexpr LRESULT ReceiptHidden = 2;
// How long a quit waits for the first copy's window, for its answer (which includes saving a
// long list), and for its process to end after the answer.
constexpr DWORD FindWaitMilliseconds = 30000;
constexpr UINT AnswerWaitMilliseconds = 20000;
constexpr DWORD EndWaitMilliseconds = 20000;
constexpr DWORD RetryMilliseconds = 50;

void TellRefusal() {
    std::string text = SaveFailureText() + "\r\r" + ProductName +
                       " wurde gebeten, sich zu beenden, und läuft weiter, damit keine Änderung der Liste "
                       "verloren geht. Beenden Sie es über das Menü, wenn Sie es trotzdem beenden möchten.";
    ShowMessageBox("Nicht beendet", text.c_str(), MB_OK | MB_ICONWARNING);
}

// The answer of the window found, or 0 when it gave none (hung, gone, or no window yet).
bool AskToQuit(HWND receiver, LRESULT* answer) {
    static const wchar_t block[1] = {L'\0'};
    COPYDATASTRUCT data{QuitHandOverTag, sizeof block, const_cast<wchar_t*>(block)};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                             AnswerWaitMilliseconds, &result))
        return false;
    *answer = static_cast<LRESULT>(result);
    return true;
}

// The process behind the window is gone, or at least its window when the process cannot be opened.
bool WaitForEnd(HANDLE process, HWND receiver) {
    if (process) return WaitForSingleObject(process, EndWaitMilliseconds) == WAIT_OBJECT_0;
    DWORD start = GetTickCount();
    while (IsWindow(receiver)) {
        if (GetTickCount() - start >= EndWaitMilliseconds) return false;
        Sleep(RetryMilliseconds);
    }
    return true;
}

} // namespace

bool IsQuitRequest(const wchar_t* commandLine) {
    for (const std::wstring& argument : CommandArguments(commandLine))
        if (lstrcmpiW(argument.c_str(), QuitArgument) == 0) return true;
    return false;
}

QuitExitCode QuitRunningCopy(const std::string& storageFolder) {
    std::wstring property = HandOverPropertyName(storageFolder);
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND receiver = FindPathReceiver(property)) {
            DWORD id = 0;
            GetWindowThreadProcessId(receiver, &id);
            // Opened before asking: once it has answered, its id may already name another process.
            UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
            LRESULT answer = 0;
            if (AskToQuit(receiver, &answer)) {
                if (answer != ReceiptShown && answer != ReceiptHidden) return QuitNotEnded;
                if (!WaitForEnd(process.get(), receiver)) return QuitNotEnded;
                return answer == ReceiptHidden ? QuitEndedHidden : QuitEndedShown;
            }
        }
        // Nobody runs, or the copy ended before its window took requests. Looked at without
        // claiming: a start at this very moment must find no claim of ours in its way.
        if (!InstanceClaimed(storageFolder)) return QuitNoneRunning;
        if (GetTickCount() - start >= FindWaitMilliseconds) return QuitNotEnded;
        Sleep(RetryMilliseconds);
    }
}

LRESULT QuitInbox::Take(HWND window, const COPYDATASTRUCT& data) {
    std::vector<std::wstring> paths;
    if (!DecodeHandOver(data.lpData, data.cbData, &paths)) return FALSE;
    // Saved while the sender waits, so that it learns whether we end; the answer also says
    // whether the window was shown, for a setup that starts the new exe as the old one ran.
    bool shown = IsWindowVisible(window) != 0;
    if (SaveForRequestedQuit())
        endAccepted_ = true;
    else
        refusalPending_ = true;
    SetTimer(window, QuitEndTimer, USER_TIMER_MINIMUM, nullptr);
    if (!endAccepted_) return FALSE;
    return shown ? ReceiptShown : ReceiptHidden;
}

void QuitInbox::AfterAnswer() {
    if (endAccepted_) ShutDown();
    if (refusalPending_) {
        refusalPending_ = false;
        TellRefusal();
    }
}
