// The parts of the C++ runtime that the programs take in their own small form.
//
// The programs are built without exceptions: nothing in them throws, and
// the few failures the library would report by throwing (memory exhausted, a
// string past its maximum length, an index out of range) are faults that no
// part of the program could recover from. The library's throwing helpers are
// replaced here by ones that end the process at once, which keeps the
// exception machinery, the exception classes with their type information and
// the demangler of the default terminate handler out of the executable.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>
#include <string>

// The library's own copy of the string classes' members is built with exceptions
// and would bring the unwinder with it; this copy is built like the program,
// and the linker keeps only the members that are used.
template class std::basic_string<char>;
template class std::basic_string<wchar_t>;

namespace {
[[noreturn]] void EndProcess() { std::abort(); }
} // namespace

namespace std {
void __throw_bad_exception() { EndProcess(); }
void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
void __throw_bad_cast() { EndProcess(); }
void __throw_bad_typeid() { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_domain_error(const char*) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_length_error(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_runtime_error(const char*) { EndProcess(); }
void __throw_range_error(const char*) { EndProcess(); }
void __throw_overflow_error(const char*) { EndProcess(); }
void __throw_underflow_error(const char*) { EndProcess(); }
void __throw_bad_function_call() { EndProcess(); }
} // namespace std

// Allocation never returns null and never throws: it succeeds or ends the process.
void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    EndProcess();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept { std::free(block); }

void operator delete[](void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
