// The one path every call takes from the interpreter into a record operation and back.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <tuple>
#include <utility>

#include "binding/access.hpp"
#include "binding/boundary.hpp"
#include "binding/method.hpp"
#include "binding/results.hpp"

namespace ordavin::binding {

/// The arguments of a call as the interpreter hands them over: a vectorcall array (methods and
/// static methods), a tuple and a dict (the constructor), or none (properties and methods
/// without parameters).
struct VectorcallArguments {
    PyObject* const* args;
    Py_ssize_t nargsf;
    PyObject* kwnames;
};
struct TupleArguments {
    PyObject* args;
    PyObject* kwargs;
};
struct NoArguments {};

/// No receiver (static methods and the constructor): the operation gets the converted values.
/// The receiver of a class's methods and properties is binding::Receiver (class_kit.hpp).
struct NoReceiver {
    struct Access {
        template <class Operation, class... Values>
        decltype(auto) call(Operation& operation, Values&&... values) {
            return operation(std::forward<Values>(values)...);
        }
    };
    std::optional<Access> take() const noexcept { return Access{}; }
};

/// Runs the steps of one call, in the order docs/ARCHITECTURE.md ("The path of a call") gives
/// them; the first failure ends the call with its Python error. Every bound argument is held
/// by a strong reference until the call ends, so that conversion code that runs Python (and
/// may empty the keyword dict) cannot free an argument still to be converted. No C++
/// exception leaves: the boundary guard turns it into the Python error.
template <class Receiver, class... Forms, class Arguments, class Operation>
PyObject* dispatch(const Method<Forms...>& method, const Receiver& receiver, Arguments arguments,
                   Operation operation) noexcept {
    return guarded([&]() -> PyObject* {
        std::optional<typename Method<Forms...>::Slots> slots;
        if constexpr (std::is_same_v<Arguments, VectorcallArguments>) {
            slots = method.bind(arguments.args,
                                static_cast<std::size_t>(PyVectorcall_NARGS(arguments.nargsf)),
                                arguments.kwnames);
        } else if constexpr (std::is_same_v<Arguments, TupleArguments>) {
            slots = method.bind(arguments.args, arguments.kwargs);
        } else {
            static_assert(sizeof...(Forms) == 0, "a call without arguments binds no parameters");
            slots.emplace();
        }
        if (!slots) return nullptr;
        auto access = receiver.take();
        if (!access) return nullptr;
        auto values = method.convert(*slots);
        if (!values) return nullptr;
        return std::apply(
                   [&](auto&... value) {
                       return to_python(access->call(operation, std::move(value)...));
                   },
                   *values)
            .release();
    });
}

}  // namespace ordavin::binding
