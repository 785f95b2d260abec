// A switch in the menu whose state lives in the user's registry: the start with Windows and the
// Explorer's verbs. The registry decides what the mark shows; what the user saw decides what a
// choice asks for; a write the registry refuses is told and changes nothing.
#pragma once

#include <windows.h>

#include <string>

struct RegistryEntry {
    int item;       // the menu entry that shows and switches it
    bool (*active)(); // read from the registry every time
    // Writes the entry on, or takes it away; the key of a write that failed goes to failedKey.
    LONG (*write)(bool on, std::wstring* failedKey);
    // How a failure is told: "<subject> konnte nicht in HKEY_CURRENT_USER\<key><written> werden:
    // <reason>." and what stays as it was.
    const char* title;
    const char* subject;
    const char* written;
    const char* stillOn;
    const char* stillOff;
};

// Sets the entry's mark from the registry.
void ShowRegistryEntry(const RegistryEntry& entry);
// The entry was chosen: on when it shows off, off when it shows on.
void ToggleRegistryEntry(const RegistryEntry& entry);


// The text value name (null: the key's default) of an open key.
LONG WriteRegistryText(HKEY key, const wchar_t* name, const std::wstring& text);
