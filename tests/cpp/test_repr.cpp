// Numbers in messages are spelled as Python's repr spells them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "zj_core/bad_data.hpp"
#include "zj_core/common/numeric.hpp"

namespace {

struct ReprCase {
    double value;
    const char* repr;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr ReprCase kFloats[] = {
    {0.0, "0.0"},
    {-0.0, "-0.0"},
    {1.0, "1.0"},
    {-100.0, "-100.0"},
    {-1.5, "-1.5"},
    {0.1, "0.1"},
    {0.30000000000000004, "0.30000000000000004"},
    {123456789.125, "123456789.125"},
    {1234567890123456.8, "1234567890123456.8"},
    {9999999999999998.0, "9999999999999998.0"},
    {1e16, "1e+16"},
    {1e22, "1e+22"},
    {12345678901234567890.0, "1.2345678901234567e+19"},
    {1.5e300, "1.5e+300"},
    {1.7976931348623157e308, "1.7976931348623157e+308"},
    {1e-4, "0.0001"},
    {9.999999999999999e-05, "9.999999999999999e-05"},
    {1e-5, "1e-05"},
    {-1.5e-5, "-1.5e-05"},
    {2.2250738585072014e-308, "2.2250738585072014e-308"},
    {5e-324, "5e-324"},
    {-5e-324, "-5e-324"},
    {kInf, "inf"},
    {-kInf, "-inf"},
};

TEST(FloatRepr, SpellsAsPython) {
    for (const ReprCase& c : kFloats) EXPECT_EQ(zj_core::float_repr(c.value), c.repr) << c.repr;
    EXPECT_EQ(zj_core::float_repr(std::nan("")), "nan");
    EXPECT_EQ(zj_core::float_repr(-std::nan("")), "nan");
}

TEST(IntRepr, SpellsAsPython) {
    EXPECT_EQ(zj_core::int_repr(0), "0");
    EXPECT_EQ(zj_core::int_repr(-100), "-100");
    EXPECT_EQ(zj_core::int_repr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(BadDataMessages, WordTheValue) {
    EXPECT_EQ(zj_core::invalid_value_message("pre_close", std::nan("")), "Invalid pre_close nan");
    EXPECT_EQ(zj_core::unordered_range_message(9.5, 10.5), "high 9.5 < low 10.5");
    const zj_core::BadValue price{3, "price", -1e-5};
    EXPECT_EQ(zj_core::bad_value_message(price), "Invalid price -1e-05 in record 3");
    const zj_core::BadValue vol{299, "vol", std::int64_t{-100}};
    EXPECT_EQ(zj_core::bad_value_message(vol), "Invalid vol -100 in record 299");
}

}  // namespace
