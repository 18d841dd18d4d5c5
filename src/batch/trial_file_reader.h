#pragma once

#include "batch/batch_run.h"
#include "batch/trial_file_writer.h"
#include "batch/trial_runner.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One row of a trial file, and the sweep cell it belongs to when the file is a sweep's.
struct TrialRow {
    TrialResult result;
    std::optional<TrialCell> cell;
    // A CSV row's time to initialize as written (to two decimals); the exact time is the step's, which
    // StepClock gives. Empty for JSON Lines, whose result holds the exact time as written.
    std::string csvTime;
};

// A trial file row is about a hundred bytes; a line far longer is not one.
inline constexpr std::size_t maxTrialRowBytes = 4096;

// Reads a trial file that TrialFileWriter wrote (JSON Lines or CSV, by extension) one row at a time, in
// bounded memory however long the file. Every row is checked for its form; a bad one is refused with the
// file's name and line number.
class TrialFileReader {
public:
    // Throws ScenarioError when the file cannot be opened or has another extension.
    explicit TrialFileReader(const std::string& path);
    ~TrialFileReader();
    TrialFileReader(const TrialFileReader&) = delete;
    TrialFileReader& operator=(const TrialFileReader&) = delete;

    // The next row, or nothing at the end of the file. Throws ScenarioError.
    std::optional<TrialRow> next();

    const std::string& path() const { return path_; }
    std::uint64_t lineNumber() const { return line_; }

private:
    bool nextLine(std::string& line);
    TrialRow parseCsv(const std::string& line);
    TrialRow parseJson(const std::string& line);
public:
    // Throws ScenarioError naming the file and the line last read.
    [[noreturn]] void fail(const std::string& what) const;

private:

    std::string path_;
    TrialFileWriter::Format format_;
    int fd_ = -1;
    std::string buffer_;
    std::size_t start_ = 0;
    bool eof_ = false;
    std::uint64_t line_ = 0;
    bool perCell_ = false;
    bool sawRow_ = false;
};

// The formation time after k steps of 0.01 s, to the last bit: the sum the simulation forms, one step at
// a time. Remembers what it has summed, so a file's rows cost little each.
class StepClock {
public:
    double timeAfter(std::int64_t steps);

private:
    // Every 4096th step's time, from step 0.
    std::vector<double> checkpoints_{0.0};
    std::map<std::int64_t, double> known_;
};

// The trials a summary of merged files covers: first to first + count - 1.
struct TrialSpan {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// Joins the trial files of the shards of one batch, or of one sweep, into the summaries the unsplit run
// prints: one BatchRun per cell, in the order the cells first appear (a batch has one). setup gives the
// parameters the rows do not carry (a sweep's rows carry their algorithm and field of view), steps the
// batch's step count (by default until the longest plan has ended). Every row must
// belong to setup's seed, and the files must hold each trial of whole once, in every cell. Throws ScenarioError naming the
// file and line of a bad row, or the missing or doubled trial range.
struct MergedTrials {
    bool sweep = false;
    std::vector<BatchRun> cells;
};
MergedTrials mergeTrialFiles(const std::vector<std::string>& paths, const TrialSetup& setup,
                             std::optional<std::int64_t> steps, TrialSpan whole);

}  // namespace velmora
