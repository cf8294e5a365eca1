#pragma once
// Functions described once. A `Function` names the Python function, its
// parameters (kind, name, default) and its docstring; from that one
// description come the argument binding with its error texts, the conversion
// of every argument, the text signature that `inspect.signature` reads, and
// the PyMethodDef. A binding is then a plain C++ function taking converted
// values:
//
//   constexpr clinic::Function kScan{"auction_scan",
//       clinic::List{"data"}, clinic::Int32{"threshold", 50}, clinic::OptFloat{"open_price"}};
//   Ref auction_scan(PyObject* data, std::int32_t threshold, std::optional<double> open_price);
//   PyMethodDef* def = clinic::method<kScan, auction_scan>();
//
// Functions without parameters are described by `NoArgs` and made by
// `noargs_method`.
//
// Binding follows the interpreter's rules for positional-or-keyword
// parameters; all arguments are converted before the body runs.
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "zj_python/boundary/convert.hpp"

namespace zj_python::clinic {

// ---- parameter kinds -------------------------------------------------------

// A list (subclasses accepted), passed on borrowed.
struct List {
    using value_type = PyObject*;
    const char* name;
    static value_type convert(PyObject* o) {
        require_list(o);
        return o;
    }
};

// A float whose default is None; None and omission are alike.
struct OptFloat {
    using value_type = std::optional<double>;
    const char* name;
    static value_type convert(PyObject* o) {
        if (o == Py_None) return std::nullopt;
        return to_f64(o);
    }
};

// A parameter whose value `Convert` makes, required or with a default.
template <class T, T (*Convert)(PyObject*)>
struct Scalar {
    using value_type = T;
    const char* name;
    std::optional<T> fallback = std::nullopt;
    constexpr Scalar(const char* n) : name(n) {}
    constexpr Scalar(const char* n, T d) : name(n), fallback(d) {}
    static value_type convert(PyObject* o) { return Convert(o); }
};

// float, int or anything with __float__ / __index__; None only where it is the default.
using Float = Scalar<double, &to_f64>;
// int (or __index__) within 32 bits; floats are rejected.
using Int32 = Scalar<std::int32_t, &to_i32>;
// A non-negative integer that fits an unsigned machine word.
using USize = Scalar<std::uint64_t, &to_u64>;
// A str, passed on as its UTF-8 text (valid for the call).
using Str = Scalar<std::string_view, &to_str>;
// bool, or numpy's bool scalar.
using Bool = Scalar<bool, &to_bool>;

// ---- what binding and the signature need to know of a parameter -----------

struct ParamInfo {
    const char* name;
    bool has_default;
    std::string default_text;  // as written in the signature
};

// Defaults as the signature writes them: 0.3, 1.0, 50, "20170101", False.
std::string format_default(double v);
inline std::string format_default(bool v) { return v ? "True" : "False"; }
inline std::string format_default(std::string_view v) {
    std::string text(1, '"');  // appended: g++ 12 misreads `"\"" + std::string(...)` (-Wrestrict)
    text.append(v);
    text += '"';
    return text;
}
template <std::integral T>
std::string format_default(T v) {
    return std::to_string(v);
}

inline ParamInfo info(const List& p) { return {p.name, false, {}}; }
inline ParamInfo info(const OptFloat& p) { return {p.name, true, "None"}; }
template <class T, T (*Convert)(PyObject*)>
ParamInfo info(const Scalar<T, Convert>& p) {
    return {p.name, p.fallback.has_value(), p.fallback ? format_default(*p.fallback) : std::string()};
}

template <class P>
typename P::value_type default_value(const P& p) {
    if constexpr (std::is_same_v<P, OptFloat>) {
        return std::nullopt;
    } else if constexpr (std::is_same_v<P, List>) {
        return nullptr;  // never reached: lists are always required
    } else {
        return *p.fallback;
    }
}

// ---- binding ---------------------------------------------------------------

// Matches positional and keyword arguments to parameters. `slots` receives a
// borrowed object per parameter, or NULL for one left to its default. Raises
// the interpreter's binding TypeErrors.
void bind(const char* function, std::span<const ParamInfo> params, PyObject* const* args,
          Py_ssize_t nargs, PyObject* kwnames, PyObject** slots);

// Re-raises a TypeError from converting parameter `name` as
// "argument '{name}': {message}"; other exceptions pass unchanged.
[[noreturn]] void rethrow_conversion(const char* name);

// "name(a, b=1)\n--\n\n" followed by the extra docstring text.
std::string make_doc(const char* function, std::span<const ParamInfo> params, std::string_view extra);

// The arguments of the described call running on this thread, innermost
// first, so that a reader deep inside a binding can name the argument it reads
// as the description names it.
class CallFrame {
public:
    CallFrame(std::span<const ParamInfo> params, PyObject* const* slots) noexcept;
    ~CallFrame();
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;
    // The name of the current call's parameter given `argument` (the first
    // one, should the same object be passed twice), or NULL.
    static const char* name_of(PyObject* argument) noexcept;

private:
    std::span<const ParamInfo> params_;
    PyObject* const* slots_;
    const CallFrame* outer_;
};

// ---- the description -------------------------------------------------------

template <class... Ps>
struct Function {
    const char* name;
    std::tuple<Ps...> params;
    std::string_view doc = {};  // text after the signature block

