#pragma once

#include "cli/scenario.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Command-line options that every trial-running command shares. The parameters land straight in a
// Scenario, so their defaults are the default scene's.
struct TrialOptions {
    Scenario scenario;
    std::uint64_t seed = 1;
    double duration = 0.0;
    CLI::Option* durationOption = nullptr;

    // The step count --duration asks for, or nothing for "until the longest plan has ended".
    std::optional<std::int64_t> steps() const;
};

// --count, --tilt, --max-speed, --radius, --box and --seed; --duration too when withDuration.
void addTrialOptions(CLI::App& command, TrialOptions& options, bool withDuration);

// Decimal digits only, leading zeros allowed, at least min: no sign, and no hexadecimal or octal reading
// that the C parser behind the option would quietly apply. It rewrites the text, so attach it with
// transform(), not check().
CLI::Validator wholeNumber(std::uint64_t min = 0);

// A number that is neither infinite nor NaN.
CLI::Validator finiteNumber();

// A finite number, 0 or more.
CLI::Validator nonNegativeNumber();

// An algorithm name (Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck) or its index 0..4.
CLI::Validator algorithmText();

// The index of a text that algorithmText() accepts.
int algorithmIndex(const std::string& text);

}  // namespace velmora
