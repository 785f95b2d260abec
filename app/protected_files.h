// The protected-file list and its locks. (Being filled in.)
#pragma once
void CreateProtectedFileList();
void AddFiles();
void RemoveSelectedFiles();
void LockListedFiles();
void OnFileListEvent();
void UpdateStatusText();
