// The indicator library: error values and texts, check order, and the edge
// cases of each indicator, above all where our rule is not TA-Lib's. Lookbacks
// and agreement with TA-Lib on random series are checked from Python
// (tests/python/test_ta_reference.py).
#include <gtest/gtest.h>

#include <cmath>
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
    for (auto& v : x) v = p *= std::exp(step(gen));
    return x;
}

// The error of a failed call; a call that succeeded shows as MissingInput.
template <class T>
TaError err(const ind::Result<T>& r) { return r.ok() ? TaError::missing("succeeded") : r.error(); }

std::string short_by(std::size_t need, std::size_t got) { return TaError::insufficient(need, got).debug(); }
std::string bad(const char* n, const char* v, const char* why) { return TaError::invalid(n, v, why).debug(); }

// Equal lengths and entries, NaN matching NaN.
bool same(const Series& a, const Series& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
    return true;
}

}  // namespace

TEST(TaError, DebugAndFloatTexts) {
    const struct { TaError err; const char* text; } cases[] = {
        {TaError::insufficient(5, 4), "InsufficientData { need: 5, got: 4 }"},
        {TaError::invalid("timeperiod", "0", "must be >= 1"),
         R"(InvalidParameter { name: "timeperiod", value: "0", reason: "must be >= 1" })"},
        {TaError::missing(R"(a "b" \c)"), R"(MissingInput("a \"b\" \\c"))"},
        {TaError::mismatch(10, 9), "LengthMismatch { expected: 10, got: 9 }"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.err.debug(), c.text);

    const struct { double x; const char* text; } floats[] = {
        {-0.25, "-0.25"}, {1.0, "1"}, {-0.0, "-0"}, {1e21, "1000000000000000000000"}, {1e-7, "0.0000001"},
        {kNaN, "NaN"}, {INFINITY, "inf"}, {-INFINITY, "-inf"}, {0.30000000000000004, "0.30000000000000004"},
    };
    for (const auto& c : floats) EXPECT_EQ(ind::float_text(c.x), c.text) << c.x;
    EXPECT_EQ(ind::float_text(5e-324).size(), 326u);  // "0.000…5", no exponent
}

