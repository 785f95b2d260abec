// Values and object numbers that the application's parts share.
#pragma once

#include "app/ids.h"
#include "core/types.h"

#include <atomic>
#include <cstdint>

extern const char* ProductName;
extern const char* ProductVersion;

// The hot-key letter as a virtual-key code (88 = X). Written by the main thread, read by the
// hot-key watcher: one whole 32-bit value, never torn.
extern std::atomic<std::int32_t> SpecialKey;

// Object numbers, each in its own kind's numbering space.
enum : int {
    WindowMain = 0,
    WindowHotKey = 1,
    GadgetFileList = 1,
    GadgetHotKeyText = 101,
    GadgetHotKeyField = 102,
    MenuMain = 1,
    MenuRow = 2,
    ToolbarMain = 0,
    StatusBarMain = 1,
    ImageAdd = 1,
    ImageRemove = 2,
    ImageQuit = 3,
    ImageFolder = 4,
    FileListFile = 1,
};

// Brings the framework services up in their fixed order (after the private heap).
void StartFrameworkServices();

// The one way out: tears the framework down and ends the process with exit code 0.
[[noreturn]] void ShutDown();
