#include "core/system_library_win32.h"

#include <string>

bool KeepLibrarySearchInSystemFolder() {
    using SetDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    auto setDirectories =
        LookUpFunction<SetDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    return setDirectories && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

UniqueModule LoadSystemLibrary(const wchar_t* name) {
    UniqueModule module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (module) return module;
    // Systems that predate the search flags refuse them; a full path leaves nothing to search.
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return module;
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    module.reset(LoadLibraryW(path.c_str()));
    return module;
}

FARPROC LateSystemFunction(const wchar_t* library, const char* name) {
    // A handful of libraries at most; a failed load is tried again next time. A loaded one is
    // never freed, as if it were a static import: COM and the shell's dialogs leave threads and
    // hooks of their own in the process, and unloading under them at exit would crash.
    struct Loaded {
        const wchar_t* name;
        HMODULE module;
    };
    static Loaded loaded[4];
    for (Loaded& entry : loaded) {
        if (entry.name && lstrcmpiW(entry.name, library) != 0) continue;
        if (!entry.module) {
            entry.module = LoadSystemLibrary(library).release();
            if (!entry.module) return nullptr;
            entry.name = library;
        }
        return GetProcAddress(entry.module, name);
    }
    return nullptr;
}
