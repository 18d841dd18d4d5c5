#pragma once

#include "files/replacing_file.h"
#include "sim/formation.h"

#include <cstdint>
#include <span>
#include <string>

namespace velmora {

struct ScenarioLink;

// The time history of one run, one row per recorded step, streamed to its file as the run goes: CSV with a
// header for a ".csv" path, JSON Lines for ".jsonl". A row holds the step, the formation time and every
// craft's position and sensor axis (the axis its sensor cone opens along, in world coordinates), plus the
// pairs whose first mutual sighting came in that step, with the exact moments they first saw each other. Rows are written for step 0 (the set-up), every
// `every`-th step, the last step, and every step in which a link formed, so thinning never hides a link.
// Like every file Velmora writes, it takes its name only once it is complete (commit()).
class HistoryWriter {
public:
    enum class Format { Csv, JsonLines };

    // Throws InputError for a name that ends in neither .csv nor .jsonl (any case), a folder that does not
    // exist or a file it cannot create.
    HistoryWriter(const std::string& path, std::int64_t every);

    // The formation as set up, before its first step; it fixes the craft count (and the CSV columns).
    void start(const Formation& f);

    // After step `step` of a run of lastStep steps; formed: the links that step made.
    void stepped(const Formation& f, std::int64_t step, std::int64_t lastStep, std::span<const ScenarioLink> formed);

    // Throws FileError when the rows could not all be written.
    void commit();

    // About how many bytes the file will hold for a run of lastStep steps: rows as long as the set-up's with
    // every coordinate written in full, as a moving formation's are; rows for links are left out. Known once
    // started.
    std::uint64_t expectedBytes(std::int64_t lastStep) const;

private:
    void writeRow(const Formation& f, std::int64_t step, std::span<const ScenarioLink> formed);

    Format format_;
    std::int64_t every_;
    ReplacingFile file_;
    // Reused for every row, so recording allocates nothing once the first rows have sized it.
    std::string row_;
    std::uint64_t headerBytes_ = 0;
    std::uint64_t rowBytes_ = 0;
};

}  // namespace velmora
