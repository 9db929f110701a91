// Binding messages that no method of the module can produce from Python (three required
// parameters), checked on the binder directly.
#include "binding/arguments.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"

using ordavin::binding::bind_arguments;
using ordavin::python::PyRef;
using ordavin::binding::Signature;

namespace {

std::string fetch_message() {
    return ordavin::python::message_of(ordavin::python::fetch_error());
}

constexpr std::array<const char*, 4> kNames = {"a", "b", "c", "d"};

}  // namespace

TEST(BindArguments, ListsThreeMissingNamesWithSerialComma) {
    const Signature signature{"T.f()", kNames, 3};
    std::array<PyObject*, 4> slots{};
    EXPECT_FALSE(bind_arguments(signature, nullptr, 0, nullptr, slots));
    EXPECT_EQ(fetch_message(), "T.f() missing 3 required positional arguments: 'a', 'b', and 'c'");
}

TEST(BindArguments, KeywordsFillTheirSlotsAndLeaveOthersEmpty) {
    const Signature signature{"T.f()", kNames, 1};
    PyRef one = PyRef::steal(PyLong_FromLong(1));
    PyRef three = PyRef::steal(PyLong_FromLong(3));
    PyRef kwnames = PyRef::steal(Py_BuildValue("(s)", "c"));
    std::array<PyObject*, 2> args = {one.get(), three.get()};
    std::array<PyObject*, 4> slots{};
    ASSERT_TRUE(bind_arguments(signature, args.data(), 1, kwnames.get(), slots));
    EXPECT_EQ(slots[0], one.get());
    EXPECT_EQ(slots[1], nullptr);
    EXPECT_EQ(slots[2], three.get());
    EXPECT_EQ(slots[3], nullptr);
}
