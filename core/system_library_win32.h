// Libraries loaded while the program runs come from the system folder only. Windows would look
// in the program's own folder first, and that is often a downloads folder that any web page can
// write to: a library of the same name there would run inside us at every log-on.
#pragma once

#include "core/handles_win32.h"

#include <windows.h>

// Narrows the search of every later load to the system folder. Looked up at run time, since
// systems without the call must still start; false where it is missing or refused.
bool KeepLibrarySearchInSystemFolder();

// A function of a loaded library as the type it is called through; null where the library or
// the function is missing.
template <class Function> Function LookUpFunction(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

// The system's own copy of a library named without a folder, or nothing.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// A function of a system library that only some actions need (a dialog, a drop), looked up the
// first time it is wanted. The library stays loaded for the rest of the run, so start-up does
// not pay for it. Nothing where the library or the function is missing; main thread only.
FARPROC LateSystemFunction(const wchar_t* library, const char* name);

template <class Function> Function LateSystemFunction(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(LateSystemFunction(library, name)));
}
