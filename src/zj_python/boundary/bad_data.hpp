#pragma once
// The errors of bad market data (zj_core/bad_data.hpp) as ValueError, with
// the messages every entry point shares ("Invalid pre_close nan").
#include <span>

#include "zj_core/bad_data.hpp"
#include "zj_python/boundary/ref.hpp"

namespace zj_python {

// ValueError "Invalid {name} {value!r}" unless `value` is a finite, positive price.
void require_reference_price(const char* name, double value);

// ValueError "high {high!r} < low {low!r}" when the day's range is upside down.
void require_ordered_range(double high, double low);

// ValueError "Invalid {field} {value!r} in record {i}".
[[noreturn]] void raise_bad_value(const zj_core::BadValue& bad);

// Raises for the first bad value of the records (a contiguous container of
// records), if any.
template <class Points>
void require_sound_records(const Points& points) {
    if (const auto bad = zj_core::first_bad_value(std::span(points))) raise_bad_value(*bad);
}

}  // namespace zj_python
