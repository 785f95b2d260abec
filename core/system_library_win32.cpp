#include "core/system_library_win32.h"

#include <string>

bool KeepLibrarySearchInSystemFolder() {
    using SetDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return false;
    auto setDirectories = reinterpret_cast<SetDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
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
