#include "app/single_instance.h"

#include "app/protection/path_key.h"
#include "core/handles_win32.h"
#include "settings/wide_text.h"

#include <cstdint>

namespace {

UniqueKernelHandle instanceMutex;

// FNV-1a over the folder's key, UTF-16: short, stable across builds and bitnesses.
std::wstring FolderHash(const std::string& storageFolder) {
    std::wstring folder = FileKey(ToWide(storageFolder));
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    std::uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : folder) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t text[17];
    for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = L"0123456789abcdef"[hash & 0xF];
    text[16] = L'\0';
    return text;
}

} // namespace

std::wstring InstanceMutexName(const std::string& storageFolder) {
    return L"Local\\Verriq-Instanz-" + FolderHash(storageFolder);
}

std::wstring ShowRequestName(const std::string& storageFolder) { return L"Verriq-Zeigen-" + FolderHash(storageFolder); }

std::wstring HandOverPropertyName(const std::string& storageFolder) {
    return L"Verriq-Pfade-" + FolderHash(storageFolder);
}

bool ClaimInstance(const std::string& storageFolder) {
    if (instanceMutex) return true;
    UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, InstanceMutexName(storageFolder).c_str()));
    DWORD error = GetLastError();
    if (!mutex) return true;
    if (error == ERROR_ALREADY_EXISTS) return false;
    instanceMutex = std::move(mutex);
    return true;
}

bool InstanceClaimed(const std::string& storageFolder) {
    UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, InstanceMutexName(storageFolder).c_str()));
    // A claim we may not look at is somebody's all the same.
    return mutex.valid() || GetLastError() != ERROR_FILE_NOT_FOUND;
}

UINT ShowRequestMessage(const std::string& storageFolder) {
    return RegisterWindowMessageW(ShowRequestName(storageFolder).c_str());
}

bool AskRunningCopyToShow(const std::string& storageFolder) {
    UINT message = ShowRequestMessage(storageFolder);
    if (!message) return false;
    // The user just started us, so we may hand the foreground on; the running copy could not
    // take it on its own.
    AllowSetForegroundWindow(ASFW_ANY);
    // Hidden windows get a broadcast too; the message's name keeps everybody else out of it.
    return PostMessageW(HWND_BROADCAST, message, 0, 0) != 0;
}