TEST(TaError, ChecksInOrder) {
    const Series four = prices(4), nine = prices(9), ten = prices(10), n14 = prices(14), n27 = prices(27),
                 n32 = prices(32), n40 = prices(40);
    const struct { const char* what; TaError err; std::string text; } cases[] = {
        {"sma n=0 on empty", err(ind::sma({}, 0)), bad("timeperiod", "0", "must be >= 1")},
        {"sma short", err(ind::sma(four, 5)), short_by(5, 4)},
        {"dema n=1 long", err(ind::dema(n40, 1)), bad("timeperiod", "1", "must be >= 2 for DEMA")},
        {"dema n=3 on 4", err(ind::dema(four, 3)), short_by(5, 4)},
        {"tema n=1", err(ind::tema({}, 1)), bad("timeperiod", "1", "must be >= 2 for TEMA")},
        {"tema short", err(ind::tema(Series{1, 2, 3}, 2)), short_by(4, 3)},
        {"t3 n=0", err(ind::t3(four, 0, 0.7)), bad("timeperiod", "0", "must be >= 2 for T3")},
        {"t3 short", err(ind::t3(ten, 3, 0.7)), short_by(13, 10)},
        {"trima short", err(ind::trima(four, 5)), short_by(5, 4)},
        {"kama n=1", err(ind::kama({}, 1)), bad("timeperiod", "1", "must be >= 2")},
        {"kama len=n", err(ind::kama(ten, 10)), short_by(11, 10)},
        {"mama length before limits", err(ind::mama(n32, 7.0, 9.0)), short_by(33, 32)},
        {"mama fastlimit", err(ind::mama(n40, 1.5, 0.05)), bad("fastlimit", "1.5", "must be in (0, 1]")},
        {"mama slow = fast", err(ind::mama(n40, 0.5, 0.5)), bad("slowlimit", "0.5", "must be in (0, fastlimit)")},
        {"mama slow < 0", err(ind::mama(n40, 0.5, -0.25)), bad("slowlimit", "-0.25", "must be in (0, fastlimit)")},
        {"compute_ma mama length", err(ind::compute_ma(n32, 5, MaType::Mama)), short_by(33, 32)},
        {"bbands sma short", err(ind::bbands(four, 5, MaType::Sma, 2, 2)), short_by(5, 4)},
        {"bbands kama rules", err(ind::bbands(ten, 1, MaType::Kama, 2, 2)), bad("timeperiod", "1", "must be >= 2")},
        {"bbands t3 length", err(ind::bbands(ten, 3, MaType::T3, 2, 2)), short_by(13, 10)},
        {"bbands mama window > input", err(ind::bbands(n40, 50, MaType::Mama, 2, 2)), short_by(50, 40)},
        {"max n=0", err(ind::max(four, 0)), bad("timeperiod", "0", "must be >= 1")},
        {"min short", err(ind::min(four, 5)), short_by(5, 4)},
        {"linearreg n=1", err(ind::linearreg(ten, 1)), bad("timeperiod", "1", "must be >= 2")},
        {"atr 14 on 14", err(ind::atr(n14, n14, n14, 14)), short_by(15, 14)},
        {"atr n=0", err(ind::atr(ten, ten, ten, 0)), short_by(1, 10)},
        {"adx n=1", err(ind::adx(ten, ten, ten, 1)), bad("timeperiod", "1", "must be >= 2")},
        {"adx 14 on 27", err(ind::adx(n27, n27, n27, 14)), short_by(28, 27)},
        {"adxr n=0", err(ind::adxr(ten, ten, ten, 0)), bad("timeperiod", "0", "must be >= 2")},
        // A mismatch is reported before the period; got is the shorter of low
        // and close, or the other one when the shorter matches high.
        {"atr mismatch first", err(ind::atr(ten, nine, ten, 0)), "LengthMismatch { expected: 10, got: 9 }"},
        {"adx mismatch first", err(ind::adx(ten, four, nine, 1)), "LengthMismatch { expected: 10, got: 4 }"},
        {"plus_di longer close", err(ind::plus_di(ten, ten, n32, 3)), "LengthMismatch { expected: 10, got: 32 }"},
        {"adxr high shorter", err(ind::adxr(nine, ten, ten, 3)), "LengthMismatch { expected: 9, got: 10 }"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.err.debug(), c.text) << c.what;
}

TEST(TaError, AbsurdPeriodsReportSaturatedNeedsInsteadOfWrapping) {
    const Series x = prices(50);
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    const TaError cases[] = {
        err(ind::dema(x, kMax)),        err(ind::tema(x, kMax / 2)),    err(ind::t3(x, kMax / 5, 0.7)),
        err(ind::kama(x, kMax)),        err(ind::atr(x, x, x, kMax)),   err(ind::plus_di(x, x, x, kMax)),
        err(ind::adx(x, x, x, kMax / 2 + 1)), err(ind::adxr(x, x, x, kMax)), err(ind::sma(x, kMax)),
        err(ind::bbands(x, kMax / 3, MaType::T3, 2, 2)), err(ind::bbands(x, kMax, MaType::Mama, 2, 2)),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].debug(), short_by(kMax, 50)) << i;
}

TEST(MovingAverages, PeriodOneReturnsTheInput) {
    // Exactly, even where a carried sum would lose the small values.
    const Series x{1e-20, 1.0, -3.5, 1e300, 0.1, 7.0};
    const ind::Result<Series> cases[] = {ind::sma(x, 1),  ind::wma(x, 1), ind::compute_ma(x, 1, MaType::Ema),
                                         ind::trima(x, 1), ind::max(x, 1), ind::min(x, 1)};
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].value(), x) << i;
    const auto b = ind::bbands(x, 1, MaType::Sma, 2.0, 3.0).take();
    EXPECT_TRUE(b.upper == x && b.middle == x && b.lower == x);
    // trima copies any input, NaN and empty included.
    EXPECT_TRUE(ind::trima({}, 1).value().empty() && same(ind::trima(Series{kNaN, 2.0}, 1).value(), Series{kNaN, 2.0}));
}

