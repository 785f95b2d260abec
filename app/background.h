// Background mode, the hot-key watcher and the hot-key dialog. (Being filled in.)
#pragma once
#include <windows.h>
void OnCloseRequest();
DWORD WINAPI HotKeyWatcher(void* parameter);
void OpenHotKeyDialog();
void OnHotKeyField();
void CloseHotKeyDialog();
