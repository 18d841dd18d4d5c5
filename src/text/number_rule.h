#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A value as a front end received it: the text a refusal quotes (what the user typed, or Python's str() of
// the argument) and, when the front end holds the number already (a Python int or float), that number.
// Without one the text is read as velmora-sim reads its command line.
template <typename T>
struct Given {
    std::string text;
    std::optional<T> value = std::nullopt;
};

// What a number option takes, and how a refusal says what it does not. A real number is read in the C locale
// like strtod reads it (leading blanks, a sign, hexadecimal, "inf"), correctly rounded; a whole number only
// as decimal digits, so no sign, octal or hexadecimal reading slips through.
class NumberRule {
public:
    // A finite number of 0 or more.
    static constexpr NumberRule atLeastZero() { return NumberRule(Kind::atLeastZero); }
    // A finite number more than 0.
    static constexpr NumberRule moreThanZero() { return NumberRule(Kind::moreThanZero); }
    // The angle of a cone that can exist: more than 0 and less than 90 degrees.
    static constexpr NumberRule coneAngle() { return NumberRule(Kind::coneAngle); }
    // Any number, an empty text counting as 0 (velmora-sim run --duration, whose steps say the rest).
    static constexpr NumberRule anyNumber() { return NumberRule(Kind::anyNumber); }
    // A whole number of at least min.
    static constexpr NumberRule whole(std::uint64_t min = 0) { return NumberRule(Kind::whole, min, UINT64_MAX); }
    // A whole number from low to high.
    static constexpr NumberRule wholeIn(std::uint64_t low, std::uint64_t high)
    {
        return NumberRule(Kind::wholeIn, low, high);
    }

    // The number given, when this rule takes it. Throws ArgumentError under name otherwise.
    double real(std::string_view name, const Given<double>& given) const;
    std::uint64_t whole(std::string_view name, const Given<std::uint64_t>& given) const;

    // How velmora-sim's --help names the values, as CLI11 names the types it reads: FLOAT, UINT, and for a
    // whole number within bounds INT:INT in [2 - 20]; valueName replaces the leading name (K, N).
    std::string helpType(std::string_view valueName = {}) const;

private:
    enum class Kind { atLeastZero, moreThanZero, coneAngle, anyNumber, whole, wholeIn };

    constexpr explicit NumberRule(Kind kind, std::uint64_t low = 0, std::uint64_t high = 0)
        : kind_(kind), low_(low), high_(high)
    {
    }

    Kind kind_;
    std::uint64_t low_;
    std::uint64_t high_;
};

}  // namespace velmora
