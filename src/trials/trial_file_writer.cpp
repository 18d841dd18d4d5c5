#include "trials/trial_file_writer.h"

#include "files/file_names.h"
#include "text/input_error.h"
#include "text/json_writer.h"

namespace velmora {
namespace {

void appendCsvRow(std::string& out, const std::string& parameters, const TrialResult& r)
{
    out += parameters;
    out += std::to_string(r.trial);
    out += ',';
    out += std::to_string(r.seedState);
    out += r.initialized ? ",true," : ",false,";
    if (r.initialized) {
        out += std::to_string(r.stepsToInitialize);
        out += ',';
        // To the step: a CSV reader gets 14.05; the JSON Lines file keeps the exact double.
        appendStepTime(out, r.timeToInitialize);
        out += ',';
        // A moment within the step, which no step count recovers: shortest round trip, exact.
        appendNumberText(out, r.exactTimeToInitialize);
    } else {
        out += ",,";
    }
    out += ',';
    out += std::to_string(r.links);
    out += ',';
    out += std::to_string(r.groups);
    out += ',';
    out += std::to_string(r.missedSightings);
    out += '\n';
}

void appendJsonRow(std::string& out, const std::string& parameters, const TrialResult& r)
{
    out += parameters;
    out += ",\"trial\":";
    out += std::to_string(r.trial);
    out += ",\"seedState\":";
    out += std::to_string(r.seedState);
    out += r.initialized ? ",\"initialized\":true" : ",\"initialized\":false";
    if (r.initialized) {
        out += ",\"stepsToInitialize\":";
        out += std::to_string(r.stepsToInitialize);
        out += ",\"timeToInitialize\":";
        appendJsonDouble(out, r.timeToInitialize);
        out += ",\"exactTimeToInitialize\":";
        appendJsonDouble(out, r.exactTimeToInitialize);
    } else {
        out += ",\"stepsToInitialize\":null,\"timeToInitialize\":null,\"exactTimeToInitialize\":null";
    }
    out += ",\"links\":";
    out += std::to_string(r.links);
    out += ",\"groups\":";
    out += std::to_string(r.groups);
    out += ",\"missedSightings\":";
    out += std::to_string(r.missedSightings);
    out += "}\n";
}

}  // namespace

const std::string& trialCsvHeader()
{
    static const std::string header = [] {
        std::string text;
        for (const std::string_view key : trialParameterKeys)
            text.append(key).append(",");
        return text + "trial,seedState,initialized,stepsToInitialize,timeToInitialize,exactTimeToInitialize,links,"
                      "groups,missedSightings";
    }();
    return header;
}

TrialFileWriter::Format TrialFileWriter::formatOf(const std::string& path, const std::string& option)
{
    const std::string ext = lowerExtension(path);
    if (ext == ".jsonl")
        return Format::JsonLines;
    if (ext == ".csv")
        return Format::Csv;
    throw InputError(option + " \"" + path + "\": the name must end in .jsonl (JSON Lines) or .csv");
}

TrialFileWriter::TrialFileWriter(const std::string& path) : format_(formatOf(path))
{
    try {
        file_.emplace(path);
    } catch (const FileError& e) {
        throw InputError("--trials-out: " + std::string(e.what()));
    }
    if (format_ == Format::Csv) {
        file_->write(trialCsvHeader());
        file_->write("\n");
    }
}

void TrialFileWriter::write(std::span<const TrialResult> rows, const TrialOrigin& origin)
{
    // The parameters are the same for every row of a block: written out once, copied into each row.
    std::string parameters;
    if (format_ == Format::Csv) {
        for (const std::string& text : trialParameterTexts(origin))
            parameters += text + ',';
    } else {
        parameters = toJsonText(trialParameterJson(origin));
        parameters.pop_back();  // the closing brace: the trial's own members follow
    }
    text_.clear();
    for (const TrialResult& r : rows) {
        if (format_ == Format::Csv)
            appendCsvRow(text_, parameters, r);
        else
            appendJsonRow(text_, parameters, r);
    }
    file_->write(text_);
}

void TrialFileWriter::commit() { file_->commit(); }

}  // namespace velmora
