// The indicator library: error values and texts, check order, lookbacks and
// the edge cases of each indicator. Agreement with TA-Lib on random series is
// checked from Python (tests/python/test_ta_reference.py).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "indicators/error.hpp"
#include "indicators/ma_type.hpp"
#include "indicators/math_operator.hpp"
#include "indicators/momentum.hpp"
#include "indicators/overlap.hpp"
#include "indicators/simd.hpp"
#include "indicators/statistic.hpp"
#include "indicators/volatility.hpp"

namespace ind = indicators;
using ind::MaType;
using ind::Series;
using ind::TaError;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Series prices(std::size_t len, unsigned seed = 7) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> step(0.0, 0.02);
    Series x(len);
    double p = 100.0;
    for (auto& v : x) {
        p *= std::exp(step(gen));
        v = p;
    }
    return x;
}

struct Hlc {
    Series high, low, close;
};

Hlc bars(std::size_t len, unsigned seed = 11) {
    Series c = prices(len, seed);
    Hlc b{c, c, c};
    std::mt19937_64 gen(seed + 1);
    std::uniform_real_distribution<double> u(0.0, 1.5);
    for (std::size_t i = 0; i < len; ++i) {
        b.high[i] += u(gen);
        b.low[i] -= u(gen);
    }
    return b;
}

// Number of leading NaN entries, and whether anything after them is NaN.
std::size_t nan_prefix(const Series& s) {
    std::size_t k = 0;
    while (k < s.size() && std::isnan(s[k])) ++k;
    return k;
}
bool all_finite_from(const Series& s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (!std::isfinite(s[i])) return false;
    return true;
}

// Any indicator, reduced to "its first output or its error".
using Call = std::function<ind::Result<Series>(std::span<const double>, std::size_t)>;
template <class T>
ind::Result<Series> first_line(ind::Result<T> r, Series T::* member) {
    if (!r.ok()) return r.error();
    return std::move(r.value().*member);
}

ind::Result<Series> hlc_call(ind::Result<Series> (*f)(ind::Hlc, ind::Hlc, ind::Hlc, std::size_t),
                             std::span<const double> x, std::size_t n) {
    // Bars around x: high and low one unit away, close = x.
    Series h(x.begin(), x.end()), l(x.begin(), x.end());
    for (auto& v : h) v += 1.0;
    for (auto& v : l) v -= 1.0;
    return f(h, l, x, n);
}

struct Named {
    const char* name;
    Call call;
    std::function<std::size_t(std::size_t)> lookback;
};

std::vector<Named> all_indicators() {
    return {
        {"sma", [](auto x, auto n) { return ind::sma(x, n); }, [](auto n) { return n - 1; }},
        {"ema_core", [](auto x, auto n) { return ind::ema_core(x, n, 2.0 / (n + 1.0)); },
         [](auto n) { return n - 1; }},
        {"wma", [](auto x, auto n) { return ind::wma(x, n); }, [](auto n) { return n - 1; }},
        {"dema", [](auto x, auto n) { return ind::dema(x, n); }, [](auto n) { return 2 * (n - 1); }},
        {"tema", [](auto x, auto n) { return ind::tema(x, n); }, [](auto n) { return 3 * (n - 1); }},
        {"trima", [](auto x, auto n) { return ind::trima(x, n); }, [](auto n) { return n - 1; }},
        {"kama", [](auto x, auto n) { return ind::kama(x, n); }, [](auto n) { return n; }},
        {"t3", [](auto x, auto n) { return ind::t3(x, n, 0.7); }, [](auto n) { return 6 * (n - 1); }},
        {"mama", [](auto x, auto) { return first_line(ind::mama(x, 0.5, 0.05), &ind::MamaLines::fama); },
         [](auto) { return std::size_t{32}; }},
        {"bbands", [](auto x, auto n) { return first_line(ind::bbands(x, n, MaType::Sma, 2, 2), &ind::Bands::lower); },
         [](auto n) { return n - 1; }},
        {"bbands_ema",
         [](auto x, auto n) { return first_line(ind::bbands(x, n, MaType::Ema, 2, 2), &ind::Bands::upper); },
         [](auto n) { return n - 1; }},
        {"max", [](auto x, auto n) { return ind::max(x, n); }, [](auto n) { return n - 1; }},
        {"min", [](auto x, auto n) { return ind::min(x, n); }, [](auto n) { return n - 1; }},
        {"linearreg", [](auto x, auto n) { return ind::linearreg(x, n); }, [](auto n) { return n - 1; }},
        {"linearreg_slope",
         [](auto x, auto n) { return first_line(ind::linearreg_components(x, n), &ind::RegressionLines::slope); },
         [](auto n) { return n - 1; }},
        {"atr", [](auto x, auto n) { return hlc_call(&ind::atr, x, n); }, [](auto n) { return n; }},
        {"plus_di", [](auto x, auto n) { return hlc_call(&ind::plus_di, x, n); }, [](auto n) { return n; }},
        {"minus_di", [](auto x, auto n) { return hlc_call(&ind::minus_di, x, n); }, [](auto n) { return n; }},
        {"adx", [](auto x, auto n) { return hlc_call(&ind::adx, x, n); }, [](auto n) { return 2 * n - 1; }},
        {"adxr", [](auto x, auto n) { return hlc_call(&ind::adxr, x, n); }, [](auto n) { return 3 * n - 2; }},
    };
}

