// Memory handed to NumPy through its array interface, kept valid by the object that exports it.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "python/py_ref.hpp"

namespace ordavin::binding {

/// What keeps exported memory valid: a Python object the memory lives in (a Path, whose
/// vectors never move or change once filled), or a result vector the exporter owns.
using MemoryOwner = std::variant<python::PyRef, std::vector<double>, std::vector<std::uint64_t>,
                                 std::vector<std::int64_t>>;

/// The element type of exported memory.
enum class Element { Float64, UInt64, Int64 };

/// The shape of exported memory: `rows` elements, or `rows` × `columns` when `columns` is
/// not zero; always C-contiguous.
struct ArrayShape {
    std::size_t rows = 0;
    std::size_t columns = 0;
};

/// A new exporter of the memory at `data`, laid out as `shape`, kept valid by `owner` for
/// as long as the exporter lives. numpy.asarray of it gives an array whose base is the
/// exporter itself, so nothing reachable from the array can cut it from its memory. The
/// arrays of a read-only exporter are read-only and cannot be made writable; a writable one
/// should only be made over memory nobody else sees, such as a result vector moved into
/// `owner`. `data` may be null for an empty shape. The owner must not refer back to the
/// exporter (it is not tracked by the garbage collector). Null with a Python error set on
/// failure.
python::PyRef export_memory(MemoryOwner owner, const void* data, Element element, ArrayShape shape,
                            bool writable) noexcept;

}  // namespace ordavin::binding
