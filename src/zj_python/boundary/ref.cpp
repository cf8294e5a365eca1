#include "zj_python/boundary/ref.hpp"

namespace zj_python {

void raise(PyObject* type, std::string_view message) {
    Ref text(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (text) PyErr_SetObject(type, text.get());
    throw PyErrOccurred{};
}

void set_internal_error(std::string_view message) noexcept {
    // The class lives in zjkit._errors so users can name it while _native keeps
    // only its functions. It is imported here, on the failure path only.
    PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
    PyErr_Fetch(&type, &value, &tb);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
    Ref cls;
    if (Ref mod{PyImport_ImportModule("zjkit._errors")}) cls = Ref(PyObject_GetAttrString(mod.get(), "InternalError"));
    if (!cls) {
        PyErr_Clear();
        // Imported outside its package: a private class of the same shape.
        cls = Ref(PyErr_NewException("zjkit._native.InternalError", PyExc_BaseException, nullptr));
        if (!cls) return;  // MemoryError is set
    }
    Ref text(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) {
        PyErr_Clear();
        text = Ref(PyUnicode_FromString("internal failure"));
    }
    PyErr_SetObject(cls.get(), text.get());
}

std::string type_name(PyObject* o) {
    Ref name(PyType_GetName(Py_TYPE(o)));
    if (!name) {
        PyErr_Clear();
        return "?";
    }
    return text_for_message(name.get());
}

std::string text_for_message(PyObject* str) {
    Ref bytes(PyUnicode_AsEncodedString(str, "utf-8", "backslashreplace"));
    if (!bytes) {
        PyErr_Clear();
        return "?";
    }
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0) {
        PyErr_Clear();
        return "?";
    }
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace zj_python
