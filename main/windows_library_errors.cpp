// The C++ library's throwing helpers, for Tessivo.exe alone.
//
// The library's own versions throw its exception classes, and these bring
// along the message strings of the old string ABI, its random device and
// more: a fifth of the program's size. The throws here carry the same
// message as a plain std::exception, which is all the program tells apart
// (the dialog's data exchange catches std::exception and reports an internal
// failure; anything else ends in std::terminate, which is abort here). The
// standard classes that need no message string are thrown as they are. All
// helpers are defined here, so the library's file of them is never linked;
// the test programs keep the library's.
#include <bits/functexcept.h>

#include <cstdarg>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError : public std::exception {
 public:
  explicit LibraryError(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;  // the library passes string literals
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* message) { throw LibraryError(message); }
void __throw_domain_error(const char* message) { throw LibraryError(message); }
void __throw_invalid_argument(const char* message) { throw LibraryError(message); }
void __throw_length_error(const char* message) { throw LibraryError(message); }
void __throw_out_of_range(const char* message) { throw LibraryError(message); }
// The message is the format without its numbers (an index, a size), or the
// function's name where the format begins with it ("%s: __pos ...").
void __throw_out_of_range_fmt(const char* format, ...) {
  const char* message = format;
  if (format[0] == '%' && format[1] == 's') {
    va_list arguments;
    va_start(arguments, format);
    message = va_arg(arguments, const char*);
    va_end(arguments);
  }
  throw LibraryError(message);
}
void __throw_runtime_error(const char* message) { throw LibraryError(message); }
void __throw_range_error(const char* message) { throw LibraryError(message); }
void __throw_overflow_error(const char* message) { throw LibraryError(message); }
void __throw_underflow_error(const char* message) { throw LibraryError(message); }

}  // namespace std
