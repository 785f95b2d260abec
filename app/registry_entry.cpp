#include "app/registry_entry.h"

#include "app/application.h"
#include "controls/menu.h"
#include "framework/requesters.h"
#include "settings/wide_text.h"

namespace {


} // namespace

void ShowRegistryEntry(const RegistryEntry& entry) { SetMenuEntryChecked(MenuMain, entry.item, entry.active()); }

void ToggleRegistryEntry(const RegistryEntry& entry) {
    // What the user saw decides, not what another program may have written since.
    HMENU menu = MenuHandle(MenuMain);
    UINT shown = menu ? GetMenuState(menu, entry.item, MF_BYCOMMAND) : 0;
    bool wanted = shown == static_cast<UINT>(-1) || !(shown & MF_CHECKED);
    std::wstring failedKey;
    LONG error = entry.write(wanted, &failedKey);
    bool active = entry.active();
    SetMenuEntryChecked(MenuMain, entry.item, active);
    // A write that failed after all that was asked came true has nothing to tell.
    if (error == ERROR_SUCCESS || active == wanted) return;
    std::string text = std::string(entry.subject) + " konnte nicht " + (wanted ? "in" : "aus") +
                       " HKEY_CURRENT_USER\\" + FromWide(failedKey) + (wanted ? entry.written : " entfernt") +
                       " werden: " + SystemErrorText(static_cast<unsigned long>(error)) + ".\r" +
                       (active ? entry.stillOn : entry.stillOff);
    ShowMessageBox(entry.title, text.c_str(), MB_OK | MB_ICONWARNING);
}


LONG WriteRegistryText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
