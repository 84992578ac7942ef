// libstdc++ raises its own errors (length_error, out_of_range...) through
// the std::__throw_* hooks of <bits/functexcept.h>. Its definitions,
// functexcept.o, build std::logic_error and friends, which link a second,
// reference-counted string implementation and a printf (about 45 KB).
// NuBenSetup.exe defines every hook itself, so that object is never
// linked. Linked into the bootstrapper only; tests keep the library's own.
//
// Every catch in the bootstrapper is catch (...): what matters is that an
// error still propagates as an exception. The types that need no string
// stay the library's; the others become one small type carrying the
// library's message (a string literal, so the pointer stays valid).
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError final : public std::exception {
  public:
    explicit LibraryError(const char* message) noexcept : message_(message) {}
    const char* what() const noexcept override { return message_ ? message_ : "std::exception"; }

  private:
    const char* message_;
};

}  // namespace

namespace std {

void __throw_bad_exception() {
    throw std::bad_exception();
}
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}
void __throw_bad_cast() {
    throw std::bad_cast();
}
void __throw_bad_typeid() {
    throw std::bad_typeid();
}
void __throw_logic_error(const char* message) {
    throw LibraryError(message);
}
void __throw_domain_error(const char* message) {
    throw LibraryError(message);
}
void __throw_invalid_argument(const char* message) {
    throw LibraryError(message);
}
void __throw_length_error(const char* message) {
    throw LibraryError(message);
}
void __throw_out_of_range(const char* message) {
    throw LibraryError(message);
}
// The format's arguments are dropped: formatting them is what links printf.
void __throw_out_of_range_fmt(const char* format, ...) {
    throw LibraryError(format);
}
void __throw_runtime_error(const char* message) {
    throw LibraryError(message);
}
void __throw_range_error(const char* message) {
    throw LibraryError(message);
}
void __throw_overflow_error(const char* message) {
    throw LibraryError(message);
}
void __throw_underflow_error(const char* message) {
    throw LibraryError(message);
}

}  // namespace std
