// The description of a method's parameters, which drives binding and conversion.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <tuple>
#include <utility>

#include "binding/arguments.hpp"
#include "python/py_ref.hpp"

namespace ordavin::binding {

/// One parameter: its name (also the label of conversion errors), its form, and its default
/// (none for a required parameter). An absent optional parameter takes the default without
/// conversion.
template <class Form>
struct Param {
    const char* name;
    std::optional<typename Form::Value> fallback;
};

template <class Form>
Param<Form> required(const char* name) {
    return {name, std::nullopt};
}

template <class Form>
Param<Form> optional(const char* name, typename Form::Value fallback) {
    return {name, std::optional<typename Form::Value>(std::move(fallback))};
}

/// A method: full name for messages ("Path.sub_path()") and its parameters in declaration
/// order. `bind` and `convert` are the first and third step of every call; the receiver
/// check comes between them.
template <class... Forms>
class Method {
public:
    static constexpr std::size_t kCount = sizeof...(Forms);
    /// One strong reference per parameter, or none where it was not passed.
    using Slots = std::array<python::PyRef, kCount>;
    using Values = std::tuple<typename Forms::Value...>;

    explicit Method(const char* full_name, Param<Forms>... params)
        : full_name_(full_name), params_(params...), names_{params.name...} {
        bool leading = true;
        ((leading = leading && !params.fallback, required_ += leading ? 1 : 0), ...);
    }

    Signature signature() const noexcept { return {full_name_, names_, required_}; }

    /// Vectorcall arguments to slots; nothing with TypeError set on a binding error.
    std::optional<Slots> bind(PyObject* const* args, std::size_t nargs,
                              PyObject* kwnames) const noexcept {
        std::array<PyObject*, kCount> borrowed{};
        if (!bind_arguments(signature(), args, nargs, kwnames, borrowed)) return std::nullopt;
        return hold(borrowed);
    }

    /// tp_new arguments to slots.
    std::optional<Slots> bind(PyObject* args, PyObject* kwargs) const noexcept {
        std::array<PyObject*, kCount> borrowed{};
        if (!bind_arguments(signature(), args, kwargs, borrowed)) return std::nullopt;
        return hold(borrowed);
    }

    /// Converts the slots in declaration order; the first failure ends the conversion.
    std::optional<Values> convert(const Slots& slots) const {
        Values values;
        bool converted = true;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((converted =
                  converted && convert_one(std::get<I>(params_), slots[I], std::get<I>(values))),
             ...);
        }(std::index_sequence_for<Forms...>{});
        if (!converted) return std::nullopt;
        return values;
    }

private:
    // Binding runs no Python code, so the borrowed references are still valid here; from now
    // on conversions may run any, so each argument is held until the call ends.
    static Slots hold(const std::array<PyObject*, kCount>& borrowed) noexcept {
        Slots slots;
        for (std::size_t i = 0; i < kCount; ++i) slots[i] = python::PyRef::borrow(borrowed[i]);
        return slots;
    }

    template <class Form>
    static bool convert_one(const Param<Form>& param, const python::PyRef& held,
                            typename Form::Value& value) {
        PyObject* slot = held.get();
        if (slot == nullptr) {
            value = *param.fallback;
            return true;
        }
        auto converted = Form::convert(slot, param.name);
        if (!converted) return false;
        value = std::move(*converted);
        return true;
    }

    const char* full_name_;
    std::tuple<Param<Forms>...> params_;
    std::array<const char*, kCount> names_;
    std::size_t required_ = 0;
};

}  // namespace ordavin::binding
