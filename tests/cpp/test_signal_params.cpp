// Parameter texts: unsigned integers and floats, silent defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "zj_signals/params.hpp"

using zj_signals::parse_float;
using zj_signals::parse_unsigned;

TEST(SignalParams, Unsigned) {
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"0", 0}, {"12", 12}, {"+12", 12}, {"007", 7}, {"18446744073709551615", 18446744073709551615ull},
        {"18446744073709551616", std::nullopt}, {"123456789012345678901", std::nullopt},
        {"", std::nullopt}, {"+", std::nullopt}, {"-5", std::nullopt}, {"-0", std::nullopt},
        {"++5", std::nullopt}, {" 5", std::nullopt}, {"5 ", std::nullopt}, {"12a", std::nullopt},
        {"1.0", std::nullopt}, {"1e3", std::nullopt}, {"０", std::nullopt},  // full-width digit
    };
    for (auto [text, expected] : cases) EXPECT_EQ(parse_unsigned(text), expected) << '"' << text << '"';
}

TEST(SignalParams, Float) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"1.5", 1.5}, {"+2", 2.0}, {"-0.25", -0.25}, {"5.", 5.0}, {".5", 0.5}, {"1e3", 1000.0},
        {"1E-2", 0.01}, {"-2.5e+1", -25.0}, {"1e400", inf}, {"-1e400", -inf}, {"1e-400", 0.0},
        {"inf", inf}, {"-Infinity", -inf}, {"+INF", inf},
        {"", std::nullopt}, {".", std::nullopt}, {"-", std::nullopt}, {"e5", std::nullopt},
        {"1e", std::nullopt}, {"1e+", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt},
        {"0x10", std::nullopt}, {"1,5", std::nullopt}, {"infinit", std::nullopt}, {"--1", std::nullopt},
        {"abc", std::nullopt}, {"1.2.3", std::nullopt},
    };
    for (auto [text, expected] : cases) EXPECT_EQ(parse_float(text), expected) << '"' << text << '"';
    for (const char* text : {"nan", "NaN", "-nan", "+NAN"}) {
        auto v = parse_float(text);
        ASSERT_TRUE(v.has_value()) << text;
        EXPECT_TRUE(std::isnan(*v)) << text;
    }
}

TEST(SignalParams, MissingOrBadKeysTakeTheDefault) {
    const zj_signals::ParamMap params{{"a", "7"}, {"b", "x"}, {"c", "2.5"}};
    EXPECT_EQ(zj_signals::param_unsigned(params, "a", 1), 7u);
    EXPECT_EQ(zj_signals::param_unsigned(params, "b", 1), 1u);
    EXPECT_EQ(zj_signals::param_unsigned(params, "c", 1), 1u);
    EXPECT_EQ(zj_signals::param_unsigned(params, "zz", 9), 9u);
    EXPECT_EQ(zj_signals::param_float(params, "c", 1.0), 2.5);
    EXPECT_EQ(zj_signals::param_float(params, "a", 1.0), 7.0);
    EXPECT_EQ(zj_signals::param_float(params, "b", 1.0), 1.0);
}
