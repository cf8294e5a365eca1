#include "zj_python/boundary/bad_data.hpp"

#include <type_traits>
#include <variant>

#include "zj_python/boundary/convert.hpp"

namespace zj_python {

void require_reference_price(const char* name, double value) {
    if (zj_core::valid_reference_price(value)) return;
    const Ref v = py_float(value);
    PyErr_Format(PyExc_ValueError, "Invalid %s %R", name, v.get());
    throw PyErrOccurred{};
}

void require_ordered_range(double high, double low) {
    if (!(high < low)) return;
    const Ref h = py_float(high);
    const Ref l = py_float(low);
    PyErr_Format(PyExc_ValueError, "high %R < low %R", h.get(), l.get());
    throw PyErrOccurred{};
}

void raise_bad_value(const zj_core::BadValue& bad) {
    const Ref v = std::visit(
        [](auto x) {
            if constexpr (std::is_same_v<decltype(x), double>)
                return py_float(x);
            else
                return py_int(x);
        },
        bad.value);
    PyErr_Format(PyExc_ValueError, "Invalid %s %R in record %zu", bad.field, v.get(), bad.record);
    throw PyErrOccurred{};
}

}  // namespace zj_python
