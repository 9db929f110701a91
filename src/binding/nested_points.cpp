// Points given as nested sequences of one shape at every level.
#include "binding/nested_points.hpp"

#include <span>
#include <string>

#include "binding/item_reading.hpp"
#include "binding/text.hpp"
#include "python/py_ref.hpp"
#include "util/fresh_memory.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::binding {

using python::PyRef;

namespace {

/// Nested sequences of points of one shape at every level, read without the argument prefix.
/// The shape comes from the first item of each level (a level whose first item does not nest
/// is a point); every other item must then have the same shape.
class NestedPoints : NestingWalk {
public:
    explicit NestedPoints(const char* name) : NestingWalk(name) {}

    bool read(PyObject* object, PointArray& out) {
        const Py_ssize_t length = nested_length(object);
        if (length == kLengthFailed) return false;
        if (length == kNotNested) return read_point_at(object, out);
        if (!find_shape(object, length)) return false;
        out.shape = shape_;
        util::reserve_fresh(out.points, util::checked_count(std::span<const std::size_t>(shape_),
                                                            sizeof(Point), "points"));
        return walk(object, 0, out);
    }

private:
    bool find_shape(PyObject* object, Py_ssize_t length) {
        PyRef level = PyRef::borrow(object);
        for (;;) {
            if (shape_.size() == PyBUF_MAX_NDIM) {
                PyErr_Format(PyExc_ValueError, "'%s' is nested more than %d levels deep", name_,
                             PyBUF_MAX_NDIM);
                return false;
            }
            if (length == 0) {
                shape_.push_back(0);
                return true;
            }
            PyRef first = PyRef::steal(PySequence_GetItem(level.get(), 0));
            if (!first) return false;
            const Py_ssize_t first_length = nested_length(first.get());
            if (first_length == kLengthFailed) return false;
            if (first_length == kNotNested) return true;
            shape_.push_back(static_cast<std::size_t>(length));
            level = std::move(first);
            length = first_length;
        }
    }

    bool walk(PyObject* object, std::size_t depth, PointArray& out) {
        if (depth == shape_.size()) return read_point_at(object, out);
        const Py_ssize_t length = nested_length(object);
        if (length == kLengthFailed) return false;
        if (!has_length(depth, length, shape_[depth])) return false;
        for (Py_ssize_t i = 0; i < length; ++i) {
            PyRef item = PyRef::steal(PySequence_GetItem(object, i));
            if (!item) return false;
            position_.push_back(i);
            if (!walk(item.get(), depth + 1, out)) return false;
            position_.pop_back();
        }
        return true;
    }

    bool read_point_at(PyObject* item, PointArray& out) {
        Point point;
        const bool plain_pair = (PyList_CheckExact(item) || PyTuple_CheckExact(item)) &&
                                PySequence_Fast_GET_SIZE(item) == 2 &&
                                read_plain_number(PySequence_Fast_GET_ITEM(item, 0), point.x) &&
                                read_plain_number(PySequence_Fast_GET_ITEM(item, 1), point.y);
        if (!plain_pair) {
            // A point whose first item is itself a sequence nests deeper than its siblings.
            const Py_ssize_t length = nested_length(item);
            if (length == kLengthFailed) return false;
            if (length > 0 && !shape_.empty()) {
                PyRef first = PyRef::steal(PySequence_GetItem(item, 0));
                if (!first) return false;
                const Py_ssize_t first_length = nested_length(first.get());
                if (first_length == kLengthFailed) return false;
                if (first_length != kNotNested) {
                    return inconsistent(
                        shape_.size(), concat({" holds sequences, while ", reference(shape_.size()),
                                               " is a point"}));
                }
            }
            if (!read_point(item, point)) return false;
        }
        out.points.push_back(point);
        return true;
    }

    std::vector<std::size_t> shape_;
};

}  // namespace

Py_ssize_t nested_length(PyObject* item) {
    if (PyUnicode_Check(item) || !PySequence_Check(item)) return kNotNested;
    const Py_ssize_t length = PySequence_Size(item);
    if (length >= 0) return length;
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return kLengthFailed;
    PyErr_Clear();
    return kNotNested;
}

bool NestingWalk::has_length(std::size_t depth, Py_ssize_t length, std::size_t expected) const {
    const auto wanted = static_cast<Py_ssize_t>(expected);
    if (length == wanted) return true;
    if (length == kNotNested) {
        return inconsistent(
            depth, concat({" is not a sequence, while ", reference(depth), " holds ",
                           std::to_string(expected), expected == 1 ? " entry" : " entries"}));
    }
    return inconsistent(depth, concat({" holds ", std::to_string(length), " entries, while ",
                                       reference(depth), " holds ", std::to_string(expected)}));
}

bool NestingWalk::inconsistent(std::size_t depth, const std::string& what) const {
    std::string item = name_;
    for (std::size_t d = 0; d < depth; ++d) {
        item += concat({"[", std::to_string(position_[d]), "]"});
    }
    PyErr_Format(PyExc_ValueError, "inconsistent nesting in '%s': %s%s", name_, item.c_str(),
                 what.c_str());
    return false;
}

std::string NestingWalk::reference(std::size_t depth) const {
    std::string text = name_;
    for (std::size_t d = 0; d < depth; ++d) text += "[0]";
    return text;
}

bool read_nested_points(PyObject* object, const char* name, PointArray& out) {
    return NestedPoints(name).read(object, out);
}

}  // namespace ordavin::binding
