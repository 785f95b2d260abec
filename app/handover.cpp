#include "app/handover.h"

#include "app/application.h"
#include "app/command_line.h"
#include "app/file_list_view.h"
#include "app/protected_files.h"
#include "app/single_instance.h"
#include "controls/gadget.h"
#include "framework/window.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_set>

const wchar_t* const ProtectArgument = L"/schuetzen";
const wchar_t* const ReleaseArgument = L"/freigeben";

namespace {

struct Search {
    const wchar_t* property;
    HWND found;
};

BOOL CALLBACK FindReceiverWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!GetPropW(window, search->property)) return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

HWND FindPathReceiver(const std::wstring& property) {
    Search search{property.c_str(), nullptr};
    EnumWindows(FindReceiverWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

// The Explorer starts one process per selected item: what arrives within this quiet time of
// the last block is one batch.
constexpr unsigned BatchQuietMilliseconds = 400;
// Beyond this, blocks are refused until the batch is added; their senders try again.
constexpr std::size_t MaxPendingPaths = 4 * MaxHandOverPaths;
// How long a later start waits for the first copy's window, and for one receipt.
constexpr DWORD HandOverWaitMilliseconds = 30000;
constexpr UINT ReceiptWaitMilliseconds = 10000;
constexpr DWORD RetryMilliseconds = 50;

std::wstring FullPath(std::wstring argument) {
    // The shell reads a backslash before the closing quote as a quote of the path itself:
    // "C:\Ordner\" arrives as C:\Ordner".
    if (!argument.empty() && argument.back() == L'"') argument.back() = L'\\';
    // Blanks alone would name the current folder itself once made full.
    if (argument.find_first_not_of(L" \t") == std::wstring::npos) return {};
    return FullPathName(argument);
}

// The receiver's answer to the block: HandOverReceipt, HandOverPathsRefused, or 0 when nobody
// took it.
LRESULT SendBlock(const std::wstring& property, const std::wstring& block, ULONG_PTR tag) {
    HWND receiver = FindPathReceiver(property);
    if (!receiver) return 0;
    COPYDATASTRUCT data{tag, static_cast<DWORD>(block.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(block.data())};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                             ReceiptWaitMilliseconds, &result))
        return 0;
    auto answer = static_cast<LRESULT>(result);
    return answer == HandOverReceipt || answer == HandOverPathsRefused ? answer : 0;
}

std::string BatchText(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return FormatInteger(static_cast<std::int64_t>(paths.size())) + " Dateien hinzugefügt";
    std::string name = paths[0];
    if (IsFolderPath(name)) name.pop_back();
    return "Mit Verriq geschützt: " + name.substr(name.rfind('\\') + 1);
}

// The rows of the batch, new and already listed, become the selection, the first in view.
void SelectBatch(std::size_t firstNew, const std::unordered_set<std::wstring>& keys) {
    const std::vector<ProtectedFile>& files = Protection().Files();
    WriteGadgetState(GadgetFileList, -1);
    int first = -1, last = -1;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i < firstNew && !keys.count(files[i].key)) continue;
        WriteGadgetItemState(GadgetFileList, static_cast<int>(i), 1);
        if (first < 0) first = static_cast<int>(i);
        last = static_cast<int>(i);
    }
    // New rows stand at the end: the last one, then the first of them, so that both are seen
    // when they fit.
    int shown = firstNew < files.size() ? static_cast<int>(firstNew) : first;
    HWND list = GadgetHandle(GadgetFileList);
    if (list && first >= 0) {
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(last), FALSE);
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(shown), FALSE);
    }
    OnFileListEvent();
}

} // namespace

namespace {

bool PathsAfter(const wchar_t* commandLine, const wchar_t* command, std::vector<std::wstring>* paths) {
    std::vector<std::wstring> arguments = CommandArguments(commandLine);
    auto at = std::find_if(arguments.begin(), arguments.end(), [command](const std::wstring& argument) {
        return lstrcmpiW(argument.c_str(), command) == 0;
    });
    if (at == arguments.end()) return false;
    for (++at; at != arguments.end(); ++at) paths->push_back(FullPath(std::move(*at)));
    return true;
}

} // namespace

