// What every class of the module shares: its type object made once on first use, the check
// of a receiver, the deallocation of an object's C++ members, and the call shapes of its
// methods and properties through dispatch.
#pragma once

#include <Python.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "binding/access.hpp"
#include "binding/conversions.hpp"
#include "binding/dispatch.hpp"
#include "binding/heap_type.hpp"
#include "binding/method.hpp"

namespace ordavin::binding {

/// The flags of a method that takes vectorcall arguments and keywords.
inline constexpr int kFastKeywords = METH_FASTCALL | METH_KEYWORDS;

/// A function of any of the C call shapes, as the PyCFunction a PyMethodDef stores.
template <class Function>
PyCFunction as_cfunction(Function function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

/// The heap type of one class, made from its definition (and its class attributes) on first
/// use and kept for the life of the process: the module is initialised once per process, in
/// the main interpreter only, so its classes never need to be freed or made again.
class LazyClass {
public:
    using MakeAttributes = std::optional<std::vector<ClassAttribute>> (*)(PyTypeObject* type);

    explicit LazyClass(PyType_Spec& definition, MakeAttributes make_attributes = nullptr) noexcept
        : definition_(definition), make_attributes_(make_attributes) {}

    /// The type, made on first use. Borrowed; null with a Python error set on failure.
    PyTypeObject* get() noexcept {
        if (type_ != nullptr) return type_;
        python::PyRef type = make_attributes_ != nullptr
                                 ? make_heap_type(definition_, make_attributes_)
                                 : make_heap_type(definition_);
        type_ = reinterpret_cast<PyTypeObject*>(type.release());
        return type_;
    }

    /// Whether `object` is an instance of the class; false for null and before the class
    /// exists (nothing can be an instance then).
    bool has_instance(PyObject* object) const noexcept {
        return type_ != nullptr && object != nullptr && PyObject_TypeCheck(object, type_);
    }

private:
    PyType_Spec& definition_;
    MakeAttributes make_attributes_;
    PyTypeObject* type_ = nullptr;
};

/// tp_dealloc of a class whose objects are an `Object`: PyObject_HEAD, then C++ members built
/// in place. Destroys the members, frees the memory, then drops the reference that every
/// instance of a heap type holds on its type.
template <class Object>
void dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    std::destroy_at(reinterpret_cast<Object*>(self));
    type->tp_free(self);
    Py_DECREF(type);
}

/// The receiver of a method or property of the class whose objects are an `Object`, which
/// names itself (`Object::kName`), knows its class (`Object::the_class()`, a LazyClass), gives
/// the counter of its record (`counter()`) and runs an operation on its record
/// (`run(operation, values...)`, the record first). Anything else gets the type-mismatch
/// TypeError.
template <class Object>
struct Receiver {
    PyObject* self;

    struct Access {
        Object* object;
        SharedAccess access;
        template <class Operation, class... Values>
        decltype(auto) call(Operation& operation, Values&&... values) {
            return object->run(operation, std::forward<Values>(values)...);
        }
    };

    // May throw (std::bad_alloc from the mismatch message); dispatch runs it under the guard.
    std::optional<Access> take() const {
        if (!Object::the_class().has_instance(self)) {
            raise_cannot_convert(self, Object::kName);
            return std::nullopt;
        }
        auto* object = reinterpret_cast<Object*>(self);
        std::optional<SharedAccess> access = SharedAccess::take(object->counter());
        if (!access) return std::nullopt;
        return Access{object, std::move(*access)};
    }
};

/// The entry points of the class whose objects are an `Object`: each runs the steps of
/// dispatch with its receiver.
template <class Object>
struct Calls {
    /// A method with parameters, called with vectorcall arguments.
    template <class... Forms, class Operation>
    static PyObject* method(PyObject* self, const Method<Forms...>& method, PyObject* const* args,
                            Py_ssize_t nargsf, PyObject* kwnames, Operation operation) noexcept {
        return dispatch(method, Receiver<Object>{self}, VectorcallArguments{args, nargsf, kwnames},
                        operation);
    }

    /// A property, or a method without parameters.
    template <class Operation>
    static PyObject* property(PyObject* self, Operation operation) noexcept {
        static const Method<> no_parameters(Object::kName);
        return dispatch(no_parameters, Receiver<Object>{self}, NoArguments{}, operation);
    }

    /// A static method, which has no receiver.
    template <class... Forms, class Operation>
    static PyObject* static_method(const Method<Forms...>& method, PyObject* const* args,
                                   Py_ssize_t nargsf, PyObject* kwnames,
                                   Operation operation) noexcept {
        return dispatch(method, NoReceiver{}, VectorcallArguments{args, nargsf, kwnames},
                        operation);
    }
};

}  // namespace ordavin::binding
