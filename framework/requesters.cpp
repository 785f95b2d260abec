#include "framework/requesters.h"

#include "core/memory.h"
#include "settings/file_names.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>

#include <cstring>

namespace {

constexpr std::size_t ResultCapacity = 260; // 259 characters and the terminator
constexpr std::size_t MultipleSelectionSize = 511740 + ResultCapacity;

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

struct Selection {
    char* buffer;
    std::size_t size;
    std::size_t next; // 0: no further name
    char directory[ResultCapacity];
    char result[ResultCapacity];
};

Selection selection{};
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
    FreeMemory(selection.buffer);
    selection.buffer = nullptr;
    selection.size = 0;
    selection.next = 0;
}

const char* EmptyResult() {
    selection.result[0] = '\0';
    return selection.result;
}

bool CopyResult(const char* first, std::size_t firstLength, const char* second, std::size_t secondLength) {
    if (firstLength + secondLength >= ResultCapacity) return false;
    std::memcpy(selection.result, first, firstLength);
    std::memcpy(selection.result + firstLength, second, secondLength);
    selection.result[firstLength + secondLength] = '\0';
    return true;
}

std::size_t BoundedLength(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length])
        ++length;
    return length;
}

// The "|"-separated pairs as the dialog wants them: terminated texts, then an empty one.
char* MakeFilter(const char* pattern) {
    if (!pattern) pattern = "";
    std::size_t length = std::strlen(pattern);
    auto* filter = static_cast<char*>(AllocateMemory(length + 2));
    if (!filter) return nullptr;
    for (std::size_t i = 0; i < length; ++i)
        filter[i] = pattern[i] == '|' ? '\0' : pattern[i];
    return filter;
}

} // namespace

void InitRequesters() {
    if (requestersReady) return;
    requestersReady = true;
    InitCommonControls();
    CoInitialize(nullptr);
}

int ShowMessageBox(const char* title, const char* text, unsigned flags) {
    HWND owner = OwnerWindow();
    DisableOtherWindows();
    int answer = MessageBoxA(owner, text ? text : "", title ? title : "", flags);
    EnableOtherWindows();
    return answer;
}

const char* TakeMultipleSelection(char* buffer, std::size_t size) {
    ForgetSelection();
    if (!buffer || size == 0) {
        FreeMemory(buffer);
        return EmptyResult();
    }
    selection.buffer = buffer;
    selection.size = size;
    std::size_t firstLength = BoundedLength(buffer, size);
    if (firstLength + 1 >= size || buffer[firstLength + 1] == '\0') {
        // One full path (or nothing at all).
        bool fits = CopyResult(buffer, firstLength, "", 0);
        ForgetSelection();
        return fits ? selection.result : EmptyResult();
    }
    // A folder and names. A drive root already ends in a backslash.
    if (firstLength + 1 >= ResultCapacity) {
        ForgetSelection();
        return EmptyResult();
    }
    std::memcpy(selection.directory, buffer, firstLength);
    selection.directory[firstLength] = '\0';
    if (firstLength == 0 || buffer[firstLength - 1] != '\\') {
        selection.directory[firstLength] = '\\';
        selection.directory[firstLength + 1] = '\0';
    }
    selection.next = firstLength + 1;
    return NextChosenFileName();
}

const char* NextChosenFileName() {
    while (selection.next && selection.buffer && selection.next < selection.size) {
        const char* name = selection.buffer + selection.next;
        std::size_t nameLength = BoundedLength(name, selection.size - selection.next);
        if (nameLength == 0) break;
        selection.next += nameLength + 1;
        if (selection.next >= selection.size) selection.next = 0;
        std::size_t directoryLength = std::strlen(selection.directory);
        if (CopyResult(selection.directory, directoryLength, name, nameLength)) return selection.result;
        // Too long for a path: leave this name out rather than cut it into another file's name.
    }
    ForgetSelection();
    return EmptyResult();
}

const char* ShowOpenFileDialog(const char* title, const char* defaultFile, const char* pattern,
                               int patternIndex, unsigned flags) {
    ForgetSelection();
    bool multiple = (flags & OpenFileMultiple) != 0;
    std::size_t size = multiple ? MultipleSelectionSize : ResultCapacity;
    auto* buffer = static_cast<char*>(AllocateMemory(size));
    if (!buffer) return EmptyResult();
    char* filter = MakeFilter(pattern);
    if (!filter) {
        FreeMemory(buffer);
        return EmptyResult();
    }

    char* directory = nullptr;
    if (defaultFile) {
        std::size_t length = std::strlen(defaultFile);
        directory = static_cast<char*>(AllocateMemory(length + 1));
        if (!directory) {
            FreeMemory(filter);
            FreeMemory(buffer);
            return EmptyResult();
        }
        const char* backslash = std::strrchr(defaultFile, '\\');
        const char* name = defaultFile;
        if (backslash && backslash > defaultFile) {
            std::memcpy(directory, defaultFile, static_cast<std::size_t>(backslash - defaultFile));
            name = backslash + 1;
        }
        std::size_t nameLength = BoundedLength(name, ResultCapacity - 1);
        std::memcpy(buffer, name, nameLength);
        // A mask such as *.txt or an otherwise unusable name proposes nothing.
        if (!IsValidFileName(buffer)) std::memset(buffer, 0, ResultCapacity);
    }

    OPENFILENAMEA dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = OwnerWindow();
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = static_cast<DWORD>(patternIndex + 1);
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = static_cast<DWORD>(size);
    dialog.lpstrInitialDir = directory;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (multiple) dialog.Flags |= OFN_ALLOWMULTISELECT;

    DisableOtherWindows();
    BOOL chosen = GetOpenFileNameA(&dialog);
    EnableOtherWindows();
    FreeMemory(filter);
    FreeMemory(directory);

    if (!chosen) {
        FreeMemory(buffer);
        return EmptyResult();
    }
    if (multiple) return TakeMultipleSelection(buffer, size);
    bool fits = CopyResult(buffer, BoundedLength(buffer, size), "", 0);
    FreeMemory(buffer);
    return fits ? selection.result : EmptyResult();
}
