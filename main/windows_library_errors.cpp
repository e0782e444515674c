// The C++ library's throwing helpers, for Tessivo.exe alone.
//
// Nothing in the program catches an exception: a throw from the library (a
// string grown past its maximum, an index out of range: a fault of the
// program) ends in std::terminate, which is abort here (see windows.cmake).
// These helpers go to abort directly, with the same exit. The library's own
// versions would bring its exception classes along, and with them the
// message strings of the old string ABI, its random device and more: a fifth
// of the program's size. All of them are defined here, so the library's
// file of them is never linked; the test programs keep the library's.
#include <bits/functexcept.h>

#include <cstdlib>

namespace std {

void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }

}  // namespace std