TEST(MovingAverages, KamaWithoutMovementUsesTheSlowestConstant) {
    const Series flat = ind::kama(Series(30, 42.0), 10).take();
    EXPECT_TRUE(std::isnan(flat[9]) && flat[10] == 42.0 && flat[29] == 42.0);
    // A rise, then a flat stretch: once the window holds no movement the
    // average creeps toward the price at (2/31)^2 per bar.
    Series x;
    for (int i = 0; i < 40; ++i) x.push_back(i < 20 ? 10.0 + i : 29.0);
    const Series k = ind::kama(x, 5).take();
    const double slow = (2.0 / 31.0) * (2.0 / 31.0);
    for (std::size_t i = 25; i < x.size(); ++i) EXPECT_DOUBLE_EQ(k[i], k[i - 1] + slow * (29.0 - k[i - 1])) << i;
}

TEST(MovingAverages, MamaChecksAndDispatch) {
    const Series x = prices(120);
    // A NaN limit breaks no comparison and is accepted; fastlimit 1 is allowed.
    EXPECT_TRUE(ind::mama(x, kNaN, 0.05).ok() && ind::mama(x, 1.0, kNaN).ok() && ind::mama(x, 1.0, 0.999).ok());
    // compute_ma with Mama ignores the period and returns the MAMA line.
    const auto lines = ind::mama(x, 0.5, 0.05).take();
    EXPECT_TRUE(same(ind::compute_ma(x, 999, MaType::Mama).value(), lines.mama));
    EXPECT_FALSE(same(lines.mama, lines.fama));
}

TEST(SeedSum, FourLanesThenTheRemainderInOrder) {
    // The ones added to the 1e16 lanes vanish; a left-to-right sum loses a
    // different one and gives 6.5.
    EXPECT_EQ(ind::seed_sum(Series{1e16, 1.0, -1e16, 1.0, 1.0, 1.0, 1.0, 1.0, 0.5}), 4.5);
    EXPECT_EQ(ind::seed_sum(Series{1.0, 2.0, 3.0}), 6.0);
}

