#include "batch/trial_file_writer.h"

#include "batch/json_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace velmora {
namespace {

void appendCsvRow(std::string& out, const TrialResult& r)
{
    out += std::to_string(r.trial);
    out += ',';
    out += std::to_string(r.seedState);
    out += r.initialized ? ",true," : ",false,";
    if (r.initialized)
        out += numberText(r.timeToInitialize);
    out += ',';
    out += std::to_string(r.links);
    out += ',';
    out += std::to_string(r.groups);
    out += '\n';
}

void appendJsonRow(std::string& out, const TrialResult& r)
{
    nlohmann::ordered_json row;
    row["trial"] = r.trial;
    row["seedState"] = r.seedState;
    row["initialized"] = r.initialized;
    row["timeToInitialize"] = r.initialized ? nlohmann::ordered_json(r.timeToInitialize) : nullptr;
    row["links"] = r.links;
    row["groups"] = r.groups;
    out += toJsonText(row);
    out += '\n';
}

}  // namespace

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

TrialFileWriter::Format TrialFileWriter::formatOf(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    if (ext == ".jsonl")
        return Format::JsonLines;
    if (ext == ".csv")
        return Format::Csv;
    throw ScenarioError("--trials-out \"" + path + "\": the name must end in .jsonl (JSON Lines) or .csv");
}

TrialFileWriter::TrialFileWriter(const std::string& path) : format_(formatOf(path))
{
    try {
        file_.emplace(path);
    } catch (const FileError& e) {
        throw ScenarioError("--trials-out: " + std::string(e.what()));
    }
    if (format_ == Format::Csv)
        file_->write("trial,seedState,initialized,timeToInitialize,links,groups\n");
}

void TrialFileWriter::write(std::span<const TrialResult> rows)
{
    text_.clear();
    for (const TrialResult& r : rows) {
        if (format_ == Format::Csv)
            appendCsvRow(text_, r);
        else
            appendJsonRow(text_, r);
    }
    file_->write(text_);
}

void TrialFileWriter::commit() { file_->commit(); }

}  // namespace velmora
