// The storage folder and the two documents in it. (Being filled in.)
#pragma once
void EnsureStorageFolders();
void EnsureFileListDocument();
void EnsureSettingsDocument();
void LoadFileList();
void LoadSettings();
void SaveFileList();
void SaveSettings();
