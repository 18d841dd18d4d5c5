#pragma once

#include "files/replacing_file.h"
#include "trials/trial_runner.h"

#include <optional>
#include <span>
#include <string>

namespace velmora {

// A sweep's rows say which cell (algorithm and field of view) they belong to.
struct TrialCell {
    int algorithm = 0;
    double fovDeg = 0.0;
};

// The header rows of CSV trial files, without the line end: a batch's, and a sweep's with its cell columns.
extern const char* const trialCsvHeader;
extern const char* const cellTrialCsvHeader;

// Writes one row per trial: JSON Lines for a ".jsonl" path, CSV with a header for ".csv". The rows go to a
// temporary file of its own beside the path that takes the path's name only at commit(), so an interrupted
// or failed run never leaves a short file that looks complete, nor destroys the file it would replace.
class TrialFileWriter {
public:
    enum class Format { JsonLines, Csv };

    // Throws InputError for any other extension (matched case-insensitively) or a file it cannot create.
    // perCell: the rows start with the algorithm and field of view of their sweep cell.
    explicit TrialFileWriter(const std::string& path, bool perCell = false);

    static Format formatOf(const std::string& path);

    // Throws FileError when the rows could not be written.
    void write(std::span<const TrialResult> rows, const std::optional<TrialCell>& cell = std::nullopt);

    // Throws FileError when the rows could not all be written.
    void commit();

private:
    Format format_;
    std::optional<ReplacingFile> file_;
    std::string text_;
};

}  // namespace velmora
