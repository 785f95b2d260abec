#include "app/explorer_menu.h"

#include "app/application.h"
#include "app/handover.h"
#include "app/registry_entry.h"
#include "controls/menu.h"
#include "core/handles_win32.h"
#include "framework/requesters.h"
#include "settings/wide_text.h"

#include <windows.h>

namespace {

// Files, then folders; protecting, then releasing. The first verb is the program's name.
constexpr int VerbCount = 4;

bool Releasing(int which) {
    return which >= 2;
}

std::wstring VerbKey(int which) {
    return std::wstring(which % 2 == 0 ? L"Software\\Classes\\*\\shell\\"
                                       : L"Software\\Classes\\Directory\\shell\\") +
           ToWide(ProductName) + (Releasing(which) ? L"Freigeben" : L"");
}

std::wstring CommandTail(int which) {
    return std::wstring(L" ") + (Releasing(which) ? ReleaseArgument : ProtectArgument) + L" \"%1\"";
}

// The default value of key as text, or nothing when it is missing or not text.
std::wstring ReadDefault(const std::wstring& key) {
    constexpr DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, flags, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, flags, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return {};
    text.resize(lstrlenW(text.c_str()));
    return text;
}

// The verb starts this exe, quoted, with our argument and the item: the only form we write.
bool VerbNamesThisExe(int which, const std::wstring& exe) {
    std::wstring command = ReadDefault(VerbKey(which) + L"\\command");
    std::size_t end = command.find(L'"', 1);
    return command.size() > 2 && command[0] == L'"' && end != std::wstring::npos &&
           SameFileName(command.substr(1, end - 1), exe) &&
           FoldedCase(command.substr(end + 1)) == FoldedCase(CommandTail(which));
}

LONG WriteVerb(int which, const std::wstring& exe) {
    std::wstring keyPath = VerbKey(which);
    HKEY made = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                  nullptr, &made, nullptr);
    if (result != ERROR_SUCCESS) return result;
    UniqueRegistryKey verb(made);
    std::wstring quoted = L"\"" + exe + L"\"";
    if ((result = WriteRegistryText(verb.get(), nullptr,
                          ToWide(Releasing(which) ? "Mit Verriq zum Bearbeiten freigeben"
                                                  : "Mit Verriq schützen"))) != ERROR_SUCCESS ||
        (result = WriteRegistryText(verb.get(), L"Icon", quoted + L",0")) != ERROR_SUCCESS)
        return result;
    made = nullptr;
    result = RegCreateKeyExW(verb.get(), L"command", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &made, nullptr);
    if (result != ERROR_SUCCESS) return result;
    UniqueRegistryKey command(made);
    return WriteRegistryText(command.get(), nullptr, quoted + CommandTail(which));
}

LONG RemoveVerb(const std::wstring& keyPath) {
    LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG WriteVerbs(bool on, std::wstring* failedKey) {
    std::wstring exe = OwnExePath();
    LONG error = ERROR_SUCCESS;
    for (int which = 0; which < VerbCount && error == ERROR_SUCCESS; ++which) {
        *failedKey = VerbKey(which);
        error = on ? WriteVerb(which, exe) : RemoveVerb(*failedKey);
    }
    // Half an entry would offer Verriq for files and not for folders: take back what was written.
    if (on && error != ERROR_SUCCESS)
        for (int which = 0; which < VerbCount; ++which)
            RemoveVerb(VerbKey(which));
    return error;
}

const RegistryEntry ExplorerMenu{ItemOfferInExplorer,
                                 ExplorerMenuActive,
                                 WriteVerbs,
                                 "Explorer-Menü nicht geändert",
                                 "Der Eintrag im Explorer-Menü",
                                 " geschrieben",
                                 "Das Explorer-Menü bietet Verriq weiterhin an.",
                                 "Das Explorer-Menü bietet Verriq nicht an."};

} // namespace

bool ExplorerMenuActive() {
    std::wstring exe = OwnExePath();
    for (int which = 0; which < VerbCount; ++which)
        if (!VerbNamesThisExe(which, exe)) return false;
    return true;
}

void ShowExplorerMenuState() { ShowRegistryEntry(ExplorerMenu); }

void ToggleExplorerMenu() { ToggleRegistryEntry(ExplorerMenu); }
