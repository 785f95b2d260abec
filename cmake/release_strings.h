// Force-included into every file of the release build (VERRIQ_RELEASE).
//
// The C++ runtime declares std::string and std::wstring as instantiated inside the library
// (extern templates), so the first use of either links the library's whole instantiation,
// 33 KB each, of which the program needs a few members. The value -1 is the runtime's own
// switch that turns those declarations off for basic_string alone (and nothing else): each file
// then compiles the members it uses, and only those end up in the program. Either way the
// program behaves the same; scripts/check-release.sh fails if the switch ever stops working.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
