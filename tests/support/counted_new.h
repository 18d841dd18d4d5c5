#pragma once

// Replaces the global operator new of a test program with one that counts, so a test can prove that a piece
// of code allocates nothing. Include it in exactly one file of the program: it defines the operators.
#include <atomic>
#include <cstdlib>
#include <new>

namespace velmora::test {

inline std::atomic<long> allocations{0};

}  // namespace velmora::test

// Out of line, like the deletes below: inlined, GCC would pair a malloc() at a call site with an operator
// delete (or a free() with the built-in operator new) and flag it as a mismatched deallocation.
[[gnu::noinline]] void* operator new(std::size_t size)
{
    ++velmora::test::allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
