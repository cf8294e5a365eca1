// Column names, cell texts, parameter texts and the tail alignment of
// generate_all_signals' built-in columns.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "zj_python/signal_table.hpp"

namespace ga = zj_python::generate_all;
using Rows = std::vector<std::string>;

TEST(GenerateAllTable, FloatParamText) {
    const std::pair<double, const char*> cases[] = {{9.0, "9"}, {-2.25, "-2.25"}, {0.1, "0.1"}, {1e-7, "0.0000001"},
        {1e20, "100000000000000000000"}, {-0.0, "-0"}, {INFINITY, "inf"}, {-INFINITY, "-inf"}, {NAN, "nan"}};
    for (const auto& [x, text] : cases) EXPECT_EQ(ga::float_param_text(x), text) << text;

    // Every finite value reads back exactly, with no exponent; the smallest subnormal is the widest text.
    for (double x : {DBL_MAX, DBL_TRUE_MIN, 1.0 / 3.0, 2.0 / 3.0 * 1e-300, 6.02214076e23})
        EXPECT_TRUE(ga::float_param_text(x).find_first_of("eE") == std::string::npos &&
                    std::strtod(ga::float_param_text(x).c_str(), nullptr) == x) << x;
}

TEST(GenerateAllTable, ColumnNames) {
    const std::tuple<const char*, const char*, zj_signals::ParamMap, const char*> cases[] = {
        {"zj_wavetrend_V260625", "", {{"n1", "10"}, {"n2", "21"}, {"n3", "4"}}, "_D1WT#10#21#4_V260625"},
        {"zj_wavetrend_zone_V260724", "F", {{"n1", "10"}, {"n2", "21"}, {"n3", "4"}}, "F_D1WT#10#21#4_区位V260724"},
        {"zj_osc_state_V260720", "F", {{"n", "14"}, {"m", "3"}, {"_init_n", "500"}}, "F_D1OSC#14#3_V260720"},
        // n1..n6 win over n, m, scale; gaps are skipped, order is fixed.
        {"zj_ttm_squeeze_V260711", "F", {{"n6", "6"}, {"n2", "2"}, {"n", "9"}}, "F_D1TTM#2#6_V260711"},
        {"zj_vol_ratio_V260721", "F", {{"scale", "1.5"}, {"n", "5"}}, "F_D1VOL#5#1.5_V260721"},
        {"zj_ic_state_V260718", "F", {{"di", "2"}, {"n1", "9"}}, "F_D1IC#9_V260718"},
        {"zj_dmi_state_V260714", "F", {{"n1", "14"}, {"n2", "6"}}, "F_D1DMI#14#6_V260714"},
        {"zj_osc_state_V260721", "F", {{"n", "20"}, {"m", "6"}}, "F_D1OSC#20#6_V260721"},
        // Unknown bases keep their text; a second "_V" ends the version.
        {"zj_foo_bar_V1_V2", "F", {}, "F_D1foo_bar#_V1"}, {"my_zone_V7", "F", {}, "F_D1my_zone#_区位V7"},
        {"plain", "F", {{"m", "3"}}, "F_D1plain#3_Vplain"}};
    for (const auto& [name, freq, params, column] : cases) EXPECT_EQ(ga::zj_col_name(name, freq, params), column);
}

using Block = std::vector<zj_signals::SignalOutput>;
static Block block_of(std::initializer_list<const char*> labels, std::uint32_t score = 1) {
    Block out;  // one record per label
    for (const char* v1 : labels) out.push_back(zj_signals::SignalOutput::make("s", "", v1, "x", "y", score));
    return out;
}
static Rows rows_of(const Block& block, std::size_t rows) {  // the aligned column's cell texts
    const ga::Column col = ga::aligned_column(block, rows);
    Rows out;
    for (std::uint32_t i : col.cells) out.push_back(col.texts.at(i));
    return out;
}

TEST(GenerateAllTable, AlignedColumns) {
    const std::string d(ga::kDefaultCell);
    // Newest record on the last row: a longer block drops its oldest records,
    // a shorter one leaves the top rows to the default cell.
    EXPECT_EQ(rows_of(block_of({"a", "b", "c", "d"}), 2), (Rows{"c_x_y_1", "d_x_y_1"}));
    EXPECT_EQ(rows_of(block_of({"a"}), 3), (Rows{d, d, "a_x_y_1"}));
    EXPECT_TRUE(rows_of(block_of({}), 2) == (Rows{d, d}) && rows_of(block_of({"a"}), 0).empty());
    EXPECT_EQ(ga::cell_text(zj_signals::SignalOutput::make("n", "f", "a", "", "c", 4294967295u)), "a__c_4294967295");

    // Records viewing the same labels share one cell text; equal labels held
    // elsewhere (and a different score) must still read right.
    const char* a = "a";
    const std::string other_a(a);
    Block block = block_of({a, a, "b", a, other_a.c_str()});
    block.push_back(block_of({a}, 2).front());
    EXPECT_EQ(rows_of(block, 8), (Rows{d, d, "a_x_y_1", "a_x_y_1", "b_x_y_1", "a_x_y_1", "a_x_y_1", "a_x_y_2"}));
}
