#include "trials/trial_file_reader.h"

#include "sim/plan_algorithm.h"
#include "text/json_reader.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using nlohmann::json;

// The headers of older files: before rows recorded the sighting rule, the exact moment and the missed
// sightings; and before every row carried its parameters, a batch's and a sweep's.
constexpr std::string_view olderParametersCsvHeader =
    "algorithm,plan,maxSpeed,fovDeg,tiltDeg,craftRadius,boxHalfSize,count,seed,firstTrial,trials,duration,steps,"
    "trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups";
constexpr std::string_view plainCsvHeader = "trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups";
constexpr std::string_view cellCsvHeader =
    "algorithm,fovDeg,trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

const JsonBounds& rowBounds()
{
    static const JsonBounds bounds{maxTrialRowBytes, 4, 64, "trial file", "", "a trial row needs one",
                                   "a trial row has 23 members"};
    return bounds;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

// The whole of text as a number of type T, or nothing: no sign where T has none, no spaces, no trailing text.
template <typename T>
std::optional<T> wholeNumberOf(std::string_view text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

template <typename T>
std::optional<T> integerOf(const json& value)
{
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
            return static_cast<T>(u);
    } else if (value.is_number_integer()) {
        const auto i = value.get<std::int64_t>();
        if (i >= 0 && static_cast<std::uint64_t>(i) <= static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
            return static_cast<T>(i);
    }
    return std::nullopt;
}

// A JSON row's parameter as a CSV file writes it, so both formats compare and read alike.
std::string parameterText(const json& value)
{
    if (value.is_null())
        return {};
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_float())
        return numberText(value.get<double>());
    if (value.is_number())
        return value.dump();
    return value.dump() + " (not a number or name)";
}

std::string range(std::uint64_t first, std::uint64_t last)
{
    return first == last ? "trial " + std::to_string(first)
                         : "trials " + std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

TrialFileReader::TrialFileReader(const std::string& path)
    : path_(path), format_(TrialFileWriter::formatOf(path, "trial file"))
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw TrialFileError("cannot read trial file \"" + excerpt(path, 200) + "\": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd_);
        throw TrialFileError("trial file \"" + excerpt(path, 200) + "\" is a directory, not a file");
    }
    if (format_ != TrialFileWriter::Format::Csv)
        return;
    // A constructor that throws runs no destructor: the descriptor is closed here.
    try {
        std::string header;
        if (!nextLine(header))
            fail("the file is empty; a CSV trial file starts with its header row");
        if (header == trialCsvHeader())
            layout_ = Layout::Parameters;
        else if (header == olderParametersCsvHeader)
            layout_ = Layout::OlderParameters;
        else if (header == plainCsvHeader)
            layout_ = Layout::Plain;
        else if (header == cellCsvHeader)
            layout_ = Layout::Cell;
        else
            fail("the header row is not a trial file's (\"" + std::string(trialCsvHeader()) + "\")");
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

TrialFileReader::~TrialFileReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TrialFileReader::fail(const std::string& what) const
{
    throw TrialFileError("\"" + excerpt(path_, 200) + "\", line " + std::to_string(line_) + ": " + what);
}

bool TrialFileReader::nextLine(std::string& line)
{
    for (;;) {
        const std::size_t end = buffer_.find('\n', start_);
        if (end != std::string::npos) {
            ++line_;
            if (end - start_ > maxTrialRowBytes)
                fail("a row of more than " + std::to_string(maxTrialRowBytes) + " bytes is not a trial row");
            line.assign(buffer_, start_, end - start_);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line_ == 1 && line.starts_with(byteOrderMark))
                line.erase(0, byteOrderMark.size());
            start_ = end + 1;
            return true;
        }
        if (eof_) {
            if (start_ == buffer_.size())
                return false;
            ++line_;
            fail("the last row has no line end: the file ends in the middle of a row (was it cut short?)");
        }
        if (buffer_.size() - start_ > maxTrialRowBytes) {
            ++line_;
            fail("a row of more than " + std::to_string(maxTrialRowBytes) + " bytes is not a trial row");
        }
        buffer_.erase(0, start_);
        start_ = 0;
        char chunk[64 * 1024];
        ssize_t n = 0;
        do
            n = ::read(fd_, chunk, sizeof chunk);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw TrialFileError("cannot read trial file \"" + excerpt(path_, 200) + "\": " + std::strerror(errno));
        if (n == 0)
            eof_ = true;
        else
            buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<TrialRow> TrialFileReader::next()
{
    std::string line;
    do {
        if (!nextLine(line))
            return std::nullopt;
    } while (line.empty());
    return format_ == TrialFileWriter::Format::Csv ? parseCsv(line) : parseJson(line);
}

void TrialFileReader::settle(Layout layout, const char* which)
{
    if (layout_ == Layout::Unknown)
        layout_ = layout;
    else if (layout != layout_)
        fail(std::string("a row ") + which + ", unlike the file's first row");
}

TrialRow TrialFileReader::parseCsv(const std::string& line)
{
    const std::vector<std::string_view> all = splitFields(line);
    const bool exact = layout_ == Layout::Parameters;
    const std::size_t offset = exact ? trialParameterCount
                               : layout_ == Layout::OlderParameters ? trialParameterCount - 1
                               : layout_ == Layout::Cell            ? 2
                                                                    : 0;
    const std::size_t results = exact ? 9 : 7;
    if (all.size() != offset + results)
        fail("a row has " + std::to_string(all.size()) + " fields where the header names " +
             std::to_string(offset + results));
    TrialRow row;
    if (layout_ == Layout::Parameters || layout_ == Layout::OlderParameters) {
        // An older row's run sighted on the grid, the only rule there was.
        TrialParameterTexts texts;
        texts[sightingKey] = sightingName(Sighting::Grid);
        std::copy(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(offset), texts.begin());
        try {
            row.origin = trialOriginFrom(texts);
        } catch (const InputError& e) {
            fail(e.what());
        }
    } else if (layout_ == Layout::Cell) {
        const auto algorithm = planAlgorithmFromName(std::string(all[0]));
        const auto fov = wholeNumberOf<double>(all[1]);
        if (!algorithm)
            fail("unknown algorithm \"" + excerpt(all[0]) + "\"");
        if (!fov || !(*fov > 0.0 && *fov < 90.0))
            fail("fovDeg \"" + excerpt(all[1]) + "\" is not a cone's half-angle (more than 0, less than 90)");
        row.cell = TrialCell{*algorithm, *fov};
    }
    // The result columns, in the older files' order: the exact moment and the missed sightings are apart.
    const auto f = [&](std::size_t i) { return all[offset + (exact && i >= 5 ? i + 1 : i)]; };
    const auto trial = wholeNumberOf<std::uint64_t>(f(0));
    const auto seedState = wholeNumberOf<std::uint32_t>(f(1));
    const auto links = wholeNumberOf<int>(f(5));
    const auto groups = wholeNumberOf<int>(f(6));
    if (!trial || !seedState || !links || !groups || (f(2) != "true" && f(2) != "false"))
        fail(exact ? "a row that is not \"...,trial,seedState,initialized,stepsToInitialize,timeToInitialize,"
                     "exactTimeToInitialize,links,groups,missedSightings\""
                   : "a row that is not \"...,trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,"
                     "groups\"");
    TrialResult& r = row.result;
    r.trial = *trial;
    r.seedState = *seedState;
    r.initialized = f(2) == "true";
    r.links = *links;
    r.groups = *groups;
    r.exactKnown = exact;
    if (r.initialized) {
        const auto steps = wholeNumberOf<std::int64_t>(f(3));
        if (!steps || *steps < 1)
            fail("an initialized trial needs its stepsToInitialize (a whole number of 1 or more)");
        r.stepsToInitialize = *steps;
        if (f(4).empty())
            fail("an initialized trial needs its timeToInitialize");
        row.csvTime = std::string(f(4));
    } else if (!f(3).empty() || !f(4).empty()) {
        fail("a trial that did not initialize has no stepsToInitialize or timeToInitialize");
    }
    if (exact) {
        const std::string_view moment = all[offset + 5];
        const auto missed = wholeNumberOf<int>(all[offset + 8]);
        if (!missed || *missed < 0)
            fail("missedSightings \"" + excerpt(all[offset + 8]) + "\" is not a count of 0 or more");
        r.missedSightings = *missed;
        if (r.initialized) {
            const auto time = wholeNumberOf<double>(moment);
            if (!time)
                fail("an initialized trial needs its exactTimeToInitialize (a number)");
            r.exactTimeToInitialize = *time;
        } else if (!moment.empty()) {
            fail("a trial that did not initialize has no exactTimeToInitialize");
        }
    }
    return row;
}

TrialRow TrialFileReader::parseJson(const std::string& line)
{
    json doc;
    try {
        doc = readJsonText(line, "the row", rowBounds());
    } catch (const InputError& e) {
        fail(e.what());
    }
    if (!doc.is_object())
        fail("a row that is not a JSON object");
    static constexpr std::string_view resultKeys[] = {"trial",      "seedState",        "initialized",
                                                      "stepsToInitialize", "timeToInitialize", "exactTimeToInitialize",
                                                      "links",      "groups",           "missedSightings"};
    std::size_t parameters = 0;
    for (const auto& [key, value] : doc.items()) {
        if (std::find(trialParameterKeys.begin(), trialParameterKeys.end(), key) != trialParameterKeys.end())
            ++parameters;
        else if (std::find(std::begin(resultKeys), std::end(resultKeys), key) == std::end(resultKeys))
            fail("unknown key '" + excerpt(key) + "' in a trial row");
    }
    TrialRow row;
    const bool cellOnly = parameters == 2 && doc.contains("algorithm") && doc.contains("fovDeg");
    // Rows written before they recorded the sighting rule, the exact moment and the missed sightings.
    const bool older = parameters == trialParameterCount - 1 && !doc.contains("sighting");
    if (parameters == trialParameterCount || older) {
        if (older)
            settle(Layout::OlderParameters, "with its parameters but not its sighting rule");
        else
            settle(Layout::Parameters, "with its parameters");
        TrialParameterTexts texts;
        texts[sightingKey] = sightingName(Sighting::Grid);
        for (std::size_t k = 0; k < trialParameterCount - (older ? 1 : 0); ++k)
            texts[k] = parameterText(doc[std::string(trialParameterKeys[k])]);
        try {
            row.origin = trialOriginFrom(texts);
        } catch (const InputError& e) {
            fail(e.what());
        }
    } else if (cellOnly) {
        settle(Layout::Cell, "with only the algorithm and fovDeg of a sweep cell");
        const json& a = doc["algorithm"];
        const json& fov = doc["fovDeg"];
        const auto algorithm = a.is_string() ? planAlgorithmFromName(a.get<std::string>()) : std::nullopt;
        if (!algorithm)
            fail("\"algorithm\" is not an algorithm's name");
        if (!fov.is_number() || !(fov.get<double>() > 0.0 && fov.get<double>() < 90.0))
            fail("\"fovDeg\" is not a cone's half-angle (more than 0, less than 90)");
        row.cell = TrialCell{*algorithm, fov.get<double>()};
    } else if (parameters == 0) {
        settle(Layout::Plain, "without parameters");
    } else {
        for (const std::string_view key : trialParameterKeys)
            if (!doc.contains(std::string(key)))
                fail("the row has some of its parameters but not \"" + std::string(key) + "\"");
    }
    const auto field = [&](const char* key) -> const json& {
        const auto it = doc.find(key);
        if (it == doc.end())
            fail(std::string("the row has no \"") + key + "\"");
        return *it;
    };
    TrialResult& r = row.result;
    const auto trial = integerOf<std::uint64_t>(field("trial"));
    const auto seedState = integerOf<std::uint32_t>(field("seedState"));
    const auto links = integerOf<int>(field("links"));
    const auto groups = integerOf<int>(field("groups"));
    const json& initialized = field("initialized");
    if (!trial || !seedState || !links || !groups || !initialized.is_boolean())
        fail("a row whose trial, seedState, initialized, links or groups is not of its kind");
    r.trial = *trial;
    r.seedState = *seedState;
    r.initialized = initialized.get<bool>();
    r.links = *links;
    r.groups = *groups;
    const json& steps = field("stepsToInitialize");
    const json& time = field("timeToInitialize");
    if (r.initialized) {
        const auto k = integerOf<std::int64_t>(steps);
        if (!k || *k < 1 || !time.is_number())
            fail("an initialized trial needs a stepsToInitialize of 1 or more and a timeToInitialize");
        r.stepsToInitialize = *k;
        r.timeToInitialize = time.get<double>();
    } else if (!steps.is_null() || !time.is_null()) {
        fail("a trial that did not initialize has null stepsToInitialize and timeToInitialize");
    }
    r.exactKnown = layout_ == Layout::Parameters;
    if (!r.exactKnown) {
        if (doc.contains("exactTimeToInitialize") || doc.contains("missedSightings"))
            fail("a row with exactTimeToInitialize or missedSightings needs its sighting rule");
        return row;
    }
    const auto missed = integerOf<int>(field("missedSightings"));
    const json& moment = field("exactTimeToInitialize");
    if (!missed)
        fail("missedSightings is not a count of 0 or more");
    r.missedSightings = *missed;
    if (r.initialized) {
        if (!moment.is_number())
            fail("an initialized trial needs its exactTimeToInitialize (a number)");
        r.exactTimeToInitialize = moment.get<double>();
    } else if (!moment.is_null()) {
        fail("a trial that did not initialize has a null exactTimeToInitialize");
    }
    return row;
}

void TrialFileReader::check(const TrialRow& row, const TrialOrigin& origin, StepClock& clock,
                            const std::string& hint) const
{
    const TrialResult& r = row.result;
    const std::string trial = range(r.trial, r.trial);
    const TrialSpan& span = origin.range;
    if (r.trial < span.first || r.trial - span.first >= span.count)
        fail(trial + " lies outside the " + range(span.first, span.first + span.count - 1) + " of its run" + hint);
    const std::uint32_t expected = trialSeedState(origin.setup.seed, r.trial);
    if (r.seedState != expected)
        fail(trial + " has seedState " + std::to_string(r.seedState) + ", but seed " +
             std::to_string(origin.setup.seed) + " gives it " + std::to_string(expected) + hint);
    const int n = origin.setup.scenario.count;
    // n craft in g groups are joined by at least n - g links, and no pair links twice.
    if (r.groups < 1 || r.groups > n || r.links < n - r.groups || r.links > n * (n - 1) / 2)
        fail(trial + " has " + std::to_string(r.links) + " links and " + std::to_string(r.groups) +
             " groups, impossible for " + std::to_string(n) + " craft" + hint);
    if (r.initialized != (r.groups == 1))
        fail(trial + (r.initialized ? " is initialized but has " + std::to_string(r.groups) + " groups"
                                    : std::string(" did not initialize but has every craft in one group")) + hint);
    if (origin.setup.sighting == Sighting::Continuous && r.missedSightings != 0)
        fail(trial + " has missed sightings, but continuous sighting links every sighting");
    if (!r.initialized)
        return;
    if (r.stepsToInitialize > origin.setup.steps)
        fail(trial + " initialized after step " + std::to_string(r.stepsToInitialize) + ", past the run's last step " +
             std::to_string(origin.setup.steps) + hint);
    const double t = clock.timeAfter(r.stepsToInitialize);
    if (row.csvTime.empty() ? r.timeToInitialize != t : row.csvTime != stepTimeText(t))
        fail(trial + ": the time to initialize is not the time after step " + std::to_string(r.stepsToInitialize));
    if (r.exactKnown && !(r.exactTimeToInitialize >= clock.timeAfter(r.stepsToInitialize - 1) &&
                          r.exactTimeToInitialize <= t))
        fail(trial + ": the exact time to initialize is not within step " + std::to_string(r.stepsToInitialize));
}

}  // namespace velmora
