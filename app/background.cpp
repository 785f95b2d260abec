#include "app/background.h"
void OnCloseRequest() {}
DWORD WINAPI HotKeyWatcher(void*) { return 0; }
void OpenHotKeyDialog() {}
void OnHotKeyField() {}
void CloseHotKeyDialog() {}
