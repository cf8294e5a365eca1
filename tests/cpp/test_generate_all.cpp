// Column names, cell texts, parameter texts and the tail alignment of
// generate_all_signals' built-in columns.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "zj_python/signal_table.hpp"

namespace ga = zj_python::generate_all;
using zj_signals::ParamMap;
using zj_signals::SignalOutput;

TEST(GenerateAllTable, FloatParamText) {
    const struct {
        double x;
        const char* text;
    } cases[] = {
        {9.0, "9"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {0.1, "0.1"},
        {1e20, "100000000000000000000"},
        {1e-7, "0.0000001"},
        {123456789012345.67, "123456789012345.67"},
        {-0.0, "-0"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& c : cases) EXPECT_EQ(ga::float_param_text(c.x), c.text) << c.x;

    // Every finite value reads back exactly, with no exponent.
    for (double x : {std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(), 1.0 / 3.0,
                     2.0 / 3.0 * 1e-300, 6.02214076e23}) {
        const std::string t = ga::float_param_text(x);
        EXPECT_EQ(t.find_first_of("eE"), std::string::npos) << t;
        double back = 0.0;
        std::from_chars(t.data(), t.data() + t.size(), back);
        EXPECT_EQ(back, x) << t;
    }
}

TEST(GenerateAllTable, ColumnNames) {
    const struct {
        const char* name;
        const char* freq;
        ParamMap params;
        const char* column;
    } cases[] = {
        {"zj_wavetrend_V260625", "", {{"n1", "10"}, {"n2", "21"}, {"n3", "4"}}, "_D1WT#10#21#4_V260625"},
        {"zj_wavetrend_zone_V260724", "F", {{"n1", "10"}, {"n2", "21"}, {"n3", "4"}}, "F_D1WT#10#21#4_区位V260724"},
        {"zj_osc_state_V260720", "F", {{"n", "14"}, {"m", "3"}, {"_init_n", "500"}}, "F_D1OSC#14#3_V260720"},
        // n1..n6 win over n, m, scale; gaps are skipped, order is fixed.
        {"zj_ttm_squeeze_V260711", "F", {{"n6", "6"}, {"n2", "2"}, {"n", "9"}}, "F_D1TTM#2#6_V260711"},
        {"zj_vol_ratio_V260721", "F", {{"scale", "1.5"}, {"n", "5"}}, "F_D1VOL#5#1.5_V260721"},
        // Unknown bases keep their text; a second "_V" ends the version.
        {"zj_foo_bar_V1_V2", "F", {}, "F_D1foo_bar#_V1"},
        {"my_zone_V7", "F", {}, "F_D1my_zone#_区位V7"},
        {"plain", "F", {{"m", "3"}}, "F_D1plain#3_Vplain"},
    };
    for (const auto& c : cases) EXPECT_EQ(ga::zj_col_name(c.name, c.freq, c.params), c.column) << c.name;
}

namespace {
std::vector<SignalOutput> block_of(std::initializer_list<const char*> labels) {
    std::vector<SignalOutput> out;
    for (const char* v1 : labels) out.push_back(SignalOutput::make("s", "", v1, "任意", "任意", 1));
    return out;
}
std::vector<std::string> rows_of(const ga::Column& col) {
    std::vector<std::string> out;
    for (std::uint32_t i : col.cells) out.push_back(col.texts.at(i));
    return out;
}
}  // namespace

TEST(GenerateAllTable, AlignedColumns) {
    const std::string d(ga::kDefaultCell);
    // Newest record on the last row: a longer block drops its oldest records,
    // a shorter one leaves the top rows to the default cell.
    EXPECT_EQ(rows_of(ga::aligned_column(block_of({"a", "b", "c"}), 3)),
              (std::vector<std::string>{"a_任意_任意_1", "b_任意_任意_1", "c_任意_任意_1"}));
    EXPECT_EQ(rows_of(ga::aligned_column(block_of({"a", "b", "c", "d"}), 2)),
              (std::vector<std::string>{"c_任意_任意_1", "d_任意_任意_1"}));
    EXPECT_EQ(rows_of(ga::aligned_column(block_of({"x"}), 3)), (std::vector<std::string>{d, d, "x_任意_任意_1"}));
    EXPECT_EQ(rows_of(ga::aligned_column(block_of({}), 2)), (std::vector<std::string>{d, d}));
    EXPECT_TRUE(ga::aligned_column(block_of({"a"}), 0).cells.empty());
    EXPECT_EQ(ga::cell_text(SignalOutput::make("n", "f", "a", "", "c", 4294967295u)), "a__c_4294967295");

    // Records viewing the same labels share one cell text; equal labels held
    // elsewhere (and a different score) still read right.
    const char* a = "a";
    const std::string other_a = "a";
    std::vector<SignalOutput> block = block_of({a, a, "b", a});
    block.push_back(SignalOutput::make("s", "", other_a, "任意", "任意", 1));
    block.push_back(SignalOutput::make("s", "", a, "任意", "任意", 2));
    const ga::Column col = ga::aligned_column(block, 8);
    EXPECT_EQ(rows_of(col), (std::vector<std::string>{d, d, "a_任意_任意_1", "a_任意_任意_1", "b_任意_任意_1",
                                                      "a_任意_任意_1", "a_任意_任意_1", "a_任意_任意_2"}));
    EXPECT_LE(col.texts.size(), 5u);  // not one per row
}
