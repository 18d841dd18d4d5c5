// Recording a run's history allocates nothing per row: a run of a hundred million steps writes its rows from
// one reused buffer, as the formation steps without allocating.
#include "batch/history_writer.h"
#include "batch/scenario_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <unistd.h>

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

TEST(HistoryAllocation, RowsAfterTheFirstAllocateNothing)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-history-alloc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"h.csv", "h.jsonl"}) {
        auto f = std::make_unique<Formation>();
        FormationParams p(5.0, 500.0);
        p.craftRadius = 10;
        p.ThetaFOV = 1.2;
        f->setParams(p);
        f->setup(Formation::capacity);
        const ScenarioLink formed[] = {{0, 1, 1, 0.01}, {2, 19, 1, 0.01}};
        HistoryWriter history((dir / name).string(), 1);
        history.start(*f);
        // 20 craft with links: as long as a row gets.
        f->step(0.01);
        history.stepped(*f, 1, 3000, formed);

        const long before = allocations.load();
        for (std::int64_t k = 2; k <= 3000; ++k) {
            f->step(0.01);
            history.stepped(*f, k, 3000, k % 7 == 0 ? std::span<const ScenarioLink>(formed) : std::span<const ScenarioLink>());
        }
        EXPECT_EQ(allocations.load(), before) << name;
        history.commit();
        EXPECT_GT(std::filesystem::file_size(dir / name), 3000u * 20u * 6u) << name;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora
