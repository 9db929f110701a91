// Memory handed to NumPy through the buffer protocol, kept valid by the object that exports it.
#include "binding/array_memory.hpp"

#include <new>
#include <optional>
#include <type_traits>
#include <utility>

#include "binding/heap_type.hpp"

namespace ordavin::binding {

namespace {

using python::PyRef;

struct ExporterObject {
    PyObject_HEAD MemoryOwner owner;
    void* data;
    Py_ssize_t length;
    Py_ssize_t itemsize;
    int ndim;
    Py_ssize_t shape[2];
    Py_ssize_t strides[2];
    const char* format;
    bool writable;
};

// The buffer protocol's struct-module code of each element type. std::uint64_t is
// `unsigned long` on LP64 systems, which NumPy spells "L" (dtype uint64); "Q" would give
// the equal but differently named ulonglong.
constexpr const char* kFloat64Format = "d";
constexpr const char* kUInt64Format =
    std::is_same_v<std::uint64_t, unsigned long> ? "L" : "Q";
constexpr const char* kInt64Format = std::is_same_v<std::int64_t, long> ? "l" : "q";

constexpr const char* format_of(Element element) noexcept {
    switch (element) {
        case Element::Float64: return kFloat64Format;
        case Element::UInt64: return kUInt64Format;
        case Element::Int64: return kInt64Format;
    }
    return kFloat64Format;
}

// An empty array still needs an address: NumPy takes a null data pointer as "allocate for
// me", and the result would then own (and let its user write to) fresh memory.
double empty_storage = 0.0;

int get_buffer(PyObject* self, Py_buffer* view, int flags) noexcept {
    auto* exporter = reinterpret_cast<ExporterObject*>(self);
    if ((flags & PyBUF_WRITABLE) == PyBUF_WRITABLE && !exporter->writable) {
        view->obj = nullptr;
        PyErr_SetString(PyExc_BufferError,
                        "this memory belongs to a Path and is read-only; copy it to change it");
        return -1;
    }
    const bool several_columns = exporter->ndim == 2 && exporter->shape[1] > 1;
    if ((flags & PyBUF_F_CONTIGUOUS) == PyBUF_F_CONTIGUOUS && several_columns &&
        exporter->shape[0] > 1) {
        view->obj = nullptr;
        PyErr_SetString(PyExc_BufferError, "this memory is C-contiguous, not Fortran-contiguous");
        return -1;
    }
    view->obj = PyRef::borrow(self).release();
    view->buf = exporter->data;
    view->len = exporter->length;
    view->readonly = exporter->writable ? 0 : 1;
    view->itemsize = exporter->itemsize;
    view->format = (flags & PyBUF_FORMAT) == PyBUF_FORMAT ? const_cast<char*>(exporter->format)
                                                          : nullptr;
    // Without PyBUF_ND the consumer asked for plain bytes: one dimension, no shape.
    const bool with_shape = (flags & PyBUF_ND) == PyBUF_ND;
    view->ndim = with_shape ? exporter->ndim : 1;
    view->shape = with_shape ? exporter->shape : nullptr;
    view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? exporter->strides : nullptr;
    view->suboffsets = nullptr;
    view->internal = nullptr;
    return 0;
}

void dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<ExporterObject*>(self)->owner.~MemoryOwner();
    type->tp_free(self);
    Py_DECREF(type);
}

PyType_Slot slots[] = {
    {Py_bf_getbuffer, reinterpret_cast<void*>(get_buffer)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_doc, const_cast<char*>("Memory of a Path, or of a result, exported to NumPy.")},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "builtins.ArrayMemory",
    sizeof(ExporterObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

PyTypeObject* the_class = nullptr;

PyTypeObject* exporter_class() noexcept {
    if (the_class != nullptr) return the_class;
    PyRef type = make_heap_type(class_definition);
    if (!type) return nullptr;
    the_class = reinterpret_cast<PyTypeObject*>(type.release());
    return the_class;
}

}  // namespace

PyRef export_memory(MemoryOwner owner, const void* data, Element element, ArrayShape shape,
                    bool writable) noexcept {
    PyTypeObject* type = exporter_class();
    if (type == nullptr) return PyRef();
    const auto rows = static_cast<Py_ssize_t>(shape.rows);
    const auto columns = static_cast<Py_ssize_t>(shape.columns);
    constexpr Py_ssize_t itemsize = 8;
    static_assert(sizeof(double) == itemsize && sizeof(std::uint64_t) == itemsize &&
                  sizeof(std::int64_t) == itemsize);
    PyRef object = PyRef::steal(type->tp_alloc(type, 0));
    if (!object) return object;
    auto* exporter = reinterpret_cast<ExporterObject*>(object.get());
    new (&exporter->owner) MemoryOwner(std::move(owner));
    exporter->data = data != nullptr ? const_cast<void*>(data) : &empty_storage;
    exporter->itemsize = itemsize;
    exporter->format = format_of(element);
    exporter->writable = writable;
    exporter->shape[0] = rows;
    exporter->strides[0] = (shape.columns == 0 ? 1 : columns) * itemsize;
    if (shape.columns == 0) {
        exporter->ndim = 1;
        exporter->shape[1] = 0;
        exporter->strides[1] = 0;
        exporter->length = rows * itemsize;
    } else {
        exporter->ndim = 2;
        exporter->shape[1] = columns;
        exporter->strides[1] = itemsize;
        exporter->length = rows * columns * itemsize;
    }
    return object;
}

}  // namespace ordavin::binding
