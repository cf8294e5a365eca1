#pragma once
// Result dicts from the result descriptions of zj_core/results.hpp: one entry
// per field, in field order.
#include <span>
#include <string_view>
#include <vector>

#include "zj_core/results.hpp"
#include "zj_python/boundary/convert.hpp"

namespace zj_python {

// The Python value of one cell: float, int, bool, None (an unknown OptBool),
// str, or a list of ints.
Ref cell_value(const zj_core::results::Cell& c, zj_core::results::Kind kind);

// The field names as interned str, made once per description and kept for
// the life of the process (a result of many zones reuses them). GIL held.
PyObject* const* interned_keys(const void* description, std::span<const std::string_view> names);

template <class R>
Ref result_dict(std::span<const zj_core::results::Field<R>> fields, const R& r) {
    static const std::vector<std::string_view> names = [&] {
        std::vector<std::string_view> out;
        for (const auto& f : fields) out.push_back(f.name);
        return out;
    }();
    PyObject* const* keys = interned_keys(fields.data(), names);
    Ref d = Ref::check(PyDict_New());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const Ref v = cell_value(fields[k].get(r), fields[k].kind);
        if (PyDict_SetItem(d.get(), keys[k], v.get()) < 0) throw PyErrOccurred{};
    }
    return d;
}

}  // namespace zj_python
