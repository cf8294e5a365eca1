#include "zj_python/boundary/clinic.hpp"

#include <charconv>
#include <cstring>

namespace zj_python::clinic {

std::string format_default(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ec == std::errc() ? end : buf);
    // Written as Python writes a float: 0.3, 1.0, 1e+20.
    if (s.find_first_of(".en") == std::string::npos) s += ".0";
    return s;
}

namespace {

std::string quoted(std::string_view name) {
    std::string s(1, '\'');
    s.append(name);
    s += '\'';
    return s;
}

std::string plural(std::size_t n, const char* one, const char* many) { return n == 1 ? one : many; }

}  // namespace

void bind(const char* function, std::span<const ParamInfo> params, PyObject* const* args, Py_ssize_t nargsf,
          PyObject* kwnames, PyObject** slots) {
    const std::size_t total = params.size();
    std::size_t required = 0;
    while (required < total && !params[required].has_default) ++required;
    const auto nargs = static_cast<std::size_t>(nargsf);
    const std::string fname = std::string(function) + "()";

    if (nargs > total) {
        const std::string verb = nargs == 1 ? "was" : "were";
        if (required == total)
            raise_type_error(fname + " takes " + std::to_string(total) + " positional arguments but " +
                             std::to_string(nargs) + " " + verb + " given");
        raise_type_error(fname + " takes from " + std::to_string(required) + " to " + std::to_string(total) +
                         " positional arguments but " + std::to_string(nargs) + " " + verb + " given");
    }
    for (std::size_t i = 0; i < total; ++i) slots[i] = i < nargs ? args[i] : nullptr;

    if (kwnames != nullptr) {
        const Py_ssize_t nkw = PyTuple_Size(kwnames);
        for (Py_ssize_t k = 0; k < nkw; ++k) {
            PyObject* key = PyTuple_GetItem(kwnames, k);
            if (key == nullptr) throw PyErrOccurred{};
            std::size_t match = total;
            for (std::size_t i = 0; i < total; ++i) {
                if (PyUnicode_CompareWithASCIIString(key, params[i].name) == 0) {
                    match = i;
                    break;
                }
            }
            if (match == total)
                raise_type_error(fname + " got an unexpected keyword argument " + quoted(text_for_message(key)));
            if (slots[match] != nullptr)
                raise_type_error(fname + " got multiple values for argument " + quoted(params[match].name));
            slots[match] = args[nargs + static_cast<std::size_t>(k)];
        }
    }

    std::vector<std::string_view> missing;
    for (std::size_t i = 0; i < required; ++i)
        if (slots[i] == nullptr) missing.push_back(params[i].name);
    if (!missing.empty()) {
        std::string list;
        for (std::size_t i = 0; i < missing.size(); ++i) {
            if (i > 0) list += missing.size() == 2 ? " and " : (i + 1 == missing.size() ? ", and " : ", ");
            list += quoted(missing[i]);
        }
        raise_type_error(fname + " missing " + std::to_string(missing.size()) + " required positional " +
                         plural(missing.size(), "argument", "arguments") + ": " + list);
    }
}

void rethrow_conversion(const char* name) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PyErrOccurred{};
    PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    Ref t(type), v(value), b(tb);
    std::string message;
    if (v) {
        if (Ref text{PyObject_Str(v.get())}) message = text_for_message(text.get());
        else PyErr_Clear();
    }
    raise_type_error("argument '" + std::string(name) + "': " + message);
}

namespace {
thread_local const CallFrame* t_frame = nullptr;
}  // namespace

CallFrame::CallFrame(std::span<const ParamInfo> params, PyObject* const* slots) noexcept
    : params_(params), slots_(slots), outer_(t_frame) {
    t_frame = this;
}

CallFrame::~CallFrame() { t_frame = outer_; }

const char* CallFrame::name_of(PyObject* argument) noexcept {
    if (t_frame == nullptr) return nullptr;
    for (std::size_t i = 0; i < t_frame->params_.size(); ++i)
        if (t_frame->slots_[i] == argument) return t_frame->params_[i].name;
    return nullptr;
}

std::string make_doc(const char* function, std::span<const ParamInfo> params, std::string_view extra) {
    std::string doc = function;
    doc += "(";
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (i > 0) doc += ", ";
        doc += params[i].name;
        if (params[i].has_default) doc += "=" + params[i].default_text;
    }
    doc += ")\n--\n\n";
    doc += extra;
    return doc;
}

}  // namespace zj_python::clinic
