#include "sim/formation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

// Not inlined: inlined, the free() would meet a pointer from the compiler's built-in operator new at the
// call site, which GCC flags as a mismatched deallocation in optimized sanitizer builds.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace velmora {
namespace {

TEST(FormationAllocation, SetupAndSteppingNeverAllocate)
{
    auto* f = new Formation;  // counted: proves the counter sees allocations
    EXPECT_GE(allocations.load(), 1);
    FormationParams p(5.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = 1.2;
    f->setParams(p);

    const long before = allocations.load();
    f->setup(Formation::capacity);
    for (int k = 0; k < 3000; ++k)
        f->step(0.01);
    f->setupCounterexample();
    f->step(0.01);
    EXPECT_EQ(allocations.load(), before);
    delete f;
}

}  // namespace
}  // namespace velmora
