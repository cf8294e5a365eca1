#pragma once
// Reading a signal's parameter texts. A missing key or a text that does not
// parse gives the caller's default; nothing is ever reported.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zj_signals/types.hpp"

namespace zj_signals {

// An optional "+" then one or more ASCII digits, no overflow past 64 bits.
std::optional<std::uint64_t> parse_unsigned(std::string_view text);
// A decimal floating-point number: optional sign, digits with an optional
// fraction and exponent, or inf / infinity / nan in any case. No blanks.
std::optional<double> parse_float(std::string_view text);

std::uint64_t param_unsigned(const ParamMap& params, std::string_view key, std::uint64_t fallback);
double param_float(const ParamMap& params, std::string_view key, double fallback);

// The same, with the key and default of a declared parameter.
std::uint64_t param_unsigned(const ParamMap& params, const ParamSpec& spec);
double param_float(const ParamMap& params, const ParamSpec& spec);

// The strict reading of a declared parameter's text: nothing when the text
// parses by the parameter's kind and lies in its range, else why not
// ("is not a whole number >= 0", "must be in [1, inf)").
std::optional<std::string> param_problem(const ParamSpec& spec, std::string_view text);

}  // namespace zj_signals
