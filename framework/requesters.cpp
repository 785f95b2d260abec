#include "framework/requesters.h"

#include "core/memory.h"
#include "core/system_library_win32.h"
#include "settings/file_names.h"
#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shobjidl.h>

#include <string>
#include <string_view>

namespace {

// The dialog's buffers count UTF-16 units. One path may be as long as the file system allows; a
// multiple selection holds a folder and up to a few thousand long names.
constexpr std::size_t SinglePathCapacity = 32768;
constexpr std::size_t MultipleSelectionCapacity = 1 << 20;

struct DisabledWindow {
    DisabledWindow* next;
    DisabledWindow* previous;
    DWORD threadId;
    HWND window;
};

// Each thread re-enables only what it disabled; the lock keeps two threads with requesters from
// tearing the shared list.
struct DisabledWindows {
    CRITICAL_SECTION lock;
    DisabledWindow* newest = nullptr;
    DisabledWindows() { InitializeCriticalSection(&lock); }
};

DisabledWindows disabled;

// The last multiple selection as the dialog left it, in UTF-8: one path, or a folder and names,
// each terminated, then an empty text.
struct Selection {
    std::string block;
    std::size_t next = 0; // 0: no further name
    std::string directory;
    std::string result;
};

Selection selection;
bool requestersReady = false;

BOOL CALLBACK DisableWindow(HWND window, LPARAM parameter) {
    auto foreground = reinterpret_cast<HWND>(parameter);
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
    if (!IsWindowVisible(window) || !IsWindowEnabled(window) || window == foreground) return TRUE;
    auto* node = AllocateRecord<DisabledWindow>();
    // Without a node it could never be enabled again, so it stays as it is.
    if (!node) return TRUE;
    EnableWindow(window, FALSE);
    node->threadId = GetCurrentThreadId();
    node->window = window;
    EnterCriticalSection(&disabled.lock);
    node->next = disabled.newest;
    if (node->next) node->next->previous = node;
    disabled.newest = node;
    LeaveCriticalSection(&disabled.lock);
    return TRUE;
}

void DisableOtherWindows() {
    EnumWindows(DisableWindow, reinterpret_cast<LPARAM>(GetForegroundWindow()));
}

void EnableOtherWindows() {
    DWORD thread = GetCurrentThreadId();
    EnterCriticalSection(&disabled.lock);
    DisabledWindow* node = disabled.newest;
    while (node) {
        DisabledWindow* next = node->next;
        if (node->threadId == thread) {
            EnableWindow(node->window, TRUE);
            if (node->previous)
                node->previous->next = node->next;
            else
                disabled.newest = node->next;
            if (node->next) node->next->previous = node->previous;
            FreeMemory(node);
        }
        node = next;
    }
    LeaveCriticalSection(&disabled.lock);
}

HWND OwnerWindow() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? foreground : nullptr;
}

void ForgetSelection() {
    selection.block.clear();
    selection.block.shrink_to_fit();
    selection.next = 0;
}

const char* EmptyResult() {
    selection.result.clear();
    return selection.result.c_str();
}

const char* Result(std::string_view path) {
    selection.result.assign(path);
    return selection.result.c_str();
}

// The "|"-separated pairs as the dialog wants them: terminated texts, then an empty one.
std::wstring MakeFilter(const char* pattern) {
    std::wstring filter = ToWide(pattern ? pattern : "");
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.append(2, L'\0');
    return filter;
}

// The dialog's answer up to its closing empty text (or the end of the buffer), as UTF-8 with
// the zeros kept.
std::string SelectionText(const std::wstring& buffer, bool multiple) {
    std::size_t length = buffer.find(L'\0');
    if (length == std::wstring::npos) return {};
    if (multiple) {
        while (length + 1 < buffer.size() && buffer[length + 1] != L'\0')
            length = buffer.find(L'\0', length + 1);
        if (length == std::wstring::npos) length = buffer.size();
    }
    return FromWide(std::wstring_view(buffer.data(), length));
}

const char* TakeSelection(std::string block) {
    ForgetSelection();
    selection.block = std::move(block);
    const std::string& text = selection.block;
    std::size_t firstLength = text.find('\0');
    if (firstLength == std::string::npos) firstLength = text.size();
    if (firstLength + 1 >= text.size() || text[firstLength + 1] == '\0') {
        // One full path (or nothing at all).
        const char* result = Result(std::string_view(text.data(), firstLength));
        ForgetSelection();
        return result;
    }
    // A folder and names. A drive root already ends in a backslash.
    selection.directory.assign(text, 0, firstLength);
    if (firstLength == 0 || text[firstLength - 1] != '\\') selection.directory += '\\';
    selection.next = firstLength + 1;
    return NextChosenFileName();
}

// While a file dialog is open: the other windows wait, and the process's current folder is put
// back when it is gone. The dialog may leave that folder wherever the user browsed
// (OFN_NOCHANGEDIR does not bind GetOpenFileName), and a current folder cannot be renamed or
// deleted, so we would keep busy a folder we never meant to hold.
class FileDialogScope {
  public:
    FileDialogScope() {
        DisableOtherWindows();
        DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length == 0) return;
        folder_.assign(length, L'\0');
        DWORD written = GetCurrentDirectoryW(length, folder_.data());
        folder_.resize(written < length ? written : 0);
    }
    ~FileDialogScope() {
        if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
        EnableOtherWindows();
    }
    FileDialogScope(const FileDialogScope&) = delete;
    FileDialogScope& operator=(const FileDialogScope&) = delete;

  private:
    std::wstring folder_;
};

