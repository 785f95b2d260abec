// Background mode: closing the main window asks whether to hide it and keep protecting; a
// watcher thread brings it back on left Ctrl + left Shift + the hot-key letter; a small dialog
// lets the user choose that letter.
#pragma once

#include <windows.h>

void OnCloseRequest();
// The watcher thread looks at the keyboard and, on the combination, posts showMessage to the
// main window; it touches nothing else of the program. Stopping waits for it to finish.
bool StartHotKeyWatcher(HWND main, UINT showMessage);
void StopHotKeyWatcher();
void OpenHotKeyDialog();
void OnHotKeyField();
void CloseHotKeyDialog(int window, int owner);

// The close question for the hot-key letter in force: it names the combination only for X.
const char* CloseQuestionText(int specialKey);
// True for a shortcut-field value that is a plain letter: A to Z without any modifier.
bool IsHotKeyLetter(int shortcut);

// Shortcut-field value with Ctrl and Shift and no key: what the dialog shows while it waits.
constexpr int HotKeyFieldStart = 0x30000;
// How often the watcher looks at the keyboard.
constexpr int HotKeyPollInterval = 100;
