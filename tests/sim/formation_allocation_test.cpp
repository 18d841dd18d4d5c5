#include "sim/formation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Out of line, like the deletes below: inlined, GCC would pair a malloc() at a call site with an operator
// delete (or a free() with the built-in operator new) and flag it as a mismatched deallocation.
[[gnu::noinline]] void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

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
    for (int k = 0; k < 3000; ++k) {
        f->step(0.01);
        EXPECT_TRUE(f->checkInvariants());
    }
    f->setupCounterexample();
    f->step(0.01);
    EXPECT_EQ(allocations.load(), before);
    delete f;
}

}  // namespace
}  // namespace velmora
