#pragma once

#include "batch/trial_runner.h"
#include "files/replacing_file.h"

#include <optional>
#include <span>
#include <string>

namespace velmora {

// The extension of path, lower-cased: ".CSV" for "t.CSV" gives ".csv".
std::string lowerExtension(const std::string& path);

// Writes one row per trial: JSON Lines for a ".jsonl" path, CSV with a header for ".csv". The rows go to a
// temporary file of its own beside the path that takes the path's name only at commit(), so an interrupted
// or failed run never leaves a short file that looks complete, nor destroys the file it would replace.
class TrialFileWriter {
public:
    enum class Format { JsonLines, Csv };

    // Throws ScenarioError for any other extension (matched case-insensitively) or a file it cannot create.
    explicit TrialFileWriter(const std::string& path);

    static Format formatOf(const std::string& path);

    // Throws FileError when the rows could not be written.
    void write(std::span<const TrialResult> rows);

    // Throws FileError when the rows could not all be written.
    void commit();

private:
    Format format_;
    std::optional<ReplacingFile> file_;
    std::string text_;
};

}  // namespace velmora
