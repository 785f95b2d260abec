// Linked into every program of the release build (VERRIQ_RELEASE), together with one
// "--wrap=<name>" per function below (see CMakeLists.txt).
//
// The static C++ runtime raises its errors through std::__throw_*; the library's versions build
// std::logic_error and its relatives from copy-on-write strings, which drags in the whole
// copy-on-write string (about 55 KB). Its default terminate handler demangles the exception's
// type name for a console nobody sees (another 50 KB).
//
// What the program relies on stays as it was: allocation failures still arrive as std::bad_alloc,
// which the line reader catches to keep what fits. The errors that carry a message only ever mean
// a fault in the program, and nothing catches them (scripts/test.sh checks the sources for such
// catch clauses): there the program ends at once, as it would after the exception had found no
// handler.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

extern "C" {

[[noreturn]] void __wrap__ZN9__gnu_cxx27__verbose_terminate_handlerEv() { std::abort(); }

[[noreturn]] void __wrap__ZSt17__throw_bad_allocv() { throw std::bad_alloc(); }
[[noreturn]] void __wrap__ZSt28__throw_bad_array_new_lengthv() { throw std::bad_array_new_length(); }
[[noreturn]] void __wrap__ZSt16__throw_bad_castv() { throw std::bad_cast(); }
[[noreturn]] void __wrap__ZSt18__throw_bad_typeidv() { throw std::bad_typeid(); }
[[noreturn]] void __wrap__ZSt21__throw_bad_exceptionv() { throw std::bad_exception(); }

[[noreturn]] void __wrap__ZSt19__throw_logic_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt20__throw_domain_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt24__throw_invalid_argumentPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt20__throw_length_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt20__throw_out_of_rangePKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt24__throw_out_of_range_fmtPKcz(const char*, ...) { std::terminate(); }
[[noreturn]] void __wrap__ZSt21__throw_runtime_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt19__throw_range_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt22__throw_overflow_errorPKc(const char*) { std::terminate(); }
[[noreturn]] void __wrap__ZSt23__throw_underflow_errorPKc(const char*) { std::terminate(); }

} // extern "C"
