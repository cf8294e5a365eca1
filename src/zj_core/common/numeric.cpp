#include "zj_core/common/numeric.hpp"

#include <cstdio>

namespace zj_core {

namespace {
std::string format(const char* fmt, double x, int decimals) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, fmt, decimals, x);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');  // huge magnitudes: up to ~330 digits
    std::snprintf(big.data(), big.size(), fmt, decimals, x);
    big.resize(static_cast<std::size_t>(n));
    return big;
}
}  // namespace

std::string fixed(double x, int decimals) { return format("%.*f", x, decimals); }
std::string fixed_signed(double x, int decimals) { return format("%+.*f", x, decimals); }

}  // namespace zj_core
