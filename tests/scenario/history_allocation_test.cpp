// Recording a run's history allocates nothing per row: a run of a hundred million steps writes its rows from
// one reused buffer, as the formation steps without allocating.
#include "scenario/history_writer.h"
#include "scenario/scenario_run.h"

#include "support/counted_new.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

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

        const long before = test::allocations.load();
        for (std::int64_t k = 2; k <= 3000; ++k) {
            f->step(0.01);
            history.stepped(*f, k, 3000, k % 7 == 0 ? std::span<const ScenarioLink>(formed) : std::span<const ScenarioLink>());
        }
        EXPECT_EQ(test::allocations.load(), before) << name;
        history.commit();
        EXPECT_GT(std::filesystem::file_size(dir / name), 3000u * 20u * 6u) << name;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora
