// The bootstrapper is built without C++ exceptions and links no unwinder.
// libstdc++ still reports its own errors (a string grown past max_size(), an
// allocation that fails, an empty std::function called) through the
// std::__throw_* hooks of <bits/functexcept.h>, and its operator new throws std::bad_alloc itself;
// either would link the throw machinery and the DWARF unwinder (about 38 KB).
// NuBenSetup.exe defines every hook and the allocation functions itself,
// so that neither is linked. Linked into the bootstrapper only; tests keep
// the library's own.
//
// None of these can happen on a sound run: each ends the process at once,
// quietly, with exit code 0, the code the bootstrapper ends with on every
// path. Nothing runs after it: no further step of a removal, no start.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void EndQuietly() {
    TerminateProcess(GetCurrentProcess(), 0);
    // TerminateProcess does not return for the current process; should it
    // ever, nothing may run on.
    std::abort();
}

}  // namespace

namespace std {

// One line each: all alike.
// clang-format off
void __throw_bad_exception() { EndQuietly(); }
void __throw_bad_alloc() { EndQuietly(); }
void __throw_bad_array_new_length() { EndQuietly(); }
void __throw_bad_cast() { EndQuietly(); }
void __throw_bad_typeid() { EndQuietly(); }
void __throw_logic_error(const char*) { EndQuietly(); }
void __throw_domain_error(const char*) { EndQuietly(); }
void __throw_invalid_argument(const char*) { EndQuietly(); }
void __throw_length_error(const char*) { EndQuietly(); }
void __throw_out_of_range(const char*) { EndQuietly(); }
void __throw_out_of_range_fmt(const char*, ...) { EndQuietly(); }
void __throw_runtime_error(const char*) { EndQuietly(); }
void __throw_range_error(const char*) { EndQuietly(); }
void __throw_overflow_error(const char*) { EndQuietly(); }
void __throw_underflow_error(const char*) { EndQuietly(); }
void __throw_bad_function_call() { EndQuietly(); }
// clang-format on

}  // namespace std

// The replaceable allocation functions: libstdc++'s throw std::bad_alloc.
void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) EndQuietly();
    return block;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
