#include "app/autostart.h"

#include "app/application.h"
#include "app/command_line.h"
#include "app/registry_entry.h"
#include "controls/menu.h"
#include "core/handles_win32.h"
#include "framework/requesters.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <cstring>

const wchar_t* const BackgroundArgument = L"/hintergrund";

namespace {

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const ApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// What the system itself writes to switch an entry on again: 2, then a time of zero.
constexpr unsigned char ApprovedOn[12] = {2};

// A short (8.3) name and its long form are the same file.
std::wstring LongPath(const std::wstring& path) {
    std::wstring result(32768, L'\0');
    DWORD length = GetLongPathNameW(path.c_str(), result.data(), static_cast<DWORD>(result.size()));
    if (length == 0 || length >= result.size()) return path;
    result.resize(length);
    return result;
}

std::wstring ValueName() { return ToWide(ProductName); }

// The value's type and bytes; false when the key or the value is not there or cannot be read.
bool ReadValue(const wchar_t* keyPath, DWORD* type, std::string* bytes) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    UniqueRegistryKey key(opened);
    std::wstring name = ValueName();
    // Another program may grow the value between asking its size and reading it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
        bytes->assign(size, '\0');
        LONG result = RegQueryValueExW(key.get(), name.c_str(), nullptr, type,
                                       reinterpret_cast<BYTE*>(bytes->data()), &size);
        if (result == ERROR_SUCCESS) {
            bytes->resize(size);
            return true;
        }
        if (result != ERROR_MORE_DATA) return false;
    }
    return false;
}

std::wstring AutostartCommand(const std::wstring& exe) { return L"\"" + exe + L"\" " + BackgroundArgument; }

// The system's own switch: no value, or a first byte of 0 or 2, leaves the entry on.
bool ApprovedAtStart(const unsigned char* data, unsigned long size) {
    return !data || size == 0 || data[0] == 0 || data[0] == 2;
}

// The Run value's command with its variables expanded; empty when it is missing or no text.
std::wstring RunCommand() {
    DWORD type = 0;
    std::string bytes;
    if (!ReadValue(RunKey, &type, &bytes) || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    std::wstring command(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(command.data(), bytes.data(), command.size() * sizeof(wchar_t));
    command.resize(std::wcslen(command.c_str()));
    if (type != REG_EXPAND_SZ) return command;
    std::wstring expanded(32768, L'\0');
    DWORD length = ExpandEnvironmentStringsW(command.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (length == 0 || length > expanded.size()) return command;
    expanded.resize(length - 1);
    return expanded;
}

LONG WriteValue(const wchar_t* keyPath, DWORD type, const void* data, DWORD size) {
    HKEY made = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &made, nullptr);
    if (result != ERROR_SUCCESS) return result;
    UniqueRegistryKey key(made);
    return RegSetValueExW(key.get(), ValueName().c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

LONG DeleteValue(const wchar_t* keyPath) {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &opened);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    UniqueRegistryKey key(opened);
    result = RegDeleteValueW(key.get(), ValueName().c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

// On: the Run value for this exe, and the system's switch back to on, since the user just
// asked for it. Off: the value, and then our mark in the system's switch, which left behind
// would mean nothing.
LONG WriteAutostart(bool on, std::wstring* failedKey) {
    *failedKey = RunKey;
    if (!on) {
        LONG result = DeleteValue(RunKey);
        if (result == ERROR_SUCCESS) DeleteValue(ApprovedKey);
        return result;
    }
    std::wstring command = AutostartCommand(OwnExePath());
    auto size = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    LONG result = WriteValue(RunKey, REG_SZ, command.c_str(), size);
    if (result != ERROR_SUCCESS) return result;
    *failedKey = ApprovedKey;
    return WriteValue(ApprovedKey, REG_BINARY, ApprovedOn, sizeof ApprovedOn);
}

const RegistryEntry Autostart{ItemStartWithWindows,
                              AutostartActive,
                              WriteAutostart,
                              "Start mit Windows nicht geändert",
                              "Der Start mit Windows",
                              " eingetragen",
                              "Verriq startet weiterhin mit Windows.",
                              "Verriq startet weiterhin nicht mit Windows."};

} // namespace

bool SameFileName(const std::wstring& one, const std::wstring& other) {
    return FoldedCase(one) == FoldedCase(other) || FoldedCase(LongPath(one)) == FoldedCase(LongPath(other));
}

std::wstring OwnExePath() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return LongPath(path);
}

bool CommandStartsProgram(const std::wstring& command, const std::wstring& exe) {
    if (command.empty() || exe.empty()) return false;
    if (command[0] == L'"') {
        std::size_t end = command.find(L'"', 1);
        return SameFileName(command.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1), exe);
    }
    // Unquoted, the path may hold spaces of its own: it names the exe when the exe's path is
    // followed by a space or the end.
    std::wstring folded = FoldedCase(command), wanted = FoldedCase(exe);
    if (folded.compare(0, wanted.size(), wanted) == 0 &&
        (folded.size() == wanted.size() || folded[wanted.size()] == L' '))
        return true;
    return SameFileName(command.substr(0, command.find(L' ')), exe);
}

bool IsBackgroundStart(const wchar_t* commandLine) {
    for (const std::wstring& argument : CommandArguments(commandLine))
        if (lstrcmpiW(argument.c_str(), BackgroundArgument) == 0) return true;
    return false;
}

bool AutostartActive() {
    if (!CommandStartsProgram(RunCommand(), OwnExePath())) return false;
    DWORD type = 0;
    std::string approval;
    if (!ReadValue(ApprovedKey, &type, &approval)) return true;
    return ApprovedAtStart(reinterpret_cast<const unsigned char*>(approval.data()), approval.size());
}

void ShowAutostartState() { ShowRegistryEntry(Autostart); }

void ToggleAutostart() { ToggleRegistryEntry(Autostart); }