// A COM interface pointer released when it goes.
template <class Interface> class ComPointer {
  public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* get() const { return pointer_; }
    Interface** out() { return &pointer_; }
    Interface* operator->() const { return pointer_; }

  private:
    Interface* pointer_ = nullptr;
};

// The dialog libraries and COM cost a start-up a noticeable share of its time, and most runs
// never open a dialog: they are taken in by the first dialog, and COM is set up for it then.
// A thread that has COM already keeps it the way it has it, so the answer does not matter.
bool comTried = false;

void EnsureCom() {
    if (comTried) return;
    comTried = true;
    using InitializeFunction = HRESULT(WINAPI*)(LPVOID);
    if (auto initialize = LateSystemFunction<InitializeFunction>(L"ole32.dll", "CoInitialize"))
        initialize(nullptr);
}

} // namespace

void InitRequesters() {
    if (requestersReady) return;
    requestersReady = true;
    InitCommonControls();
}

int ShowMessageBox(const char* title, const char* text, unsigned flags) {
    HWND owner = OwnerWindow();
    std::wstring wideText = ToWide(text ? text : "");
    std::wstring wideTitle = ToWide(title ? title : "");
    DisableOtherWindows();
    int answer = MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), flags);
    EnableOtherWindows();
    return answer;
}

const char* TakeMultipleSelection(char* buffer, std::size_t size) {
    if (!buffer || size == 0) {
        FreeMemory(buffer);
        ForgetSelection();
        return EmptyResult();
    }
    std::string block(buffer, size);
    FreeMemory(buffer);
    return TakeSelection(std::move(block));
}

const char* NextChosenFileName() {
    const std::string& text = selection.block;
    while (selection.next && selection.next < text.size()) {
        std::size_t end = text.find('\0', selection.next);
        if (end == std::string::npos) end = text.size();
        if (end == selection.next) break;
        std::string_view name(text.data() + selection.next, end - selection.next);
        selection.next = end + 1 < text.size() ? end + 1 : 0;
        selection.result.assign(selection.directory);
        selection.result.append(name);
        return selection.result.c_str();
    }
    ForgetSelection();
    return EmptyResult();
}

const char* ShowOpenFileDialog(const char* title, const char* defaultFile, const char* pattern,
                               int patternIndex, unsigned flags) {
    ForgetSelection();
    bool multiple = (flags & OpenFileMultiple) != 0;
    std::wstring buffer(multiple ? MultipleSelectionCapacity : SinglePathCapacity, L'\0');
    std::wstring filter = MakeFilter(pattern);
    std::wstring wideTitle = ToWide(title ? title : "");

    std::wstring directory;
    if (defaultFile) {
        std::string_view proposed(defaultFile);
        std::size_t backslash = proposed.rfind('\\');
        std::string_view name = proposed;
        if (backslash != std::string_view::npos && backslash > 0) {
            directory = ToWide(proposed.substr(0, backslash));
            name = proposed.substr(backslash + 1);
        }
        // A mask such as *.txt or an otherwise unusable name proposes nothing.
        std::string nameText(name);
        std::wstring wideName = ToWide(nameText);
        if (IsValidFileName(nameText.c_str()) && wideName.size() < buffer.size())
            wideName.copy(buffer.data(), wideName.size());
    }

    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = OwnerWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(patternIndex + 1);
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = defaultFile ? directory.c_str() : nullptr;
    dialog.lpstrTitle = title ? wideTitle.c_str() : nullptr;
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (multiple) dialog.Flags |= OFN_ALLOWMULTISELECT;

    using OpenFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
    auto open = LateSystemFunction<OpenFunction>(L"comdlg32.dll", "GetOpenFileNameW");
    if (!open) return EmptyResult();
    EnsureCom();
    BOOL chosen;
    {
        FileDialogScope scope;
        chosen = open(&dialog);
    }

    if (!chosen) return EmptyResult();
    return TakeSelection(SelectionText(buffer, multiple));
}

const char* ShowFolderDialog(const char* title) {
    ForgetSelection();
    using CreateFunction = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    using FreeFunction = void(WINAPI*)(LPVOID);
    auto create = LateSystemFunction<CreateFunction>(L"ole32.dll", "CoCreateInstance");
    auto freeText = LateSystemFunction<FreeFunction>(L"ole32.dll", "CoTaskMemFree");
    if (!create || !freeText) return EmptyResult();
    EnsureCom();
    ComPointer<IFileOpenDialog> dialog;
    if (FAILED(create(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                      reinterpret_cast<void**>(dialog.out()))))
        return EmptyResult();
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
    std::wstring wideTitle = ToWide(title ? title : "");
    if (title) dialog->SetTitle(wideTitle.c_str());

    HWND owner = OwnerWindow();
    HRESULT shown;
    {
        FileDialogScope scope;
        shown = dialog->Show(owner);
    }
    if (FAILED(shown)) return EmptyResult();

    ComPointer<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return EmptyResult();
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return EmptyResult();
    const char* result = Result(FromWide(path));
    freeText(path);
    return result;
}
