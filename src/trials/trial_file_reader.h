#pragma once

#include "text/input_error.h"
#include "trials/step_clock.h"
#include "trials/trial_file_writer.h"
#include "trials/trial_parameters.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// A trial file that cannot be read or merged: the message names the file and, for a bad row, its line.
class TrialFileError : public InputError {
public:
    using InputError::InputError;
};

// An older sweep file's row names only its cell's algorithm and field of view.
struct TrialCell {
    int algorithm = 0;
    double fovDeg = 0.0;
};

// One row of a trial file.
struct TrialRow {
    TrialResult result;
    // The parameters that made it; nothing in a file written before rows carried them.
    std::optional<TrialOrigin> origin;
    // Such an older file's sweep rows: their cell.
    std::optional<TrialCell> cell;
    // A CSV row's time to initialize as written (to two decimals); the exact time is the step's, which
    // StepClock gives. Empty for JSON Lines, whose result holds the exact time as written.
    std::string csvTime;
};

// A trial file row is a few hundred bytes; a line far longer is not one.
inline constexpr std::size_t maxTrialRowBytes = 4096;

// Reads a trial file that TrialFileWriter wrote (JSON Lines or CSV, by extension), or an older one without
// the sighting rule, the exact time and the missed sightings (its rows sighted on the grid), or without the
// parameter columns, one row at a time, in bounded memory however long the file. Every row is checked
// for its form; a bad one is refused with the file's name and line number. Line ends may be CR LF, and a
// CSV file may start with a byte order mark; a file whose last row has no line end was cut short.
class TrialFileReader {
public:
    // Throws TrialFileError when the file cannot be opened or has another extension.
    explicit TrialFileReader(const std::string& path);
    ~TrialFileReader();
    TrialFileReader(const TrialFileReader&) = delete;
    TrialFileReader& operator=(const TrialFileReader&) = delete;

    // The next row, or nothing at the end of the file. Throws TrialFileError.
    std::optional<TrialRow> next();

    // Checks the row just read against the parameters that made it: its trial within their range, the seed's
    // state, links and groups possible for the count, initialized exactly when in one group, a time to
    // initialize that is the time after its step, within the step limit, and an exact time within that step. hint ends each message (why the row
    // may not fit, for an older file whose parameters came from elsewhere). Throws TrialFileError.
    void check(const TrialRow& row, const TrialOrigin& origin, StepClock& clock, const std::string& hint = {}) const;

    const std::string& path() const { return path_; }
    std::uint64_t lineNumber() const { return line_; }

    // Throws TrialFileError naming the file and the line last read.
    [[noreturn]] void fail(const std::string& what) const;

private:
    enum class Layout { Unknown, Parameters, OlderParameters, Plain, Cell };

    bool nextLine(std::string& line);
    TrialRow parseCsv(const std::string& line);
    TrialRow parseJson(const std::string& line);
    void settle(Layout layout, const char* which);

    std::string path_;
    TrialFileWriter::Format format_;
    int fd_ = -1;
    std::string buffer_;
    std::size_t start_ = 0;
    bool eof_ = false;
    std::uint64_t line_ = 0;
    Layout layout_ = Layout::Unknown;
};

}  // namespace velmora
