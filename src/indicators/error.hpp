#pragma once
// The indicator library's error value and the result type every indicator
// returns: a full-length series (NaN over the lookback) or a TaError.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace indicators {

struct TaError {
    enum class Kind { InsufficientData, InvalidParameter, MissingInput, LengthMismatch };

    Kind kind = Kind::InsufficientData;
    std::size_t need = 0, got = 0;  // InsufficientData (got also for LengthMismatch)
    std::string_view name;          // InvalidParameter: parameter name
    std::string value;              // InvalidParameter: offending value as text
    std::string_view reason;        // InvalidParameter: rule broken; MissingInput: its text
    std::size_t expected = 0;       // LengthMismatch

    static TaError insufficient(std::size_t need, std::size_t got);
    static TaError invalid(std::string_view name, std::string value, std::string_view reason);
    static TaError missing(std::string_view what);
    static TaError mismatch(std::size_t expected, std::size_t got);

    // "InsufficientData { need: 5, got: 4 }",
    // "InvalidParameter { name: \"timeperiod\", value: \"0\", reason: \"must be >= 1\" }",
    // "MissingInput(\"...\")", "LengthMismatch { expected: 10, got: 9 }".
    std::string debug() const;

    friend bool operator==(const TaError&, const TaError&) = default;
};

// A period as the text of an InvalidParameter value ("0", "14").
std::string period_text(std::size_t n);
// A float in plain decimal notation, no exponent, with the fewest digits that
// read back to the same value ("1.5", "-0.25", "1", "inf", "NaN").
std::string float_text(double x);

template <class T>
class Result {
public:
    Result(T v) : v_(std::in_place_index<0>, std::move(v)) {}
    Result(TaError e) : v_(std::in_place_index<1>, std::move(e)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T&& take() { return std::move(std::get<0>(v_)); }
    const TaError& error() const { return std::get<1>(v_); }

private:
    std::variant<T, TaError> v_;
};

using Series = std::vector<double>;

}  // namespace indicators
