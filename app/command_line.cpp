#include "app/command_line.h"

#include "core/handles_win32.h"
#include "core/system_library_win32.h"

#include <windows.h>

namespace {

// Whether anything follows the program's name: a quoted name runs to the next quote, any other
// to the first blank.
bool HasArguments(const wchar_t* commandLine) {
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != L' ' && *at != L'\t') ++at;
    }
    while (*at == L' ' || *at == L'\t') ++at;
    return *at != 0;
}

} // namespace

std::vector<std::wstring> CommandArguments(const wchar_t* commandLine) {
    // The shell library that splits the line is loaded only when there is something to split:
    // an ordinary start does without it.
    if (!commandLine || !HasArguments(commandLine)) return {};
    using SplitFunction = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    auto split = LateSystemFunction<SplitFunction>(L"shell32.dll", "CommandLineToArgvW");
    if (!split) return {};
    int count = 0;
    LPWSTR* arguments = split(commandLine, &count);
    UniqueLocalMemory owner(arguments);
    if (!arguments) return {};
    std::vector<std::wstring> result;
    for (int i = 1; i < count; ++i) result.emplace_back(arguments[i]);
    return result;
}
