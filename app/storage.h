// The storage folder under the user's application data and the two documents in it: the list
// of protected files ("Dateien.ini", one path per line) and the settings ("Einstellungen.ini").
// Both are read once at start-up and written whole on quit and on every close request.
#pragma once

#include "core/types.h"

#include <string>

// appdata + "\Ondrak\" + product + "\", composed anew from the environment on every use.
std::string StorageFolder(const char* product);

// Start-up, in this order: the folders, then each document where it is missing.
void EnsureStorageFolders(const char* product);
void EnsureFileListDocument(const char* product, const char* name);
void EnsureSettingsDocument(const char* product, const char* name);

// Lists and locks one file per line of the file list document.
void LoadFileList(const char* product, const char* name);
// Sets SpecialKey from the settings document (88 when it has none).
void LoadSettings(const char* product, const char* name);

// Rewrite the documents from the protected files and from SpecialKey.
void SaveFileList(const char* product, const char* name);
void SaveSettings(const char* product, const char* name);

// The protected files changed (added, removed): their list goes to disk at once.
void OnFileListChanged();

// Names of the two documents and of the one group and key of the settings.
extern const char* const FileListName;
extern const char* const SettingsName;
extern const char* const SettingsGroup;
extern const char* const SpecialKeyName;
constexpr int DefaultSpecialKey = 88; // X
