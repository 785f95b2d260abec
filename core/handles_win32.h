// The owning handle types of the Windows build, one per way of letting go (see unique_handle.h).
#pragma once

#include "core/unique_handle.h"

#include <windows.h>

namespace handle_traits {

// Files, mappings, events, mutexes, threads: CreateFile says "nothing" with INVALID_HANDLE_VALUE.
struct File {
    using Value = HANDLE;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) noexcept { CloseHandle(value); }
};

// Events, mutexes, threads, mappings: these calls say "nothing" with NULL.
struct Kernel {
    using Value = HANDLE;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { CloseHandle(value); }
};

struct GdiObject {
    using Value = HGDIOBJ;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DeleteObject(value); }
};

struct MemoryDc {
    using Value = HDC;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DeleteDC(value); }
};

struct Icon {
    using Value = HICON;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DestroyIcon(value); }
};

struct Module {
    using Value = HMODULE;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { FreeLibrary(value); }
};

struct FindFile {
    using Value = HANDLE;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) noexcept { FindClose(value); }
};

struct RegistryKey {
    using Value = HKEY;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { RegCloseKey(value); }
};

// Memory the system allocated for us with LocalAlloc (argument vectors, formatted messages).
struct LocalMemory {
    using Value = void*;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { LocalFree(value); }
};

} // namespace handle_traits

using UniqueFile = UniqueHandle<handle_traits::File>;
using UniqueKernelHandle = UniqueHandle<handle_traits::Kernel>;
using UniqueGdiObject = UniqueHandle<handle_traits::GdiObject>;
using UniqueMemoryDc = UniqueHandle<handle_traits::MemoryDc>;
using UniqueIcon = UniqueHandle<handle_traits::Icon>;
using UniqueModule = UniqueHandle<handle_traits::Module>;
using UniqueFindFile = UniqueHandle<handle_traits::FindFile>;
using UniqueRegistryKey = UniqueHandle<handle_traits::RegistryKey>;
using UniqueLocalMemory = UniqueHandle<handle_traits::LocalMemory>;

// A DC borrowed with GetDC: given back to its window, not deleted.
class ScopedGetDc {
  public:
    explicit ScopedGetDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScopedGetDc(const ScopedGetDc&) = delete;
    ScopedGetDc& operator=(const ScopedGetDc&) = delete;
    HDC get() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for as long as this lives; the previous one is put back.
class ScopedSelect {
  public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (previous_) SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};