    constexpr Function(const char* n, Ps... ps) : name(n), params(ps...) {}
    // The same description with docstring text after the signature block.
    constexpr Function with_doc(std::string_view extra) const {
        Function f = *this;
        f.doc = extra;
        return f;
    }

    static constexpr std::size_t size = sizeof...(Ps);
    using values = std::tuple<typename Ps::value_type...>;

    std::array<ParamInfo, sizeof...(Ps)> infos() const {
        return std::apply([](const auto&... p) { return std::array<ParamInfo, sizeof...(Ps)>{info(p)...}; },
                          params);
    }
};

template <class P>
typename P::value_type convert_one(const P& p, PyObject* slot) {
    if (slot == nullptr) return default_value(p);
    try {
        return P::convert(slot);
    } catch (const PyErrOccurred&) {
        rethrow_conversion(p.name);
    }
}

template <const auto& F, auto Body>
PyObject* fastcall(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        using Fn = std::remove_cvref_t<decltype(F)>;
        static const auto infos = F.infos();
        std::array<PyObject*, Fn::size + 1> slots{};  // +1 keeps the array non-empty
        // Qualified: with <functional> in sight, ADL on std::array would pick std::bind.
        clinic::bind(F.name, infos, args, nargs, kwnames, slots.data());
        const CallFrame frame(infos, slots.data());
        // Every argument is converted, in parameter order, before the body runs.
        auto values = [&]<std::size_t... I>(std::index_sequence<I...>) {
            return typename Fn::values{convert_one(std::get<I>(F.params), slots[I])...};
        }(std::make_index_sequence<Fn::size>{});
        Ref result = std::apply(Body, std::move(values));
        return result.release();
    });
}

// The PyMethodDef of a described function; lives for the process.
template <const auto& F, auto Body>
PyMethodDef* method() {
    static const std::string doc = make_doc(F.name, F.infos(), F.doc);
    static PyMethodDef def{F.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fastcall<F, Body>)),
                           METH_FASTCALL | METH_KEYWORDS, doc.c_str()};
    return &def;
}

// A function of no arguments (the interpreter rejects any argument itself).
struct NoArgs {
    const char* name;
    std::string_view doc = {};
};

template <const NoArgs& F, auto Body>
PyObject* noargs(PyObject*, PyObject*) {
    return guarded([&]() -> PyObject* { return Body().release(); });
}

template <const NoArgs& F, auto Body>
PyMethodDef* noargs_method() {
    static const std::string doc = make_doc(F.name, {}, F.doc);
    static PyMethodDef def{F.name, &noargs<F, Body>, METH_NOARGS, doc.c_str()};
    return &def;
}

}  // namespace zj_python::clinic
