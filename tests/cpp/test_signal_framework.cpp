#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "zj_signals/params.hpp"
#include "zj_signals/signals.hpp"

using namespace zj_signals;

TEST(SignalParams, UnsignedTexts) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> value;
    };
    const Case cases[] = {
        {"12", 12},    {"+12", 12}, {"0", 0},   {"007", 7}, {"18446744073709551615", UINT64_MAX},
        {"-5", {}},    {"", {}},    {"+", {}},  {"12a", {}}, {" 12", {}}, {"12 ", {}},
        {"1.0", {}},   {"18446744073709551616", {}}, {"123456789012345678901", {}}, {"++1", {}},
        {"-0", {}},    {"０", {}},  // full-width digit
    };
    for (const Case& c : cases) EXPECT_EQ(parse_unsigned(c.text), c.value) << c.text;
}

TEST(SignalParams, FloatTexts) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.5", 1.5}, {"+2", 2.0},  {"-0.25", -0.25}, {".5", 0.5},    {"5.", 5.0},  {"1e3", 1000.0},
        {"2E-2", 0.02}, {"1e400", INFINITY}, {"inf", INFINITY}, {"-Infinity", -INFINITY}, {"INF", INFINITY},
        {"", {}},     {".", {}},    {"e5", {}},       {"1e", {}},     {" 1", {}},   {"0x10", {}},
        {"1,5", {}},  {"abc", {}},  {"nan(1)", {}},   {"--1", {}},
        {"1e-400", 0.0}, {"-1e400", -INFINITY}, {"+INF", INFINITY}, {"-", {}}, {"1e+", {}}, {"1 ", {}},
        {"infinit", {}}, {"1.2.3", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_float(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isnan(*parse_float("NaN")));
    EXPECT_TRUE(std::isnan(*parse_float("-nan")));
    EXPECT_TRUE(std::isnan(*parse_float("+NAN")));
    const ParamMap params{{"n", "abc"}, {"m", "+7"}};
    EXPECT_EQ(param_unsigned(params, "n", 20), 20u);
    EXPECT_EQ(param_unsigned(params, "m", 6), 7u);
    EXPECT_EQ(param_unsigned(params, "missing", 3), 3u);
    EXPECT_EQ(param_float(params, "n", 1.0), 1.0);
    EXPECT_EQ(param_float(params, "m", 1.0), 7.0);
}

TEST(SignalRegistry, LookupIsExactAndListingComplete) {
    register_builtins();
    EXPECT_TRUE(has_signal("zj_wavetrend_V260625"));
    EXPECT_FALSE(has_signal("ZJ_WAVETREND_V260625"));
    EXPECT_FALSE(has_signal(""));
    std::vector<std::string> names = list_signal_names();
    EXPECT_EQ(names.size(), signal_count());
    std::sort(names.begin(), names.end());
    EXPECT_TRUE(std::adjacent_find(names.begin(), names.end()) == names.end());
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "zj_wavetrend_zone_V260724"));
}

TEST(SignalDispatch, UnregisteredNamesAndConfigurationOrder) {
    const std::vector<BarPoint> bars(3, BarPoint{"2024-01-02", "日线", 1, 2, 0.5, 1.5, 100, 150});
    const auto unknown = dispatch_one("no_such_signal", bars, {});
    ASSERT_EQ(unknown.size(), 3u);
    for (const auto& r : unknown) {
        EXPECT_EQ(r.name, "no_such_signal");
        EXPECT_EQ(r.freq, "");
        EXPECT_EQ(r.v1, "未注册");
        EXPECT_EQ(r.v2, "未注册");
        EXPECT_EQ(r.v3, "未注册");
        EXPECT_EQ(r.score, 0u);
    }
    const std::vector<SignalConfig> configs = {
        {"a", "F1", {}}, {"zj_wavetrend_V260625", "", {}}, {"a", "F1", {}}};
    const auto out = dispatch_signals(configs, bars);
    ASSERT_EQ(out.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(out[i].freq, i / 3 == 1 ? "" : "F1") << i;
    EXPECT_EQ(out[3].v1, "其他");  // three bars are too few for the oscillator
    EXPECT_TRUE(dispatch_signals({}, bars).empty());
    EXPECT_TRUE(dispatch_signals(configs, {}).empty());
}

TEST(SignalParams, StrictCheckOfDeclaredParameters) {
    register_builtins();
    struct Case {
        const char* signal;
        const char* key;
        const char* text;
        const char* problem;  // "" when accepted
    };
    const Case cases[] = {
        {"zj_wavetrend_V260625", "n1", "10", ""},
        {"zj_wavetrend_V260625", "n1", "+12", ""},
        {"zj_wavetrend_V260625", "n1", "0", "must be in [1, inf)"},
        {"zj_wavetrend_V260625", "n1", "-5", "is not a whole number >= 0"},
        {"zj_wavetrend_V260625", "n1", "1.5", "is not a whole number >= 0"},
        {"zj_ttm_squeeze_V260711", "n1", "1", "must be in [2, inf)"},
        {"zj_ttm_squeeze_V260711", "n3", "0", "must be in [1, inf)"},
        {"zj_ttm_squeeze_V260711", "n2", "0", ""},
        {"zj_ttm_squeeze_V260711", "n2", "-0.5", "must be in [0, inf)"},
        {"zj_ttm_squeeze_V260711", "n4", "nan", "is not a finite number"},
        {"zj_ttm_squeeze_V260711", "n4", "inf", "is not a finite number"},
        {"zj_ttm_squeeze_V260711", "n5", "0", ""},
        {"zj_osc_state_V260721", "scale", "0", "must be in (0, inf)"},
        {"zj_osc_state_V260721", "scale", "1e-3", ""},
        {"zj_dmi_state_V260714", "n1", "1", "must be in [2, inf)"},
        {"zj_ic_state_V260718", "di", "0", "must be in [1, inf)"},
        {"zj_vol_ratio_V260721", "n", "18446744073709551615", ""},
    };
    for (const Case& c : cases) {
        const SignalDescriptor* d = find_signal(c.signal);
        ASSERT_NE(d, nullptr) << c.signal;
        const ParamSpec* spec = d->param(c.key);
        ASSERT_NE(spec, nullptr) << c.signal << " " << c.key;
        EXPECT_EQ(param_problem(*spec, c.text).value_or(""), c.problem) << c.signal << " " << c.key << "=" << c.text;
    }
    // Keys a signal does not read are not declared.
    EXPECT_EQ(find_signal("zj_ttm_squeeze_V260711")->param("n6"), nullptr);
    EXPECT_EQ(find_signal("zj_wavetrend_zone_V260724")->param("_init_n"), nullptr);
    EXPECT_EQ(find_signal("zj_ic_state_V260718")->records, RecordCount::One);
}
