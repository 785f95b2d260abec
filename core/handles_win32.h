// The owning handle types of the Windows build, one per way of letting go (see unique_handle.h).
#pragma once

#include "core/unique_handle.h"

#include <windows.h>
#include <commctrl.h>

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

// Any GDI object; the typed ones spare the casts at every use.
template <typename Object>
struct Gdi {
    using Value = Object;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DeleteObject(value); }
};
using GdiObject = Gdi<HGDIOBJ>;

// Made with CreateCompatibleDC or CreateDC, as opposed to borrowed (see ScopedGetDc).
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

// A picture that may be either kind: what the image table holds.
struct Picture {
    using Value = HANDLE;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept {
        if (GetObjectType(value) == OBJ_BITMAP)
            DeleteObject(value);
        else
            DestroyIcon(static_cast<HICON>(value));
    }
};

struct Menu {
    using Value = HMENU;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DestroyMenu(value); }
};

struct ImageList {
    using Value = HIMAGELIST;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { ImageList_Destroy(value); }
};

struct AcceleratorTable {
    using Value = HACCEL;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DestroyAcceleratorTable(value); }
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

struct Heap {
    using Value = HANDLE;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { HeapDestroy(value); }
};

struct GlobalMemory {
    using Value = HGLOBAL;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { GlobalFree(value); }
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
using UniqueBitmap = UniqueHandle<handle_traits::Gdi<HBITMAP>>;
using UniqueBrush = UniqueHandle<handle_traits::Gdi<HBRUSH>>;
using UniquePen = UniqueHandle<handle_traits::Gdi<HPEN>>;
using UniqueFont = UniqueHandle<handle_traits::Gdi<HFONT>>;
using UniqueMemoryDc = UniqueHandle<handle_traits::MemoryDc>;
using UniqueIcon = UniqueHandle<handle_traits::Icon>;
using UniquePicture = UniqueHandle<handle_traits::Picture>;
using UniqueMenu = UniqueHandle<handle_traits::Menu>;
using UniqueImageList = UniqueHandle<handle_traits::ImageList>;
using UniqueAcceleratorTable = UniqueHandle<handle_traits::AcceleratorTable>;
using UniqueModule = UniqueHandle<handle_traits::Module>;
using UniqueFindFile = UniqueHandle<handle_traits::FindFile>;
using UniqueRegistryKey = UniqueHandle<handle_traits::RegistryKey>;
using UniqueLocalMemory = UniqueHandle<handle_traits::LocalMemory>;
using UniqueHeap = UniqueHandle<handle_traits::Heap>;
using UniqueGlobalMemory = UniqueHandle<handle_traits::GlobalMemory>;

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

// A slim reader/writer lock held exclusively for as long as this lives.
class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};
