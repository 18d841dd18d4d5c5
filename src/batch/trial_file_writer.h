#pragma once

#include "batch/trial_runner.h"

#include <fstream>
#include <span>
#include <string>

namespace velmora {

// The extension of path, lower-cased: ".CSV" for "t.CSV" gives ".csv".
std::string lowerExtension(const std::string& path);

// Writes one row per trial: JSON Lines for a ".jsonl" path, CSV with a header for ".csv". The rows go to a
// sibling file that takes the path's name only at commit(), so an interrupted or failed run never leaves
// a short file that looks complete, nor destroys the file it would replace.
class TrialFileWriter {
public:
    enum class Format { JsonLines, Csv };

    // Throws ScenarioError for any other extension (matched case-insensitively) or a file it cannot create.
    explicit TrialFileWriter(const std::string& path);
    ~TrialFileWriter();
    TrialFileWriter(const TrialFileWriter&) = delete;
    TrialFileWriter& operator=(const TrialFileWriter&) = delete;

    static Format formatOf(const std::string& path);

    void write(std::span<const TrialResult> rows);

    // Throws std::runtime_error when the rows could not all be written.
    void commit();

private:
    std::string path_;
    std::string partialPath_;
    Format format_;
    std::ofstream out_;
    std::string text_;
    bool committed_ = false;
};

}  // namespace velmora
