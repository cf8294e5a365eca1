#include "indicators/error.hpp"

#include <charconv>
#include <cmath>

namespace indicators {

TaError TaError::insufficient(std::size_t need, std::size_t got) {
    TaError e;
    e.kind = Kind::InsufficientData;
    e.need = need;
    e.got = got;
    return e;
}

TaError TaError::invalid(std::string_view name, std::string value, std::string_view reason) {
    TaError e;
    e.kind = Kind::InvalidParameter;
    e.name = name;
    e.value = std::move(value);
    e.reason = reason;
    return e;
}

TaError TaError::missing(std::string_view what) {
    TaError e;
    e.kind = Kind::MissingInput;
    e.reason = what;
    return e;
}

TaError TaError::mismatch(std::size_t expected, std::size_t got) {
    TaError e;
    e.kind = Kind::LengthMismatch;
    e.expected = expected;
    e.got = got;
    return e;
}

namespace {

void append_quoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    out += '"';
}

}  // namespace

std::string TaError::debug() const {
    std::string out;
    switch (kind) {
        case Kind::InsufficientData:
            out = "InsufficientData { need: " + std::to_string(need) + ", got: " + std::to_string(got) + " }";
            break;
        case Kind::InvalidParameter:
            out = "InvalidParameter { name: ";
            append_quoted(out, name);
            out += ", value: ";
            append_quoted(out, value);
            out += ", reason: ";
            append_quoted(out, reason);
            out += " }";
            break;
        case Kind::MissingInput:
            out = "MissingInput(";
            append_quoted(out, reason);
            out += ")";
            break;
        case Kind::LengthMismatch:
            out = "LengthMismatch { expected: " + std::to_string(expected) + ", got: " + std::to_string(got) +
                  " }";
            break;
    }
    return out;
}

std::string period_text(std::size_t n) { return std::to_string(n); }

std::string float_text(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    // Fixed notation with no precision requested is the shortest text that
    // reads back to x; the widest (the smallest subnormal) is under 330 chars.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed);
    return std::string(buf, res.ptr);
}

}  // namespace indicators
