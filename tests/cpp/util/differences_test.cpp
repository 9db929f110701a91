// Index differences: the degenerate lengths, and numpy.gradient as the oracle for the rest.
#include <Python.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "util/differences.hpp"

using ordavin::util::compute_differences;

namespace {

// numpy.gradient(values) at unit spacing, run in the embedded interpreter; nothing when numpy
// is not importable there.
std::optional<std::vector<double>> numpy_gradient(const std::vector<double>& values) {
    PyObject* numpy = PyImport_ImportModule("numpy");
    if (numpy == nullptr) {
        PyErr_Clear();
        return std::nullopt;
    }
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), PyFloat_FromDouble(values[i]));
    }
    PyObject* gradient = PyObject_CallMethod(numpy, "gradient", "O", list);
    PyObject* as_list = gradient ? PyObject_CallMethod(gradient, "tolist", nullptr) : nullptr;
    std::vector<double> result;
    if (as_list != nullptr) {
        for (Py_ssize_t i = 0; i < PyList_Size(as_list); ++i) {
            result.push_back(PyFloat_AsDouble(PyList_GetItem(as_list, i)));
        }
    }
    Py_XDECREF(as_list);
    Py_XDECREF(gradient);
    Py_DECREF(list);
    Py_DECREF(numpy);
    if (PyErr_Occurred()) {
        PyErr_Print();
        ADD_FAILURE() << "numpy.gradient failed";
    }
    return result;
}

}  // namespace

TEST(ComputeDifferences, DegenerateLengths) {
    EXPECT_TRUE(compute_differences({}).empty());
    EXPECT_EQ(compute_differences(std::vector<double>{7.5}), std::vector<double>{0.0});
    EXPECT_EQ(compute_differences(std::vector<double>{1.0, 4.0}), (std::vector<double>{3.0, 3.0}));
    EXPECT_EQ(compute_differences(std::vector<double>{1.0, 4.0, 2.0}),
              (std::vector<double>{3.0, 0.5, -2.0}));
}

TEST(ComputeDifferences, SpecialValuesPropagateLocally) {
    const double inf = INFINITY;
    const std::vector<double> d = compute_differences(std::vector<double>{0.0, inf, 1.0, 2.0, 3.0});
    EXPECT_EQ(d[0], inf);
    EXPECT_EQ(d[1], 0.5);
    EXPECT_EQ(d[2], -inf);
    EXPECT_EQ(d[3], 1.0);
    EXPECT_EQ(d[4], 1.0);
}

TEST(ComputeDifferences, AgreesBitForBitWithNumpyGradient) {
    std::mt19937_64 generator(20240611);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (std::size_t length : {2u, 3u, 4u, 17u, 1000u}) {
        std::vector<double> values(length);
        for (double& value : values) value = std::ldexp(unit(generator), exponent(generator) / 10);
        values[length / 2] = 5e-324;  // a subnormal halved in the middle
        const auto expected = numpy_gradient(values);
        if (!expected) GTEST_SKIP() << "numpy is not importable in the embedded interpreter";
        const std::vector<double> actual = compute_differences(values);
        ASSERT_EQ(actual.size(), expected->size());
        for (std::size_t i = 0; i < length; ++i) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(actual[i]),
                      std::bit_cast<std::uint64_t>((*expected)[i]))
                << "length " << length << " index " << i;
        }
    }
}
