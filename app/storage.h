// The storage folder under the user's application data and the two documents in it: the list
// of protected files ("Dateien.ini", one path per line) and the settings ("Einstellungen.ini").
// Both are read once at start-up. The list is written after every change, the settings after
// every change of the hot key, and both again on quit, on a close request and at log-off.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// appdata + "\Ondrak\" + product + "\", composed anew from the environment on every use.
std::string StorageFolder(const char* product);

// Start-up, in this order: the folders, then each document where it is missing.
void EnsureStorageFolders(const char* product);
void EnsureFileListDocument(const char* product, const char* name);
void EnsureSettingsDocument(const char* product, const char* name);

// The lines of the file list document, one per listed path. A list that is there but cannot
// be read is told (and gives no line); false then. No list at all is an empty one.
bool LoadFileList(const char* product, const char* name, std::vector<std::string>& lines);
// Sets SpecialKey (88 when the document has none) and the release period from the settings document.
void LoadSettings(const char* product, const char* name);

// Replace the documents with the protected files and SpecialKey. SaveFileList never writes the
// list in place: the whole old list or the whole new one stands at every instant. False when it
// could not be written; the reason is kept for SaveFailureText.
bool SaveFileList(const char* product, const char* name);
// SaveSettings is quiet too: false when the file does not hold the hot key.
bool SaveSettings(const char* product, const char* name);

// The protected files changed (added, removed): their list goes to disk at once. A failure is
// told once, and again only after a save has succeeded in between.
void OnFileListChanged();
// The hot key changed: the settings go to disk at once, a failure told as the list's is.
void OnSettingsChanged();
// Both documents, telling a failed list as OnFileListChanged does; true when the list was saved.
bool SaveDocuments();
// Both documents without a word: the session is ending and nobody may be asked.
void SaveDocumentsQuietly();
// Saves both documents for the way out. When the list cannot be written, asks whether to quit
// all the same; true when the program may end.
bool SaveForQuit();

// Saves both documents for a quit asked from outside, where nobody may be asked: true when the
// list was saved. The hot key's failure was told when it changed.
bool SaveForRequestedQuit();

// The box's text for the last failed save of the list.
std::string SaveFailureText();

// Names of the two documents and of the one group and key of the settings.
extern const char* const FileListName;
extern const char* const SettingsName;
extern const char* const SettingsGroup;
extern const char* const SpecialKeyName;
extern const char* const ReleasePeriodName; // the release period in whole minutes
constexpr int DefaultSpecialKey = 88; // X
