#include "zj_python/boundary/bad_data.hpp"

namespace zj_python {

void require_reference_price(const char* name, double value) {
    if (!zj_core::valid_reference_price(value)) raise_value_error(zj_core::invalid_value_message(name, value));
}

void require_ordered_range(double high, double low) {
    if (high < low) raise_value_error(zj_core::unordered_range_message(high, low));
}

void raise_bad_value(const zj_core::BadValue& bad) { raise_value_error(zj_core::bad_value_message(bad)); }

}  // namespace zj_python
