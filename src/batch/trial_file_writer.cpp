#include "batch/trial_file_writer.h"

#include "batch/json_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

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

TrialFileWriter::TrialFileWriter(const std::string& path)
    : path_(path), partialPath_(path + ".partial"), format_(formatOf(path))
{
    if (std::filesystem::is_directory(path_))
        throw ScenarioError("--trials-out \"" + path + "\" is a directory");
    out_.open(partialPath_, std::ios::binary | std::ios::trunc);
    if (!out_)
        throw ScenarioError("--trials-out \"" + path + "\": cannot create \"" + partialPath_ + "\"");
    if (format_ == Format::Csv)
        out_ << "trial,seedState,initialized,timeToInitialize,links,groups\n";
}

TrialFileWriter::~TrialFileWriter()
{
    if (!committed_) {
        out_.close();
        std::error_code ignored;
        std::filesystem::remove(partialPath_, ignored);
    }
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
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    if (!out_)
        throw std::runtime_error("could not write trials to \"" + partialPath_ + "\"");
}

void TrialFileWriter::commit()
{
    out_.close();
    if (!out_)
        throw std::runtime_error("could not write all trials to \"" + partialPath_ + "\"");
    std::error_code error;
    std::filesystem::rename(partialPath_, path_, error);
    if (error)
        throw std::runtime_error("could not rename \"" + partialPath_ + "\" to \"" + path_ + "\": " +
                                 error.message());
    committed_ = true;
}

}  // namespace velmora
