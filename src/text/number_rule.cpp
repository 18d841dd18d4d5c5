#include "text/number_rule.h"

#include "text/argument_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace velmora {
namespace {

// The number the whole text spells, if it spells one.
std::optional<double> readReal(const std::string& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    out.append(text);
    out += '"';
    return out;
}

}  // namespace

double NumberRule::real(std::string_view name, const Given<double>& given) const
{
    const std::optional<double> read = given.value ? given.value : readReal(given.text);
    // What is not a number fails every bound below, as NaN does.
    const double value = read.value_or(std::nan(""));
    const auto refuse = [&](const char* what) {
        throw ArgumentError(std::string(name) + ": " + quoted(given.text) + " is not " + what);
    };
    switch (kind_) {
    case Kind::atLeastZero:
        if (!(std::isfinite(value) && value >= 0.0))
            refuse("a finite number of 0 or more");
        break;
    case Kind::moreThanZero:
        if (!(std::isfinite(value) && value > 0.0))
            refuse("a finite number more than 0");
        break;
    case Kind::coneAngle:
        if (!(std::isfinite(value) && value > 0.0 && value < 90.0))
            refuse("an angle of a cone: it must be more than 0 and less than 90 degrees");
        break;
    case Kind::anyNumber:
        // As CLI11 converts an option's value: nothing is 0, and what is not a number is said in its words.
        if (!given.value && given.text.empty())
            return 0.0;
        if (!read)
            throw ArgumentError("Could not convert: " + std::string(name) + " = " + given.text);
        break;
    case Kind::whole:
    case Kind::wholeIn:
        break;
    }
    return value;
}

std::uint64_t NumberRule::whole(std::string_view name, const Given<std::uint64_t>& given) const
{
    const auto refuse = [&](const std::string& what) { throw ArgumentError(std::string(name) + ": " + what); };
    std::uint64_t value = 0;
    if (given.value) {
        value = *given.value;
    } else {
        if (!allDigits(given.text))
            refuse(quoted(given.text) + " is not a whole number of decimal digits");
        const char* end = given.text.data() + given.text.size();
        if (std::from_chars(given.text.data(), end, value).ec != std::errc())
            refuse(quoted(given.text) + " is too large");
    }
    if (kind_ == Kind::whole && value < low_)
        refuse("must be at least " + std::to_string(low_) + ", not " + given.text);
    if (kind_ == Kind::wholeIn && (value < low_ || value > high_))
        refuse("Value " + std::to_string(value) + " not in range " + std::to_string(low_) + " to " +
               std::to_string(high_));
    return value;
}

std::string NumberRule::helpType(std::string_view valueName) const
{
    if (kind_ == Kind::wholeIn)
        return std::string(valueName.empty() ? "INT" : valueName) + ":INT in [" + std::to_string(low_) + " - " +
               std::to_string(high_) + "]";
    if (!valueName.empty())
        return std::string(valueName);
    return kind_ == Kind::whole ? "UINT" : "FLOAT";
}

}  // namespace velmora