bool PathsToProtect(const wchar_t* commandLine, std::vector<std::wstring>* paths) {
    return PathsAfter(commandLine, ProtectArgument, paths);
}

bool PathsToRelease(const wchar_t* commandLine, std::vector<std::wstring>* paths) {
    return PathsAfter(commandLine, ReleaseArgument, paths);
}

HandOverResult HandPathsOver(const std::string& storageFolder, const std::vector<std::wstring>& paths,
                             ULONG_PTR tag) {
    std::vector<std::wstring> blocks = EncodeHandOver(paths);
    std::wstring property = HandOverPropertyName(storageFolder);
    DWORD start = GetTickCount();
    std::size_t sent = 0;
    bool refused = false;
    while (sent < blocks.size()) {
        if (LRESULT answer = SendBlock(property, blocks[sent], tag)) {
            refused = refused || answer == HandOverPathsRefused;
            ++sent;
            continue;
        }
        // The first copy may have ended before it opened its window: then this start is first.
        if (sent == 0 && ClaimInstance(storageFolder)) return HandOverResult::NoneRunning;
        if (GetTickCount() - start >= HandOverWaitMilliseconds) return HandOverResult::Failed;
        Sleep(RetryMilliseconds);
    }
    return refused ? HandOverResult::Refused : HandOverResult::Delivered;
}

void PathInbox::Start(HWND main, const std::string& storageFolder) {
    if (!main) return;
    property_ = HandOverPropertyName(storageFolder);
    SetPropW(main, property_.c_str(), reinterpret_cast<HANDLE>(1));
}

void PathInbox::Stop(HWND main) {
    if (!property_.empty()) RemovePropW(main, property_.c_str());
    KillTimer(main, BatchTimer);
    KillTimer(main, ReleaseBatchTimer);
    protect_.clear();
    release_.clear();
}

LRESULT PathInbox::Take(HWND window, const COPYDATASTRUCT& data) {
    bool releasing = data.dwData == ReleaseHandOverTag;
    std::vector<std::wstring> paths;
    // The sender is waiting: nothing here may ask the user or take long.
    if (!DecodeHandOver(data.lpData, data.cbData, &paths)) return FALSE;
    std::vector<std::wstring>& waiting = releasing ? release_ : protect_;
    UINT_PTR timer = releasing ? ReleaseBatchTimer : BatchTimer;
    if (waiting.size() + paths.size() > MaxPendingPaths) {
        SetTimer(window, timer, USER_TIMER_MINIMUM, nullptr);
        return FALSE;
    }
    // What passes the checks now is added with the batch; the sender hears of the rest.
    bool refused = std::any_of(paths.begin(), paths.end(),
                               [](const std::wstring& path) { return !AcceptablePath(path); });
    waiting.insert(waiting.end(), paths.begin(), paths.end());
    SetTimer(window, timer, BatchQuietMilliseconds, nullptr);
    return refused ? HandOverPathsRefused : HandOverReceipt;
}

std::vector<std::wstring> PathInbox::TakeBatch(bool releasing) {
    std::vector<std::wstring> batch;
    batch.swap(releasing ? release_ : protect_);
    return batch;
}

std::string AddArrivingPaths(const std::vector<std::wstring>& paths) {
    std::vector<std::string> accepted;
    std::unordered_set<std::wstring> keys;
    for (const std::wstring& path : paths) {
        if (!AcceptablePath(path)) continue;
        std::string text = FromWide(path);
        std::wstring wide = ToWidePath(text);
        DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsFolderPath(text)) {
            text += '\\';
            wide = ToWidePath(text);
        }
        keys.insert(FileKey(wide));
        accepted.push_back(std::move(text));
    }
    if (accepted.empty()) return {};
    std::size_t firstNew = Protection().Files().size();
    AddChosenFiles(accepted);
    SelectBatch(firstNew, keys);
    HWND main = WindowHandle(WindowMain);
    return main && IsWindowVisible(main) ? std::string() : BatchText(accepted);
}
