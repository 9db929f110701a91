// Building a class from its PyType_Spec, with the attributes stored in its dictionary.
#include "binding/heap_type.hpp"

namespace ordavin::binding {

python::PyRef module_function(PyMethodDef& definition) noexcept {
    python::PyRef module_name = python::PyRef::steal(PyUnicode_FromString("ordavin"));
    if (!module_name) return module_name;
    return python::PyRef::steal(PyCFunction_NewEx(&definition, nullptr, module_name.get()));
}

}  // namespace ordavin::binding
