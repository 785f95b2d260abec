// The program's own arguments, split the way the shell splits a command line.
#pragma once

#include <string>
#include <vector>

// Everything after the program's name; empty when nothing follows it or the line cannot be
// split.
std::vector<std::wstring> CommandArguments(const wchar_t* commandLine);
