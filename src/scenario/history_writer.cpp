#include "scenario/history_writer.h"

#include "files/file_names.h"
#include "scenario/scenario.h"
#include "scenario/scenario_run.h"
#include "text/json_writer.h"

#include <array>
#include <charconv>
#include <filesystem>

namespace velmora {
namespace {

HistoryWriter::Format formatOf(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    if (ext == ".csv")
        return HistoryWriter::Format::Csv;
    if (ext == ".jsonl")
        return HistoryWriter::Format::JsonLines;
    throw InputError("--history \"" + path + "\": the name must end in .csv or .jsonl (JSON Lines)");
}

// Said before anything runs: a long run should not end by finding it has nowhere to put its history.
ReplacingFile openFile(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent))
        throw InputError("--history \"" + path + "\": no folder \"" + parent.string() + "\"");
    try {
        return ReplacingFile(path);
    } catch (const FileError& e) {
        throw InputError("--history: " + std::string(e.what()));
    }
}

void appendInteger(std::string& out, std::int64_t v)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

void appendCsvVector(std::string& out, const Vec3& v)
{
    for (const double c : {v.x, v.y, v.z}) {
        out += ',';
        appendNumberText(out, c);
    }
}

void appendJsonVector(std::string& out, const Vec3& v)
{
    out += '[';
    appendJsonDouble(out, v.x);
    out += ',';
    appendJsonDouble(out, v.y);
    out += ',';
    appendJsonDouble(out, v.z);
    out += ']';
}

}  // namespace

HistoryWriter::HistoryWriter(const std::string& path, std::int64_t every)
    : format_(formatOf(path)), every_(every), file_(openFile(path))
{
    // The longest row: 20 craft of six 24-character numbers and all 190 pairs linked in one step with their
    // exact moments, under 12 KB. Sized once, the buffer never grows while the run goes.
    row_.reserve(16384);
}

void HistoryWriter::start(const Formation& f)
{
    if (format_ == Format::Csv) {
        row_ = "step,time";
        for (int i = 0; i < f.craftCount(); ++i) {
            const std::string n = std::to_string(i);
            row_ += ",x" + n + ",y" + n + ",z" + n + ",axisX" + n + ",axisY" + n + ",axisZ" + n;
        }
        row_ += ",links,exactTimes\n";
        file_.write(row_);
        headerBytes_ = row_.size();
    }
    writeRow(f, 0, {});
    // The set-up's numbers are often short (whole positions, axes along a box edge); once the craft move and
    // turn, a coordinate takes 17 significant digits, a point and, for about half of them, a sign.
    constexpr std::size_t movingNumberBytes = 19;
    std::size_t numberBytes = 0;
    for (int i = 0; i < f.craftCount(); ++i)
        for (const Vec3& v : {f.spacecraft(i).position, f.spacecraft(i).sensorCone().axis})
            for (int k = 0; k < 3; ++k) {
                std::array<char, 32> digits{};
                numberBytes += static_cast<std::size_t>(
                    std::to_chars(digits.data(), digits.data() + digits.size(), v[k]).ptr - digits.data());
            }
    rowBytes_ = row_.size() - numberBytes + 6 * static_cast<std::size_t>(f.craftCount()) * movingNumberBytes;
}

std::uint64_t HistoryWriter::expectedBytes(std::int64_t lastStep) const
{
    // Step 0, every every_'th step, and the last step.
    const auto rows = static_cast<std::uint64_t>(lastStep / every_) + 2;
    return headerBytes_ + rows * rowBytes_;
}

void HistoryWriter::stepped(const Formation& f, std::int64_t step, std::int64_t lastStep,
                            std::span<const ScenarioLink> formed)
{
    if (step % every_ == 0 || step == lastStep || !formed.empty())
        writeRow(f, step, formed);
}

void HistoryWriter::writeRow(const Formation& f, std::int64_t step, std::span<const ScenarioLink> formed)
{
    row_.clear();
    if (format_ == Format::Csv) {
        appendInteger(row_, step);
        row_ += ',';
        // To the step, as in every text output; the JSON Lines file keeps the exact double, and the step
        // column joins both.
        appendStepTime(row_, f.time());
        for (int i = 0; i < f.craftCount(); ++i) {
            const Spacecraft& c = f.spacecraft(i);
            appendCsvVector(row_, c.position);
            appendCsvVector(row_, c.sensorCone().axis);
        }
        // Pairs as "i-j", blank-separated: no quoting needed, and one split recovers them. Their exact moments
        // follow in the same order, shortest round trip.
        row_ += ',';
        for (std::size_t k = 0; k < formed.size(); ++k) {
            if (k > 0)
                row_ += ' ';
            appendInteger(row_, formed[k].i);
            row_ += '-';
            appendInteger(row_, formed[k].j);
        }
        row_ += ',';
        for (std::size_t k = 0; k < formed.size(); ++k) {
            if (k > 0)
                row_ += ' ';
            appendNumberText(row_, formed[k].exactTime);
        }
    } else {
        row_ += "{\"step\":";
        appendInteger(row_, step);
        row_ += ",\"time\":";
        appendJsonDouble(row_, f.time());
        row_ += ",\"position\":[";
        for (int i = 0; i < f.craftCount(); ++i) {
            if (i > 0)
                row_ += ',';
            appendJsonVector(row_, f.spacecraft(i).position);
        }
        row_ += "],\"axis\":[";
        for (int i = 0; i < f.craftCount(); ++i) {
            if (i > 0)
                row_ += ',';
            appendJsonVector(row_, f.spacecraft(i).sensorCone().axis);
        }
        row_ += "],\"links\":[";
        for (std::size_t k = 0; k < formed.size(); ++k) {
            row_ += k > 0 ? ",{\"i\":" : "{\"i\":";
            appendInteger(row_, formed[k].i);
            row_ += ",\"j\":";
            appendInteger(row_, formed[k].j);
            row_ += ",\"exactTime\":";
            appendJsonDouble(row_, formed[k].exactTime);
            row_ += '}';
        }
        row_ += "]}";
    }
    row_ += '\n';
    file_.write(row_);
}

void HistoryWriter::commit() { file_.commit(); }

}  // namespace velmora
