#include "trials/trial_file_writer.h"

#include "files/file_names.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"


namespace velmora {
namespace {

void appendCsvRow(std::string& out, const TrialResult& r, const std::optional<TrialCell>& cell)
{
    if (cell) {
        out += planAlgorithmNames[cell->algorithm];
        out += ',';
        out += numberText(cell->fovDeg);
        out += ',';
    }
    out += std::to_string(r.trial);
    out += ',';
    out += std::to_string(r.seedState);
    out += r.initialized ? ",true," : ",false,";
    if (r.initialized) {
        out += std::to_string(r.stepsToInitialize);
        out += ',';
        // To the step: a CSV reader gets 14.05; the JSON Lines file keeps the exact double.
        appendStepTime(out, r.timeToInitialize);
    } else {
        out += ',';
    }
    out += ',';
    out += std::to_string(r.links);
    out += ',';
    out += std::to_string(r.groups);
    out += '\n';
}

void appendJsonRow(std::string& out, const TrialResult& r, const std::optional<TrialCell>& cell)
{
    nlohmann::ordered_json row;
    if (cell) {
        row["algorithm"] = planAlgorithmNames[cell->algorithm];
        row["fovDeg"] = cell->fovDeg;
    }
    row["trial"] = r.trial;
    row["seedState"] = r.seedState;
    row["initialized"] = r.initialized;
    row["stepsToInitialize"] = r.initialized ? nlohmann::ordered_json(r.stepsToInitialize) : nullptr;
    row["timeToInitialize"] = r.initialized ? nlohmann::ordered_json(r.timeToInitialize) : nullptr;
    row["links"] = r.links;
    row["groups"] = r.groups;
    out += toJsonText(row);
    out += '\n';
}

}  // namespace

const char* const trialCsvHeader = "trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups";
const char* const cellTrialCsvHeader =
    "algorithm,fovDeg,trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups";

TrialFileWriter::Format TrialFileWriter::formatOf(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    if (ext == ".jsonl")
        return Format::JsonLines;
    if (ext == ".csv")
        return Format::Csv;
    throw InputError("--trials-out \"" + path + "\": the name must end in .jsonl (JSON Lines) or .csv");
}

TrialFileWriter::TrialFileWriter(const std::string& path, bool perCell) : format_(formatOf(path))
{
    try {
        file_.emplace(path);
    } catch (const FileError& e) {
        throw InputError("--trials-out: " + std::string(e.what()));
    }
    if (format_ == Format::Csv) {
        file_->write(perCell ? cellTrialCsvHeader : trialCsvHeader);
        file_->write("\n");
    }
}

void TrialFileWriter::write(std::span<const TrialResult> rows, const std::optional<TrialCell>& cell)
{
    text_.clear();
    for (const TrialResult& r : rows) {
        if (format_ == Format::Csv)
            appendCsvRow(text_, r, cell);
        else
            appendJsonRow(text_, r, cell);
    }
    file_->write(text_);
}

void TrialFileWriter::commit() { file_->commit(); }

}  // namespace velmora