TEST(MaxMin, SlidingExtremes) {
    const struct { Series in; std::size_t n; Series max, min; } cases[] = {
        {{1, 3, 3, 2}, 2, {kNaN, 3, 3, 3}, {kNaN, 1, 3, 2}},
        // A NaN never replaces a number ...
        {{1, 2, kNaN, 3}, 3, {kNaN, kNaN, 2, 3}, {kNaN, kNaN, 1, 2}},
        // ... and a NaN that opens a rescan stays until the next rescan.
        {{9, kNaN, 1, 2, 3}, 2, {kNaN, 9, kNaN, 2, 3}, {kNaN, 9, kNaN, 1, 2}},
        // The newest 3 is remembered at index 2, so the first one leaving
        // triggers no rescan (which would open at the NaN).
        {{3, kNaN, 3, 1, 1}, 3, {kNaN, kNaN, 3, 3, 3}, {kNaN, kNaN, 3, 1, 1}},
        {{3, kNaN, 3, 5, 5}, 3, {kNaN, kNaN, 3, 5, 5}, {kNaN, kNaN, 3, 3, 3}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_TRUE(same(ind::max(cases[i].in, cases[i].n).value(), cases[i].max)) << i;
        EXPECT_TRUE(same(ind::min(cases[i].in, cases[i].n).value(), cases[i].min)) << i;
    }
    // 0 and -0 compare equal; which one is reported shows who won the tie.
    EXPECT_TRUE(std::signbit(ind::max(Series{0.0, -0.0}, 2).value()[1]) &&
                std::signbit(ind::min(Series{0.0, -0.0}, 2).value()[1]));
}

// The defining rule, written out: remember the extreme's position, rescan
// only when it leaves the window, newest bar wins ties.
Series remembered_position_max(const Series& x, std::size_t n) {
    Series out(x.size(), kNaN);
    std::size_t pos = 0;
    for (std::size_t i = n - 1; i < x.size(); ++i) {
        if (i == n - 1 || pos + n <= i)
            for (std::size_t j = pos = i + 1 - n; j <= i; ++j) pos = x[j] >= x[pos] ? j : pos;
        else if (x[i] >= x[pos])
            pos = i;
        out[i] = x[pos];
    }
    return out;
}

TEST(MaxMin, BlocksAgreeWithTheRuleAroundNaNAndRuns) {
    // Block boundaries, a NaN appearing in a later block (where the rule takes
    // over from the block state), falling runs and ties.
    for (std::size_t n : {1, 2, 3, 7, 16}) {
        for (std::size_t nan_at : {0, 5, 16, 47, 999}) {
            Series x = prices(120, static_cast<unsigned>(n * 7 + nan_at));
            for (std::size_t i = 60; i < 80; ++i) x[i] = 200.0 - static_cast<double>(i);  // falling
            for (std::size_t i = 80; i < 90; ++i) x[i] = 5.0;                              // ties
            if (nan_at < x.size()) x[nan_at] = kNaN;
            const Series want = remembered_position_max(x, n);
            EXPECT_TRUE(same(ind::max(x, n).value(), want)) << n << " " << nan_at;
            for (auto& v : x) v = -v;
            Series mn = ind::min(x, n).take();
            for (auto& v : mn) v = -v;
            EXPECT_TRUE(same(mn, want)) << n << " " << nan_at;
        }
    }
}

TEST(Directional, FlatSeriesGivesZeroes) {
    const Series f(60, 10.0);
    const Series p = ind::plus_di(f, f, f, 14).take(), m = ind::minus_di(f, f, f, 14).take();
    const Series a = ind::adx(f, f, f, 14).take(), r = ind::adxr(f, f, f, 14).take();
    for (std::size_t i = 14; i < 60; ++i)
        EXPECT_TRUE(p[i] == 0.0 && m[i] == 0.0 && (i < 27 || a[i] == 0.0) && (i < 40 || r[i] == 0.0)) << i;
    EXPECT_EQ(ind::atr(f, f, f, 14).value()[59], 0.0);
}

TEST(Directional, UndefinedDxLeavesAdxUnchangedAndWritesZero) {
    // Flat bars first (no true range: DX undefined), then movement. The first
    // ADX, at 2n-1, averages only the defined DX values among bars n..2n-1
    // (0 if none); an undefined DX keeps ADX and its entry reads 0.
    const std::size_t n = 5;
    for (std::size_t flat : {7, 30}) {
        Series c = prices(80, 2);
        for (std::size_t i = 0; i < flat; ++i) c[i] = 50.0;
        Series h = c, l = c;
        for (std::size_t i = flat; i < c.size(); ++i) h[i] += 1.0, l[i] -= 1.0;
        const Series a = ind::adx(h, l, c, n).take(), r = ind::adxr(h, l, c, n).take();
        const Series p = ind::plus_di(h, l, c, n).take(), m = ind::minus_di(h, l, c, n).take();
        auto dx = [&](std::size_t i) { return 100.0 * std::fabs(p[i] - m[i]) / (p[i] + m[i]); };
        for (std::size_t i = 2 * n - 1; i < flat; ++i) EXPECT_EQ(a[i], 0.0) << i;
        // with flat 30 ADX starts from 0 and takes one Wilder step
        EXPECT_NEAR(a[flat == 7 ? 9 : 30], flat == 7 ? (dx(7) + dx(8) + dx(9)) / 3.0 : dx(30) / n, 1e-9);
        for (std::size_t i = 3 * n - 2; i < 80; ++i) EXPECT_DOUBLE_EQ(r[i], (a[i] + a[i - (n - 1)]) * 0.5);
    }
}

TEST(Directional, TrueRangeIgnoresANaNOperand) {
    Series h{10, 12, kNaN, 13}, l{9, 10, 9, 11}, c{9.5, 11, 10, 12};
    // TR of bar 2 is |low - prev close| = |9 - 11| = 2
    EXPECT_TRUE(same(ind::atr(h, l, c, 1).value(), Series{kNaN, 2.5, 2.0, 3.0}));
    // A fully missing bar poisons the smoothed true range from then on.
    l[2] = c[1] = kNaN;
    EXPECT_TRUE(std::isnan(ind::atr(h, l, c, 1).value()[2]) && std::isnan(ind::plus_di(h, l, c, 1).value()[2]));
}

TEST(Bands, FlatWindowsCloseTheBandsExactly) {
    // Movement then a flat stretch at a price whose square is inexact: the
    // sum-of-squares residue must not leave a sliver of width.
    Series y = prices(100, 9);
    for (std::size_t i = 60; i < 100; ++i) y[i] = 1000.1;
    const auto f = ind::bbands(y, 20, MaType::Sma, 2.0, 2.0).take();
    for (std::size_t i = 79; i < 100; ++i) EXPECT_TRUE(f.upper[i] == f.middle[i] && f.lower[i] == f.middle[i]) << i;
    EXPECT_GT(f.upper[78], f.middle[78]);
}

TEST(FlatWindows, GiveTheValueAndSlopeZeroExactly) {
    // Movement, then a flat stretch (a suspended stock) at prices whose window
    // sums are inexact: the carried sums hold residue from the moving bars.
    const struct {
        double level;
        std::size_t n;
    } cases[] = {{1000.1, 20}, {1000.1, 5}, {0.1, 3}, {10.23, 2}, {0.37, 14}};
    for (const auto& c : cases) {
        Series y = prices(100, 9);
        for (std::size_t i = 60; i < 100; ++i) y[i] = c.level;
        const Series avg = ind::sma(y, c.n).take();
        const Series line = ind::linearreg(y, c.n).take();
        const auto parts = ind::linearreg_components(y, c.n).take();
        const auto bands = ind::bbands(y, c.n, MaType::Sma, 2.0, 2.0).take();
        for (std::size_t i = 59 + c.n; i < 100; ++i) {
            EXPECT_EQ(avg[i], c.level) << c.n << " at " << i;
            EXPECT_EQ(line[i], c.level) << c.n << " at " << i;
            EXPECT_EQ(parts.slope[i], 0.0) << c.n << " at " << i;
            EXPECT_EQ(parts.intercept[i], c.level) << c.n << " at " << i;
            EXPECT_EQ(bands.middle[i], c.level) << c.n << " at " << i;
        }
        // The last window that still holds a move keeps its slope.
        EXPECT_NE(parts.slope[58 + c.n], 0.0) << c.n;
    }
}

TEST(FlatWindows, FirstWindowAndPoisonedSums) {
    // A flat first window: the seed sum of 0.1s is inexact.
    const Series tenths(30, 0.1);
    EXPECT_EQ(ind::sma(tenths, 3).value()[2], 0.1);
    EXPECT_EQ(ind::linearreg(tenths, 7).value()[6], 0.1);
    EXPECT_EQ(ind::linearreg_components(tenths, 7).value().slope[6], 0.0);
    // A NaN poisons the carried sums for good, flat stretch or not.
    Series y = prices(40);
    y[10] = kNaN;
    for (std::size_t i = 20; i < 40; ++i) y[i] = 5.0;
    EXPECT_TRUE(std::isnan(ind::sma(y, 5).value()[39]));
    EXPECT_TRUE(std::isnan(ind::linearreg(y, 5).value()[39]));
    // The regression of infinite values stays undefined (inf - inf), as TA-Lib has it.
    const Series inf(10, INFINITY);
    EXPECT_TRUE(std::isnan(ind::linearreg(inf, 4).value()[3]));
}
