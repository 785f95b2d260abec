#include "app/protected_files.h"
void CreateProtectedFileList() {}
void AddFiles() {}
void RemoveSelectedFiles() {}
void LockListedFiles() {}
void OnFileListEvent() {}
void UpdateStatusText() {}
