// Reading a NumPy array of any real dtype, byte order and strides as doubles, through the
// buffer protocol alone.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "util/point.hpp"

namespace ordavin::binding {

/// How one element of a buffer is stored; each has its own conversion loop.
enum class StoredElement {
    Bool,
    Int8,
    Int16,
    Int32,
    Int64,
    UInt8,
    UInt16,
    UInt32,
    UInt64,
    Float16,
    Float32,
    Float64,
    LongDouble,
};

/// The buffer of an exact numpy.ndarray, array.array or memoryview of real numbers, held for as
/// long as this lives.
/// Every element reads as Python's float() reads the NumPy scalar: integers round to nearest,
/// float16 and float32 widen exactly, bool is 0.0 or 1.0.
class NumericBuffer {
public:
    /// The buffer of `object` when its type is exactly numpy.ndarray, array.array or memoryview
    /// (a subclass may give its items another meaning, so it is not read this way), its
    /// elements are bools, integers or floats (long double in native byte order only) and the
    /// object exports them. Nothing, with no error set, for anything else: an object dtype, a
    /// complex, datetime, character or structured one, or a buffer its owner refuses to export.
    static std::optional<NumericBuffer> of(PyObject* object);

    NumericBuffer(NumericBuffer&& other) noexcept;
    NumericBuffer& operator=(NumericBuffer&&) = delete;
    NumericBuffer(const NumericBuffer&) = delete;
    NumericBuffer& operator=(const NumericBuffer&) = delete;
    ~NumericBuffer();

    /// The array's shape; empty for a 0-d array.
    std::span<const Py_ssize_t> shape() const noexcept;

    /// The elements of a one-dimensional array, in order. Precondition: shape().size() == 1.
    /// Throws std::bad_alloc when they cannot fit in memory (a broadcast array may describe
    /// far more elements than it stores).
    std::vector<double> values() const;

    /// Every row of the last dimension as a point, in C order over the other dimensions (one
    /// point for a one-dimensional array). Precondition: shape() is not empty and its last
    /// entry is 2. Throws std::bad_alloc when the points cannot fit in memory.
    std::vector<Point> points() const;

    /// The points (xs[i], y[i]) of this one-dimensional array y, read in one pass, without a
    /// vector of its own. Precondition: shape() is (xs.size(),). Throws std::bad_alloc when the
    /// points cannot fit in memory.
    std::vector<Point> points_beside(std::span<const double> xs) const;

private:
    /// Whether `object`'s type is exactly one whose buffer is its items.
    static bool exports_its_items(PyObject* object) noexcept;

    NumericBuffer(const Py_buffer& view, StoredElement element, bool swapped) noexcept;

    /// Whether the elements are doubles in this machine's byte order, copied as they are.
    bool native_doubles() const noexcept;
    /// Whether the elements are native doubles, C-contiguous and aligned: copied in one block.
    bool contiguous_native_doubles() const noexcept;

    /// Points view_'s shape and strides at this object's own copies of them: an exporter may
    /// point them into the Py_buffer it filled (array.array does), which was a local.
    void own_layout() noexcept;

    Py_buffer view_;
    std::array<Py_ssize_t, PyBUF_MAX_NDIM> shape_{};
    std::array<Py_ssize_t, PyBUF_MAX_NDIM> strides_{};
    StoredElement element_;
    bool swapped_;
};

}  // namespace ordavin::binding
