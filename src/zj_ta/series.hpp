#pragma once
// What zjkit.ta adds to the shared boundary layer: series arguments read from
// any 1-D float64 buffer (without a copy) or any iterable of numbers, period
// and moving-average-type arguments, output arrays the indicators write into
// directly, and zjkit.ta.TaError.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "indicators/error.hpp"
#include "indicators/ma_type.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/columns.hpp"

namespace zj_ta {

using zj_python::PyErrOccurred;
using zj_python::Ref;

// One exported buffer, released on destruction (also when the owner's
// constructor throws after acquiring it).
struct BufferView {
    Py_buffer view{};
    bool held = false;
    BufferView() = default;
    BufferView(const BufferView&) = delete;
    BufferView& operator=(const BufferView&) = delete;
    ~BufferView() { release(); }
    // PyObject_GetBuffer; throws PyErrOccurred on failure.
    void acquire(PyObject* o, int flags);
    void release() noexcept {
        if (held) PyBuffer_Release(&view);
        held = false;
    }
};

// What a series argument was, for the flavour of the outputs.
enum class Flavour : unsigned char {
    Plain,   // a buffer other than numpy's, or a sequence: array.array('d') out
    Numpy,   // a numpy array, an array-like read through numpy, an Arrow array: numpy out
    Pandas,  // a pandas Series: a pandas Series out, with its index
    Polars,  // a polars Series: a polars Series out
};

// The values of one series argument, valid for the call. A buffer is
// borrowed in place when contiguous and copied otherwise; Arrow data (polars
// Series, Arrow arrays and chunked arrays) are read in place when they are one
// chunk of float64 without nulls, else copied with nulls as NaN.
class SeriesIn {
public:
    explicit SeriesIn(PyObject* o);
    SeriesIn(const SeriesIn&) = delete;
    SeriesIn& operator=(const SeriesIn&) = delete;

    std::span<const double> values() const { return values_; }
    // Outputs are numpy arrays (also under a pandas or polars Series).
    bool numpy() const { return numpy_; }
    Flavour flavour() const { return flavour_; }
    // The indicator's result (one array or a tuple) in this argument's flavour.
    Ref wrap(Ref result) const;

private:
    // pandas and polars Series and Arrow exporters: reads Arrow data itself and
    // returns null, or returns the object the buffer path is to read.
    PyObject* columnar(PyObject* o);

    Flavour flavour_ = Flavour::Plain;
    Ref series_;  // a pandas or polars argument, whose index the outputs take
    std::unique_ptr<zj_python::columns::Table> table_;  // Arrow data (released after column_)
    zj_python::columns::Values column_;
    Ref keep_;  // an array numpy made from an array-like argument (released after view_)
    BufferView buffer_;
    bool numpy_ = false;
    std::vector<double> copy_;
    std::span<const double> values_;
};
using SeriesArg = std::shared_ptr<const SeriesIn>;

// numpy.ndarray, numpy.empty and numpy.asarray, looked up once numpy has been
// imported by the caller (zjkit.ta never imports numpy itself); null before.
struct Numpy {
    PyObject* ndarray = nullptr;
    PyObject* empty = nullptr;
    PyObject* asarray = nullptr;
};
const Numpy* numpy_if_loaded();

// Parameter kinds for clinic::Function.
struct Real {
    using value_type = SeriesArg;
    const char* name;
    std::optional<std::nullptr_t> fallback = std::nullopt;  // series are always required
    static value_type convert(PyObject* o) { return std::make_shared<const SeriesIn>(o); }
};
inline zj_python::clinic::ParamInfo info(const Real& p) { return {p.name, false, {}}; }

// A period: a non-negative int (anything with __index__; floats rejected).
std::size_t to_period(PyObject* o);
using Period = zj_python::clinic::Scalar<std::size_t, &to_period>;

// A moving-average type code 0..8 (an int or zjkit.ta.MaType member).
struct MaTypeParam {
    using value_type = indicators::MaType;
    const char* name;
    std::optional<indicators::MaType> fallback = indicators::MaType::Sma;
    static value_type convert(PyObject* o);
};
inline zj_python::clinic::ParamInfo info(const MaTypeParam& p) { return {p.name, true, "0"}; }

// Raises zjkit.ta.TaError (a ValueError) carrying the error's debug text and
// its fields as attributes.
[[noreturn]] void raise_ta_error(const indicators::TaError& e);

// Output arrays of one length, created only once the checks have passed:
// numpy arrays when the input was one, array.array('d') otherwise.
class Outputs {
public:
    Outputs(std::size_t len, bool numpy, std::size_t count);
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;

    double* operator[](std::size_t i) { return data_[i]; }
    // One array, or a tuple of them.
    Ref finish();

private:
    std::size_t len_, count_;
    bool numpy_;
    Ref objs_[3];
    BufferView views_[3];  // declared after objs_: released before them
    double* data_[3]{};
};

// check(), then the outputs, then fill(outputs) with the GIL released (the
// inputs are held or owned for the call, the outputs not yet shared), then
// the outputs in the first argument's flavour.
template <class CheckFn, class FillFn>
Ref compute(const SeriesIn& first, std::size_t count, CheckFn&& check, FillFn&& fill) {
    if (auto e = check()) raise_ta_error(*e);
    Outputs out(first.values().size(), first.numpy(), count);
    {
        struct Release {
            PyThreadState* state = PyEval_SaveThread();
            ~Release() { PyEval_RestoreThread(state); }
        } release;
        fill(out);
    }
    return first.wrap(out.finish());
}

// Module set-up: the TaError class and the MaType enum.
void init_types(PyObject* module);
// Adds one function to the module and to its __all__.
void add_function(PyObject* module, PyMethodDef* def);

// Registration of each area, in the order of the module's listing.
void register_overlap(PyObject* module);
void register_math_operator(PyObject* module);
void register_statistic(PyObject* module);
void register_volatility(PyObject* module);
void register_momentum(PyObject* module);

}  // namespace zj_ta
