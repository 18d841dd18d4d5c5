#pragma once

#include "text/input_error.h"
#include "trials/trial_file_writer.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// A trial file that cannot be read or merged: the message names the file and, for a bad row, its line.
class TrialFileError : public InputError {
public:
    using InputError::InputError;
};

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
    // Throws TrialFileError when the file cannot be opened or has another extension.
    explicit TrialFileReader(const std::string& path);
    ~TrialFileReader();
    TrialFileReader(const TrialFileReader&) = delete;
    TrialFileReader& operator=(const TrialFileReader&) = delete;

    // The next row, or nothing at the end of the file. Throws TrialFileError.
    std::optional<TrialRow> next();

    const std::string& path() const { return path_; }
    std::uint64_t lineNumber() const { return line_; }

private:
    bool nextLine(std::string& line);
    TrialRow parseCsv(const std::string& line);
    TrialRow parseJson(const std::string& line);
public:
    // Throws TrialFileError naming the file and the line last read.
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

}  // namespace velmora
