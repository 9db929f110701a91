// Memory handed to NumPy through the buffer protocol, kept valid by the object that exports it.
#include "binding/array_memory.hpp"

#include <new>
#include <utility>

#include "binding/class_kit.hpp"

namespace ordavin::binding {

namespace {

using python::PyRef;

// NumPy's array interface in its C form (the `__array_struct__` protocol): a struct NumPy
// reads once while it makes the array, whose base then is the exporter itself. The buffer
// protocol would put a memoryview between the two, and any code can release a memoryview,
// cutting the array from the owner of its memory.
struct ArrayInterface {
    int two;  // always 2: the protocol's version check
    int nd;
    char typekind;
    int itemsize;
    int flags;
    Py_intptr_t* shape;
    Py_intptr_t* strides;
    void* data;
    PyObject* descr;
};

// The interface's flags, fixed by the protocol.
constexpr int kCContiguous = 0x1;
constexpr int kFContiguous = 0x2;
constexpr int kAligned = 0x100;
constexpr int kNotSwapped = 0x200;
constexpr int kWriteable = 0x400;

constexpr const char* kCapsuleName = nullptr;

struct ExporterObject {
    PyObject_HEAD MemoryOwner owner;
    ArrayInterface interface;
    Py_intptr_t shape[2];
    Py_intptr_t strides[2];
};

constexpr char kind_of(Element element) noexcept {
    switch (element) {
        case Element::Float64:
            return 'f';
        case Element::UInt64:
            return 'u';
        case Element::Int64:
            return 'i';
    }
    return 'f';
}

// An empty array still needs an address: NumPy takes a null data pointer as "allocate for
// me", and the result would then own (and let its user write to) fresh memory.
double empty_storage = 0.0;

/// The interface as a capsule that points into the exporter; NumPy holds the exporter (the
/// array's base) for as long as it reads the shape and strides there.
PyObject* get_array_struct(PyObject* self, void*) noexcept {
    auto* exporter = reinterpret_cast<ExporterObject*>(self);
    return PyCapsule_New(&exporter->interface, kCapsuleName, nullptr);
}

PyGetSetDef getset[] = {
    {"__array_struct__", get_array_struct, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getset},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc<ExporterObject>)},
    {Py_tp_doc, const_cast<char*>("Memory of a Path, or of a result, exported to NumPy.")},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "ordavin.ArrayMemory",
    sizeof(ExporterObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

LazyClass& exporter_class() noexcept {
    static LazyClass exporter(class_definition);
    return exporter;
}

}  // namespace

PyRef export_memory(MemoryOwner owner, const void* data, Element element, ArrayShape shape,
                    bool writable) noexcept {
    PyTypeObject* type = exporter_class().get();
    if (type == nullptr) return PyRef();
    constexpr Py_intptr_t itemsize = 8;
    static_assert(sizeof(double) == itemsize && sizeof(std::uint64_t) == itemsize &&
                  sizeof(std::int64_t) == itemsize);
    PyRef object = PyRef::steal(type->tp_alloc(type, 0));
    if (!object) return object;
    auto* exporter = reinterpret_cast<ExporterObject*>(object.get());
    new (&exporter->owner) MemoryOwner(std::move(owner));
    const auto rows = static_cast<Py_intptr_t>(shape.rows);
    const auto columns = static_cast<Py_intptr_t>(shape.columns);
    const int nd = shape.columns == 0 ? 1 : 2;
    exporter->shape[0] = rows;
    exporter->shape[1] = columns;
    exporter->strides[0] = (nd == 1 ? 1 : columns) * itemsize;
    exporter->strides[1] = itemsize;
    // One row (or one column) is contiguous both ways; NumPy would find that out itself.
    int flags = kCContiguous | kAligned | kNotSwapped;
    if (nd == 1 || rows <= 1 || columns <= 1) flags |= kFContiguous;
    if (writable) flags |= kWriteable;
    exporter->interface = ArrayInterface{
        2,
        nd,
        kind_of(element),
        static_cast<int>(itemsize),
        flags,
        exporter->shape,
        exporter->strides,
        data != nullptr ? const_cast<void*>(data) : &empty_storage,
        nullptr,
    };
    return object;
}

}  // namespace ordavin::binding
