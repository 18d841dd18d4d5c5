#pragma once

#include "files/replacing_file.h"
#include "trials/trial_parameters.h"
#include "trials/trial_runner.h"

#include <optional>
#include <span>
#include <string>

namespace velmora {

// The header row of a CSV trial file, without the line end: the parameter columns, then the trial's own.
const std::string& trialCsvHeader();

// Writes one row per trial, each with the parameters that made it: JSON Lines for a ".jsonl" path, CSV with
// a header for ".csv". The rows go to a temporary file of its own beside the path that takes the path's name
// only at commit(), so an interrupted or failed run never leaves a short file that looks complete, nor
// destroys the file it would replace.
class TrialFileWriter {
public:
    enum class Format { JsonLines, Csv };

    // Throws InputError for any other extension (matched case-insensitively) or a file it cannot create.
    explicit TrialFileWriter(const std::string& path);

    // The format a trial file's name asks for; option names the file in the message for any other name.
    static Format formatOf(const std::string& path, const std::string& option = "--trials-out");

    // Throws FileError when the rows could not be written.
    void write(std::span<const TrialResult> rows, const TrialOrigin& origin);

    // Throws FileError when the rows could not all be written.
    void commit();

private:
    Format format_;
    std::optional<ReplacingFile> file_;
    std::string text_;
};

}  // namespace velmora
