// Settings documents (group / key = value files): the one current document of the process.
// Everything here works on that document; with none open, reads give the default and writes
// are dropped. The file is held open with read sharing only from open or create until close,
// and it is rewritten at close, in one write, only when something was written.
#pragma once

#include "settings/settings_core.h"

#include <cstddef>

// Program start: a clear record becomes the current document.
void InitSettings();
// Closes the current document (writing it back) and reads the file. Returns the file handle,
// or 0 when the file cannot be opened: the path is then remembered, reads give defaults, and
// a write creates the file at close.
Number OpenSettings(const char* path);
// Closes the current document (writing it back) and creates the file empty, replacing any
// old one. Returns the file handle, or 0 with the document closed.
Number CreateSettings(const char* path);
// 1 when the group exists or the name is empty (the top level), 0 when it does not exist yet:
// look-ups then find nothing, and the first write adds the group at the end.
int SelectSettingsGroup(const char* name);
const char* FindSettingValue(const char* key);
// The value as a decimal number; 0 for a value without one, the default for a missing key.
int ReadSettingNumber(const char* key, int defaultValue);
void WriteSettingNumber(const char* key, int value);
// Finds or adds the key in the current group; its value block holds length characters and a
// zero byte. Null when nothing could be stored.
char* ReserveSettingValue(const char* key, std::size_t length);
// Writes the document back if something was written, then releases it. False when a write was
// due and the file does not hold it; the system's reason is then the thread's last error.
bool CloseSettings();
// Program end.
void EndSettings();

// The current document, for tests that look at its entries.
const SettingsDocument* CurrentSettings();
