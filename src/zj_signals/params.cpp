#include "zj_signals/params.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace zj_signals {

std::optional<std::uint64_t> parse_unsigned(std::string_view s) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (v > (std::numeric_limits<std::uint64_t>::max() - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

namespace {
bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}
bool digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::optional<double> parse_float(std::string_view s) {
    std::string_view body = s;
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (iequals(body, "inf") || iequals(body, "infinity"))
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    if (iequals(body, "nan")) return std::numeric_limits<double>::quiet_NaN();

    // Validate the shape digits[.digits][(e|E)[sign]digits] with at least one
    // mantissa digit; strtod alone would also take blanks and hex forms.
    std::size_t i = 0, mantissa_digits = 0;
    while (i < body.size() && digit(body[i])) ++i, ++mantissa_digits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && digit(body[i])) ++i, ++mantissa_digits;
    }
    if (mantissa_digits == 0) return std::nullopt;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < body.size() && digit(body[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return std::nullopt;
    }
    if (i != body.size()) return std::nullopt;
    double value = 0.0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Past the double range: the nearest value is ±inf or ±0, as strtod gives.
        const std::string text(body);
        value = std::strtod(text.c_str(), nullptr);
    } else if (ec != std::errc() || end != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::uint64_t param_unsigned(const ParamMap& params, std::string_view key, std::uint64_t fallback) {
    auto it = params.find(std::string(key));
    if (it == params.end()) return fallback;
    return parse_unsigned(it->second).value_or(fallback);
}

double param_float(const ParamMap& params, std::string_view key, double fallback) {
    auto it = params.find(std::string(key));
    if (it == params.end()) return fallback;
    return parse_float(it->second).value_or(fallback);
}

std::uint64_t param_unsigned(const ParamMap& params, const ParamSpec& spec) {
    return param_unsigned(params, spec.key, static_cast<std::uint64_t>(spec.fallback));
}

double param_float(const ParamMap& params, const ParamSpec& spec) {
    return param_float(params, spec.key, spec.fallback);
}

namespace {
std::string bound_text(double x) {
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
    return ec == std::errc{} ? std::string(buf, end) : std::string("?");
}
}  // namespace

std::optional<std::string> param_problem(const ParamSpec& spec, std::string_view text) {
    double value = 0.0;
    if (spec.kind == ParamSpec::Kind::Unsigned) {
        const auto v = parse_unsigned(text);
        if (!v) return std::string("is not a whole number >= 0");
        value = static_cast<double>(*v);
    } else {
        const auto v = parse_float(text);
        if (!v || !std::isfinite(*v)) return std::string("is not a finite number");
        value = *v;
    }
    if (!(value >= spec.min && value <= spec.max) || (spec.above_min && value == spec.min)) {
        const bool closed_top = !std::isinf(spec.max);
        return std::string("must be in ") + (spec.above_min ? "(" : "[") + bound_text(spec.min) + ", " +
               bound_text(spec.max) + (closed_top ? "]" : ")");
    }
    return std::nullopt;
}

}  // namespace zj_signals
