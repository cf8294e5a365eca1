#pragma once
// The seed sum of a first window, four values at a time in two two-lane
// partial sums: lanes (4j, 4j+1) and (4j+2, 4j+3), combined as
// (sum of the first pair) + (sum of the second pair), then the one to three
// remaining values added in order.
#include <span>

namespace indicators {

double seed_sum(std::span<const double> window);

}  // namespace indicators
