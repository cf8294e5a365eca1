#pragma once
// Owning references and error plumbing for the limited C API.
//
// Inside a binding, a Python exception that has been set travels as the C++
// exception PyErrOccurred; the call guard turns it back into a NULL return.
// Any other C++ exception becomes zjkit.InternalError (std::bad_alloc becomes
// MemoryError), so nothing escapes into the interpreter and nothing aborts.
#include "zj_python/boundary/python.hpp"

#include <string>
#include <string_view>
#include <utility>

namespace zj_python {

// A Python exception is set and should propagate.
struct PyErrOccurred {};

// One strong reference, released on destruction.
class Ref {
public:
    Ref() noexcept = default;
    explicit Ref(PyObject* owned) noexcept : p_(owned) {}  // steals
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            Py_XDECREF(p_);
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }

    // A new strong reference to a borrowed object.
    static Ref borrow(PyObject* o) noexcept {
        Py_XINCREF(o);
        return Ref(o);
    }
    // Takes a new reference returned by the C API; NULL means an exception is set.
    static Ref check(PyObject* o) {
        if (o == nullptr) throw PyErrOccurred{};
        return Ref(o);
    }

    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    PyObject* p_ = nullptr;
};

// Sets a Python exception of `type` with `message` and throws PyErrOccurred.
[[noreturn]] void raise(PyObject* type, std::string_view message);
[[noreturn]] inline void raise_type_error(std::string_view m) { raise(PyExc_TypeError, m); }
[[noreturn]] inline void raise_value_error(std::string_view m) { raise(PyExc_ValueError, m); }
// Throws PyErrOccurred when the last C API call left an exception set.
inline void throw_if_error() {
    if (PyErr_Occurred()) throw PyErrOccurred{};
}

// Sets zjkit.InternalError (a direct BaseException subclass) with `message`.
void set_internal_error(std::string_view message) noexcept;

// The name of an object's type ("int", "NoneType", ...).
std::string type_name(PyObject* o);
// A str's UTF-8 text, with unencodable characters escaped (for messages).
std::string text_for_message(PyObject* str);

// Runs `body` (which returns a new reference or throws) and maps every C++
// exception to a Python one. Used by every entry point.
template <class F>
PyObject* guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const PyErrOccurred&) {
        if (!PyErr_Occurred()) set_internal_error("error flagged without a Python exception");
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        set_internal_error(e.what());
    } catch (...) {
        set_internal_error("unknown C++ exception");
    }
    return nullptr;
}

}  // namespace zj_python
