#include "trials/trial_file_reader.h"

#include "sim/plan_algorithm.h"
#include "text/message_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

using nlohmann::json;

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

}  // namespace

TrialFileReader::TrialFileReader(const std::string& path) : path_(path), format_(TrialFileWriter::formatOf(path))
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
        if (header == cellTrialCsvHeader)
            perCell_ = true;
        else if (header != trialCsvHeader)
            fail("the header row is not a trial file's (\"" + std::string(trialCsvHeader) + "\", or a sweep's with "
                 "algorithm,fovDeg first)");
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
        if (end != std::string::npos || (eof_ && start_ < buffer_.size())) {
            const std::size_t stop = end == std::string::npos ? buffer_.size() : end;
            ++line_;
            if (stop - start_ > maxTrialRowBytes)
                fail("a row of more than " + std::to_string(maxTrialRowBytes) + " bytes is not a trial row");
            line.assign(buffer_, start_, stop - start_);
            start_ = end == std::string::npos ? buffer_.size() : end + 1;
            return true;
        }
        if (eof_)
            return false;
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

TrialRow TrialFileReader::parseCsv(const std::string& line)
{
    const std::vector<std::string_view> all = splitFields(line);
    const std::size_t offset = perCell_ ? 2 : 0;
    if (all.size() != offset + 7)
        fail("a row has " + std::to_string(all.size()) + " fields where the header names " +
             std::to_string(offset + 7));
    TrialRow row;
    if (perCell_) {
        const auto algorithm = planAlgorithmFromName(std::string(all[0]));
        const auto fov = wholeNumberOf<double>(all[1]);
        if (!algorithm)
            fail("unknown algorithm \"" + excerpt(all[0]) + "\"");
        if (!fov || !(*fov > 0.0 && *fov < 90.0))
            fail("fovDeg \"" + excerpt(all[1]) + "\" is not a cone's half-angle (more than 0, less than 90)");
        row.cell = TrialCell{*algorithm, *fov};
    }
    const auto f = [&](std::size_t i) { return all[offset + i]; };
    const auto trial = wholeNumberOf<std::uint64_t>(f(0));
    const auto seedState = wholeNumberOf<std::uint32_t>(f(1));
    const auto links = wholeNumberOf<int>(f(5));
    const auto groups = wholeNumberOf<int>(f(6));
    if (!trial || !seedState || !links || !groups || (f(2) != "true" && f(2) != "false"))
        fail("a row that is not \"trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups\"");
    TrialResult& r = row.result;
    r.trial = *trial;
    r.seedState = *seedState;
    r.initialized = f(2) == "true";
    r.links = *links;
    r.groups = *groups;
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
    return row;
}

TrialRow TrialFileReader::parseJson(const std::string& line)
{
    const json doc = json::parse(line, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        fail("a row that is not a JSON object");
    static constexpr std::string_view rowKeys[] = {"algorithm", "fovDeg", "trial", "seedState", "initialized",
                                                  "stepsToInitialize", "timeToInitialize", "links", "groups"};
    for (const auto& [key, value] : doc.items())
        if (std::find(std::begin(rowKeys), std::end(rowKeys), key) == std::end(rowKeys))
            fail("unknown key '" + excerpt(key) + "' in a trial row");
    TrialRow row;
    const bool hasCell = doc.contains("algorithm") || doc.contains("fovDeg");
    if (!sawRow_)
        perCell_ = hasCell;
    sawRow_ = true;
    if (hasCell != perCell_)
        fail(perCell_ ? "a row without the algorithm and fovDeg of its sweep cell"
                      : "a row with a sweep cell in a file whose first row has none");
    if (hasCell) {
        const json& a = doc.value("algorithm", json());
        const json& fov = doc.value("fovDeg", json());
        const auto algorithm = a.is_string() ? planAlgorithmFromName(a.get<std::string>()) : std::nullopt;
        if (!algorithm)
            fail("\"algorithm\" is not an algorithm's name");
        if (!fov.is_number() || !(fov.get<double>() > 0.0 && fov.get<double>() < 90.0))
            fail("\"fovDeg\" is not a cone's half-angle (more than 0, less than 90)");
        row.cell = TrialCell{*algorithm, fov.get<double>()};
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
    return row;
}

}  // namespace velmora
