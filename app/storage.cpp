#include "app/storage.h"
void EnsureStorageFolders() {}
void EnsureFileListDocument() {}
void EnsureSettingsDocument() {}
void LoadFileList() {}
void LoadSettings() {}
void SaveFileList() {}
void SaveSettings() {}