// The error of a failed call; a call that succeeded shows as MissingInput.
template <class T>
TaError err(const ind::Result<T>& r) {
    return r.ok() ? TaError::missing("succeeded") : r.error();
}

// Equal lengths and entries, NaN matching NaN.
bool same(const Series& a, const Series& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
    return true;
}

}  // namespace

TEST(TaError, DebugTexts) {
    const struct {
        TaError err;
        const char* text;
    } cases[] = {
        {TaError::insufficient(5, 4), "InsufficientData { need: 5, got: 4 }"},
        {TaError::invalid("timeperiod", "0", "must be >= 1"),
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {TaError::invalid("fastlimit", ind::float_text(1.5), "must be in (0, 1]"),
         R"(InvalidParameter { name: "fastlimit", value: "1.5", reason: "must be in (0, 1]" })"},
        {TaError::missing("volume"), R"(MissingInput("volume"))"},
        {TaError::missing(R"(a "b" \c)"), R"(MissingInput("a \"b\" \\c"))"},
        {TaError::mismatch(10, 9), "LengthMismatch { expected: 10, got: 9 }"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.err.debug(), c.text);
}

TEST(TaError, FloatValueTexts) {
    const struct {
        double x;
        const char* text;
    } cases[] = {
        {1.5, "1.5"},         {-0.25, "-0.25"},     {1.0, "1"},       {0.0, "0"},
        {-0.0, "-0"},         {0.1, "0.1"},         {1e21, "1000000000000000000000"},
        {1e-7, "0.0000001"},  {kNaN, "NaN"},        {INFINITY, "inf"}, {-INFINITY, "-inf"},
        {0.30000000000000004, "0.30000000000000004"},
    };
    for (const auto& c : cases) EXPECT_EQ(ind::float_text(c.x), c.text) << c.x;
    EXPECT_EQ(ind::float_text(5e-324).size(), 326u);  // "0.000…5", no exponent
}

TEST(TaError, ChecksInOrder) {
    const Series four = prices(4), ten = prices(10), nine = prices(9), n32 = prices(32), n40 = prices(40);
    const struct {
        const char* what;
        std::function<TaError()> run;
        const char* text;
    } cases[] = {
        {"sma n=0 on empty", [] { return err(ind::sma({}, 0)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {"sma short", [&] { return err(ind::sma(four, 5)); }, "InsufficientData { need: 5, got: 4 }"},
        {"ema n=0", [&] { return err(ind::ema_core(four, 0, 1.0)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {"wma short", [&] { return err(ind::wma(four, 9)); }, "InsufficientData { need: 9, got: 4 }"},
        {"dema n=1 long", [&] { return err(ind::dema(n40, 1)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2 for DEMA" })"},
        {"dema n=3 on 4", [&] { return err(ind::dema(four, 3)); }, "InsufficientData { need: 5, got: 4 }"},
        {"tema n=1", [&] { return err(ind::tema({}, 1)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2 for TEMA" })"},
        {"tema short", [&] { return err(ind::tema(Series{1, 2, 3}, 2)); }, "InsufficientData { need: 4, got: 3 }"},
        {"t3 n=0", [&] { return err(ind::t3(four, 0, 0.7)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 2 for T3" })"},
        {"t3 short", [&] { return err(ind::t3(ten, 3, 0.7)); }, "InsufficientData { need: 13, got: 10 }"},
        {"trima n=0", [&] { return err(ind::trima(four, 0)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {"trima short", [&] { return err(ind::trima(four, 5)); }, "InsufficientData { need: 5, got: 4 }"},
        {"kama n=1", [&] { return err(ind::kama({}, 1)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2" })"},
        {"kama len=n", [&] { return err(ind::kama(ten, 10)); }, "InsufficientData { need: 11, got: 10 }"},
        {"mama length before limits", [&] { return err(ind::mama(n32, 7.0, 9.0)); },
         "InsufficientData { need: 33, got: 32 }"},
        {"mama fastlimit", [&] { return err(ind::mama(n40, 1.5, 0.05)); },
         R"(InvalidParameter { name: "fastlimit", value: "1.5", reason: "must be in (0, 1]" })"},
        {"mama fastlimit 0", [&] { return err(ind::mama(n40, 0.0, 0.05)); },
         R"(InvalidParameter { name: "fastlimit", value: "0", reason: "must be in (0, 1]" })"},
        {"mama slow = fast", [&] { return err(ind::mama(n40, 0.5, 0.5)); },
         R"x(InvalidParameter { name: "slowlimit", value: "0.5", reason: "must be in (0, fastlimit)" })x"},
        {"mama slow < 0", [&] { return err(ind::mama(n40, 0.5, -0.25)); },
         R"x(InvalidParameter { name: "slowlimit", value: "-0.25", reason: "must be in (0, fastlimit)" })x"},
        {"compute_ma passes dema's error", [&] { return err(ind::compute_ma(n40, 1, MaType::Dema)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2 for DEMA" })"},
        {"compute_ma mama length", [&] { return err(ind::compute_ma(n32, 5, MaType::Mama)); },
         "InsufficientData { need: 33, got: 32 }"},
        {"bbands n=0", [&] { return err(ind::bbands({}, 0, MaType::Kama, 2, 2)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {"bbands sma short", [&] { return err(ind::bbands(four, 5, MaType::Sma, 2, 2)); },
         "InsufficientData { need: 5, got: 4 }"},
        {"bbands kama rules", [&] { return err(ind::bbands(ten, 1, MaType::Kama, 2, 2)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2" })"},
        {"bbands t3 length", [&] { return err(ind::bbands(ten, 3, MaType::T3, 2, 2)); },
         "InsufficientData { need: 13, got: 10 }"},
        {"bbands mama window longer than input", [&] { return err(ind::bbands(n40, 50, MaType::Mama, 2, 2)); },
         "InsufficientData { need: 50, got: 40 }"},
        {"max n=0", [&] { return err(ind::max(four, 0)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {"min short", [&] { return err(ind::min(four, 5)); }, "InsufficientData { need: 5, got: 4 }"},
        {"linearreg n=1", [&] { return err(ind::linearreg(ten, 1)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2" })"},
        {"linearreg short", [&] { return err(ind::linearreg_components(four, 5)); },
         "InsufficientData { need: 5, got: 4 }"},
        {"atr 14 on 14", [&] { return err(ind::atr(prices(14), prices(14), prices(14), 14)); },
         "InsufficientData { need: 15, got: 14 }"},
        {"atr n=0", [&] { return err(ind::atr(ten, ten, ten, 0)); }, "InsufficientData { need: 1, got: 10 }"},
        {"plus_di n=0 on empty", [&] { return err(ind::plus_di({}, {}, {}, 0)); },
         "InsufficientData { need: 1, got: 0 }"},
        {"minus_di 14 on 14", [&] { return err(ind::minus_di(prices(14), prices(14), prices(14), 14)); },
         "InsufficientData { need: 15, got: 14 }"},
        {"adx n=1", [&] { return err(ind::adx(ten, ten, ten, 1)); },
         R"(InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2" })"},
        {"adx 14 on 27", [&] { return err(ind::adx(prices(27), prices(27), prices(27), 14)); },
         "InsufficientData { need: 28, got: 27 }"},
        {"adxr n=0", [&] { return err(ind::adxr(ten, ten, ten, 0)); },
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 2" })"},
        // A mismatch is reported before the period; got is the shorter of low
        // and close, or the other one when the shorter matches high.
        {"atr mismatch first", [&] { return err(ind::atr(ten, nine, ten, 0)); },
         "LengthMismatch { expected: 10, got: 9 }"},
        {"adx mismatch first", [&] { return err(ind::adx(ten, four, nine, 1)); },
         "LengthMismatch { expected: 10, got: 4 }"},
        {"plus_di longer close", [&] { return err(ind::plus_di(ten, ten, n32, 3)); },
         "LengthMismatch { expected: 10, got: 32 }"},
        {"adxr high shorter", [&] { return err(ind::adxr(nine, ten, ten, 3)); },
         "LengthMismatch { expected: 9, got: 10 }"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run().debug(), c.text) << c.what;
}

TEST(Indicators, OutputLengthAndNaNPrefixAreTheLookback) {
    for (const auto& ind : all_indicators()) {
        for (std::size_t n : {2, 3, 5, 14}) {
            const std::size_t lb = ind.lookback(n);
            for (std::size_t len : {lb + 1, lb + 2, lb + 40, std::size_t{200}}) {
                if (len < lb + 1) continue;
                const Series x = prices(len, static_cast<unsigned>(len * 31 + n));
                auto r = ind.call(x, n);
                ASSERT_TRUE(r.ok()) << ind.name << " n=" << n << " len=" << len << ": " << r.error().debug();
                const Series& out = r.value();
                ASSERT_EQ(out.size(), len) << ind.name;
                const std::size_t expect = std::min(lb, len);
                EXPECT_EQ(nan_prefix(out), expect) << ind.name << " n=" << n << " len=" << len;
                EXPECT_TRUE(all_finite_from(out, expect)) << ind.name << " n=" << n << " len=" << len;
                for (std::size_t i = 0; i < expect; ++i)
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(out[i]), 0x7FF8000000000000ull) << ind.name;
            }
        }
    }
}

TEST(Indicators, OneValueShortOfTheLookbackFails) {
    for (const auto& ind : all_indicators()) {
        // ADXR only needs ADX's 2n values; shorter than 3n-2 it is all NaN.
        if (std::string(ind.name) == "adxr") continue;
        for (std::size_t n : {2, 5, 14}) {
            const std::size_t lb = ind.lookback(n);
            const Series x = prices(lb);  // one short
            auto r = ind.call(x, n);
            ASSERT_FALSE(r.ok()) << ind.name << " n=" << n;
            EXPECT_EQ(r.error().kind, TaError::Kind::InsufficientData) << ind.name;
            EXPECT_EQ(r.error().need, lb + 1) << ind.name << " n=" << n;
            EXPECT_EQ(r.error().got, lb) << ind.name;
        }
    }
}

TEST(MovingAverages, SmaOfExactlyNValuesIsTheirMean) {
    const Series x{1, 2, 3, 4, 10};
    const Series out = ind::sma(x, 5).take();
    EXPECT_EQ(nan_prefix(out), 4u);
    EXPECT_DOUBLE_EQ(out[4], 4.0);
}

TEST(MovingAverages, PeriodOneReturnsTheInput) {
    const Series x{1e-20, 1.0, -3.5, 1e300, 0.1, 7.0};
    const struct {
        const char* name;
        std::function<ind::Result<Series>()> run;
    } cases[] = {
        {"sma", [&] { return ind::sma(x, 1); }},
        {"wma", [&] { return ind::wma(x, 1); }},
        {"ema_core", [&] { return ind::ema_core(x, 1, 1.0); }},
        {"compute_ma ema", [&] { return ind::compute_ma(x, 1, MaType::Ema); }},
        {"trima", [&] { return ind::trima(x, 1); }},
        {"max", [&] { return ind::max(x, 1); }},
        {"min", [&] { return ind::min(x, 1); }},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run().value(), x) << c.name;

    auto b = ind::bbands(x, 1, MaType::Sma, 2.0, 3.0).take();
    EXPECT_EQ(b.upper, x);
    EXPECT_EQ(b.middle, x);
    EXPECT_EQ(b.lower, x);
}

TEST(MovingAverages, TrimaPeriodOneCopiesAnyInput) {
    EXPECT_TRUE(ind::trima({}, 1).value().empty());
    const Series x{kNaN, 2.0, kNaN};
    const Series out = ind::trima(x, 1).take();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(std::isnan(out[0]) && out[1] == 2.0 && std::isnan(out[2]));
}

TEST(MovingAverages, KamaWithoutMovementUsesTheSlowestConstant) {
    const Series flat(30, 42.0);
    const Series out = ind::kama(flat, 10).take();
    EXPECT_EQ(nan_prefix(out), 10u);
    for (std::size_t i = 10; i < out.size(); ++i) EXPECT_EQ(out[i], 42.0);

    // A rise, then a flat stretch: once the window holds no movement the
    // average creeps toward the price at (2/31)^2 per bar.
    Series x;
    for (int i = 0; i < 20; ++i) x.push_back(10.0 + i);
    for (int i = 0; i < 20; ++i) x.push_back(29.0);
    const Series k = ind::kama(x, 5).take();
    const double slow = 0.004162330905306971;
    EXPECT_DOUBLE_EQ(slow, (2.0 / 31.0) * (2.0 / 31.0));
    for (std::size_t i = 25; i < x.size(); ++i) EXPECT_DOUBLE_EQ(k[i], k[i - 1] + slow * (29.0 - k[i - 1])) << i;
}

TEST(MovingAverages, MamaChecksAndDispatch) {
    const Series x = prices(120);
    // A NaN limit breaks no comparison and is accepted.
    EXPECT_TRUE(ind::mama(x, kNaN, 0.05).ok());
    EXPECT_TRUE(ind::mama(x, 1.0, kNaN).ok());
    EXPECT_TRUE(ind::mama(x, 1.0, 0.999).ok());
    // compute_ma with Mama ignores the period and returns the MAMA line.
    const auto lines = ind::mama(x, 0.5, 0.05).take();
    EXPECT_TRUE(same(ind::compute_ma(x, 0, MaType::Mama).value(), lines.mama));
    EXPECT_TRUE(same(ind::compute_ma(x, 999, MaType::Mama).value(), lines.mama));
    EXPECT_FALSE(same(lines.mama, lines.fama));
}

TEST(MovingAverages, NaNPoisonsCarriedSumsFromThenOn) {
    Series x = prices(40);
    x[15] = kNaN;
    const Series s = ind::sma(x, 5).take();
    EXPECT_TRUE(std::isfinite(s[14]));
    for (std::size_t i = 15; i < x.size(); ++i) EXPECT_TRUE(std::isnan(s[i])) << i;
}

TEST(SeedSum, FourLanesThenTheRemainderInOrder) {
    // The ones added to the 1e16 lanes vanish; a left-to-right sum loses a
    // different one and gives 6.5.
    const Series w{1e16, 1.0, -1e16, 1.0, 1.0, 1.0, 1.0, 1.0, 0.5};
    EXPECT_EQ(ind::seed_sum(w), 4.5);
    EXPECT_EQ(ind::seed_sum(Series{}), 0.0);
    EXPECT_EQ(ind::seed_sum(Series{1.0, 2.0, 3.0}), 6.0);
}

TEST(MaxMin, SlidingExtremes) {
    const struct {
        Series in;
        std::size_t n;
        Series max, min;
    } cases[] = {
        {{1, 3, 3, 2}, 2, {kNaN, 3, 3, 3}, {kNaN, 1, 3, 2}},
        {{5, 4, 3, 2, 1}, 3, {kNaN, kNaN, 5, 4, 3}, {kNaN, kNaN, 3, 2, 1}},
        {{1, 2, 3, 4, 5}, 3, {kNaN, kNaN, 3, 4, 5}, {kNaN, kNaN, 1, 2, 3}},
        // A NaN never replaces a number ...
        {{1, 2, kNaN, 3}, 3, {kNaN, kNaN, 2, 3}, {kNaN, kNaN, 1, 2}},
        // ... and a NaN that opens a rescan stays until the next rescan.
        {{9, kNaN, 1, 2, 3}, 2, {kNaN, 9, kNaN, 2, 3}, {kNaN, 9, kNaN, 1, 2}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(same(ind::max(c.in, c.n).value(), c.max));
        EXPECT_TRUE(same(ind::min(c.in, c.n).value(), c.min));
    }
}

TEST(MaxMin, TiesGoToTheNewestBar) {
    // 0 and -0 compare equal; which one is reported shows who won the tie.
    const Series x{0.0, -0.0, 5.0, -1.0};
    const Series mx = ind::max(x, 2).take(), mn = ind::min(x, 2).take();
    EXPECT_TRUE(std::signbit(mx[1]));
    EXPECT_TRUE(std::signbit(mn[1]));
    // After index 2 of [3, NaN, 3, ...] the remembered position is 2, so the
    // first 3 leaving the window triggers no rescan (which would open at NaN).
    EXPECT_EQ(ind::max(Series{3, kNaN, 3, 1, 1}, 3).value()[3], 3.0);
    EXPECT_EQ(ind::min(Series{3, kNaN, 3, 5, 5}, 3).value()[3], 3.0);
}

// The defining rule, written out: remember the extreme's position, rescan
// only when it leaves the window.
Series remembered_position_max(const Series& x, std::size_t n) {
    Series out(x.size(), kNaN);
    double extreme = 0;
    std::size_t pos = 0;
    bool have = false;
    for (std::size_t i = n - 1; i < x.size(); ++i) {
        if (!have || pos + n <= i) {
            have = true;
            pos = i + 1 - n;
            extreme = x[pos];
            for (std::size_t j = pos + 1; j <= i; ++j)
                if (x[j] >= extreme) extreme = x[j], pos = j;
        } else if (x[i] >= extreme) {
            extreme = x[i], pos = i;
        }
        out[i] = extreme;
    }
    return out;
}

TEST(MaxMin, BlocksAgreeWithTheRuleAroundNaNAndRuns) {
    // Block boundaries, a NaN appearing in a later block (where the rule takes
    // over from the block state), falling runs and ties.
    for (std::size_t n : {1, 2, 3, 7, 16}) {
        for (std::size_t nan_at : {std::size_t{0}, std::size_t{5}, std::size_t{16}, std::size_t{47}, std::size_t{999}}) {
            Series x = prices(120, static_cast<unsigned>(n * 7 + nan_at));
            for (std::size_t i = 60; i < 80; ++i) x[i] = 200.0 - static_cast<double>(i);  // falling
            for (std::size_t i = 80; i < 90; ++i) x[i] = 5.0;                              // ties
            if (nan_at < x.size()) x[nan_at] = kNaN;
            EXPECT_TRUE(same(ind::max(x, n).value(), remembered_position_max(x, n))) << n << " " << nan_at;
            Series neg(x.size());
            for (std::size_t i = 0; i < x.size(); ++i) neg[i] = -x[i];
            Series mn = ind::min(neg, n).take();
            for (auto& v : mn) v = -v;
            EXPECT_TRUE(same(mn, remembered_position_max(x, n))) << n << " " << nan_at;
        }
    }
}

TEST(LinearReg, StraightLineAndComponents) {
    Series line;
    for (int i = 0; i < 30; ++i) line.push_back(3.0 + 0.5 * i);
    const Series out = ind::linearreg(line, 7).take();
    EXPECT_EQ(nan_prefix(out), 6u);
    for (std::size_t i = 6; i < line.size(); ++i) EXPECT_NEAR(out[i], line[i], 1e-10) << i;
    const auto parts = ind::linearreg_components(line, 7).take();
    for (std::size_t i = 6; i < line.size(); ++i) {
        EXPECT_NEAR(parts.slope[i], 0.5, 1e-12);
        EXPECT_NEAR(parts.intercept[i], line[i - 6], 1e-10);  // the line at the oldest bar
    }
}

TEST(LinearReg, CarriedSumsMatchARecomputationOnALongSeries) {
    const Series x = prices(200000, 5);
    const std::size_t n = 14;
    const Series out = ind::linearreg(x, n).take();
    for (std::size_t i : {std::size_t{13}, std::size_t{1000}, std::size_t{199999}}) {
        double sy = 0, sxy = 0;
        for (std::size_t j = 0; j < n; ++j) sy += x[i + 1 - n + j], sxy += j * x[i + 1 - n + j];
        const double sx = 91.0, div = 14.0 * 819.0 - sx * sx;
        const double m = (14.0 * sxy - sx * sy) / div, b = (sy - sx * m) / 14.0;
        EXPECT_NEAR(out[i], b + 13.0 * m, 1e-9 * x[i]) << i;
    }
}

TEST(Directional, FlatSeriesGivesZeroes) {
    const Series flat(60, 10.0);
    const Series p = ind::plus_di(flat, flat, flat, 14).take(), m = ind::minus_di(flat, flat, flat, 14).take();
    const Series a = ind::adx(flat, flat, flat, 14).take(), r = ind::adxr(flat, flat, flat, 14).take();
    EXPECT_EQ(nan_prefix(p), 14u);
    EXPECT_EQ(nan_prefix(a), 27u);
    EXPECT_EQ(nan_prefix(r), 40u);
    for (std::size_t i = 14; i < 60; ++i) EXPECT_TRUE(p[i] == 0.0 && m[i] == 0.0);
    for (std::size_t i = 27; i < 60; ++i) EXPECT_EQ(a[i], 0.0);
    for (std::size_t i = 40; i < 60; ++i) EXPECT_EQ(r[i], 0.0);
    EXPECT_EQ(ind::atr(flat, flat, flat, 14).value()[59], 0.0);
}

TEST(Directional, UndefinedDxLeavesAdxUnchangedAndWritesZero) {
    // Flat for 30 bars (no true range: DX undefined), then moving.
    Hlc b = bars(80, 2);
    for (std::size_t i = 0; i < 30; ++i) b.high[i] = b.low[i] = b.close[i] = 50.0;
    const std::size_t n = 5;
    const Series a = ind::adx(b.high, b.low, b.close, n).take();
    // No DX defined among bars n .. 2n-1: the first ADX starts from 0 and the
    // entries are 0 until the first defined DX, then finite values follow.
    for (std::size_t i = 2 * n - 1; i < 30; ++i) EXPECT_EQ(a[i], 0.0) << i;
    EXPECT_TRUE(all_finite_from(a, 2 * n - 1));
    EXPECT_GT(a[79], 0.0);
    // The first defined DX after the flat stretch moves ADX from 0 by DX/n.
    const auto p = ind::plus_di(b.high, b.low, b.close, n).take(), m = ind::minus_di(b.high, b.low, b.close, n).take();
    const double dx30 = 100.0 * std::fabs(p[30] - m[30]) / (p[30] + m[30]);
    EXPECT_NEAR(a[30], dx30 / n, 1e-9);

    const Series r = ind::adxr(b.high, b.low, b.close, n).take();
    for (std::size_t i = 3 * n - 2; i < 80; ++i) EXPECT_DOUBLE_EQ(r[i], (a[i] + a[i - (n - 1)]) * 0.5);
}

TEST(Directional, TrueRangeIgnoresANaNOperand) {
    Series h{10, 12, 11, 13}, l{9, 10, 9, 11}, c{9.5, 11, 10, 12};
    h[2] = kNaN;  // TR of bar 2 is |low - prev close| = |9 - 11| = 2
    const Series a = ind::atr(h, l, c, 1).take();
    EXPECT_EQ(a[1], 2.5);
    EXPECT_EQ(a[2], 2.0);
    EXPECT_EQ(a[3], 3.0);
    // A fully missing bar poisons the smoothed true range from then on.
    h[2] = l[2] = c[1] = kNaN;
    EXPECT_TRUE(std::isnan(ind::atr(h, l, c, 1).value()[2]));
    EXPECT_TRUE(std::isnan(ind::plus_di(h, l, c, 1).value()[2]));
}

TEST(Bands, SmaBandsByHandAndFlatWindows) {
    const Series x{1, 2, 3, 4};
    const auto b = ind::bbands(x, 4, MaType::Sma, 2.0, 1.0).take();
    const double sd = std::sqrt(1.25);
    EXPECT_DOUBLE_EQ(b.middle[3], 2.5);
    EXPECT_DOUBLE_EQ(b.upper[3], 2.5 + 2 * sd);
    EXPECT_DOUBLE_EQ(b.lower[3], 2.5 - sd);

    // Movement then a flat stretch at a price whose square is inexact: once
    // the window is flat the bands close exactly.
    Series y = prices(100, 9);
    for (std::size_t i = 60; i < 100; ++i) y[i] = 1000.1;
    const auto f = ind::bbands(y, 20, MaType::Sma, 2.0, 2.0).take();
    for (std::size_t i = 79; i < 100; ++i) EXPECT_EQ(f.upper[i], f.middle[i]) << i;
    EXPECT_GT(f.upper[78], f.middle[78]);
}

TEST(Bands, MamaBandsWaitForAFullWindow) {
    // MAMA's lookback is 32 whatever n is; a longer window starts later, and
    // an input shorter than the window is too short.
    const Series x = prices(80, 4);
    const auto wide = ind::bbands(x, 50, MaType::Mama, 2.0, 2.0).take();
    EXPECT_EQ(nan_prefix(wide.middle), 49u);
    EXPECT_EQ(nan_prefix(wide.upper), 49u);
    EXPECT_TRUE(all_finite_from(wide.lower, 49));
    EXPECT_EQ(nan_prefix(ind::bbands(x, 20, MaType::Mama, 2.0, 2.0).value().upper), 32u);
}

TEST(TaError, AbsurdPeriodsReportSaturatedNeedsInsteadOfWrapping) {
    const Series x = prices(50);
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    const struct {
        const char* what;
        TaError err;
        std::size_t need;
    } cases[] = {
        {"dema", err(ind::dema(x, kMax)), kMax},
        {"tema", err(ind::tema(x, kMax / 2)), kMax},
        {"t3", err(ind::t3(x, kMax / 5, 0.7)), kMax},
        {"kama", err(ind::kama(x, kMax)), kMax},
        {"atr", err(ind::atr(x, x, x, kMax)), kMax},
        {"plus_di", err(ind::plus_di(x, x, x, kMax)), kMax},
        {"adx", err(ind::adx(x, x, x, kMax / 2 + 1)), kMax},
        {"adxr", err(ind::adxr(x, x, x, kMax)), kMax},
        {"sma", err(ind::sma(x, kMax)), kMax},
        {"bbands t3", err(ind::bbands(x, kMax / 3, MaType::T3, 2, 2)), kMax},
        {"bbands mama", err(ind::bbands(x, kMax, MaType::Mama, 2, 2)), kMax},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.err.kind, TaError::Kind::InsufficientData) << c.what;
        EXPECT_EQ(c.err.need, c.need) << c.what;
        EXPECT_EQ(c.err.got, 50u) << c.what;
    }
}
