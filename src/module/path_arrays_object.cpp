// The Python class PathArrays: a Path seen through NumPy arrays that share its memory.
//
// The coordinate and per-point properties are read-only views of the path's own vectors and
// caches (filled on first use, by the same accessors the list properties read), so a read
// costs the same for ten points as for a million. The methods return new arrays that own
// their results. Every entry point runs through the class kit, as Path's do, with the view's
// Path as the receiver whose record is read under shared access.
#include "module/path_arrays_object.hpp"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/class_kit.hpp"
#include "binding/conversions.hpp"
#include "binding/method.hpp"
#include "binding/numpy_array.hpp"
#include "binding/results.hpp"
#include "module/path_docs.hpp"
#include "path/circle_segments.hpp"
#include "path/defaults.hpp"
#include "path/locating.hpp"

namespace ordavin::module {

namespace {

using binding::FloatForm;
using binding::IndexForm;
using binding::Method;
using binding::optional;
using binding::PointArray;
using binding::PointArrayForm;
using binding::required;
using path::CircleSegment;
using path::kDefaultEpsilon;
using path::kDefaultMaxRmse;
using path::Path;
using python::PyRef;

struct PathArraysObject {
    PyObject_HEAD PyRef owner;
    const Path* record;
    binding::AccessCounter* access;

    static constexpr const char* kName = "PathArrays";
    static binding::LazyClass& the_class() noexcept;
    binding::AccessCounter& counter() noexcept { return *access; }
    /// The operation gets the record and the Path object that the arrays keep alive.
    template <class Operation, class... Values>
    decltype(auto) run(Operation& operation, Values&&... values) {
        return operation(*record, owner.get(), std::forward<Values>(values)...);
    }
};

using Calls = binding::Calls<PathArraysObject>;
using binding::as_cfunction;
using binding::kFastKeywords;

// ---- properties ------------------------------------------------------------------------

template <auto Accessor>
PyObject* get_view(PyObject* self, void*) noexcept {
    return Calls::property(self, [](const Path& record, PyObject* owner) {
        return binding::read_only_array(owner, (record.*Accessor)());
    });
}

PyObject* get_length(PyObject* self, void*) noexcept {
    return Calls::property(self, [](const Path& record, PyObject*) { return record.length(); });
}

// ---- methods ---------------------------------------------------------------------------

const Method<FloatForm> kComputeCircleFitCurvature("PathArrays.compute_circle_fit_curvature()",
                                                   optional<FloatForm>("max_rmse",
                                                                       kDefaultMaxRmse));

PyObject* compute_circle_fit_curvature(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                       PyObject* kwnames) noexcept {
    return Calls::method(
        self, kComputeCircleFitCurvature, args, nargs, kwnames,
        [](const Path& record, PyObject*, double max_rmse) {
            return binding::owning_array(path::compute_circle_fit_curvature(record, max_rmse));
        });
}

/// The segments as three arrays of one column each (start, end, curvature): each is
/// contiguous and owns its memory, so changing one changes nothing else.
PyRef segment_arrays(const std::vector<CircleSegment>& segments) {
    std::vector<std::uint64_t> starts;
    std::vector<std::uint64_t> ends;
    std::vector<double> curvatures;
    starts.reserve(segments.size());
    ends.reserve(segments.size());
    curvatures.reserve(segments.size());
    for (const CircleSegment& segment : segments) {
        starts.push_back(segment.start);
        ends.push_back(segment.end);
        curvatures.push_back(segment.curvature);
    }
    PyRef start = binding::owning_array(std::move(starts));
    if (!start) return start;
    PyRef end = binding::owning_array(std::move(ends));
    if (!end) return end;
    PyRef curvature = binding::owning_array(std::move(curvatures));
    if (!curvature) return curvature;
    return PyRef::steal(PyTuple_Pack(3, start.get(), end.get(), curvature.get()));
}

const Method<IndexForm, IndexForm, FloatForm> kFindCircleSegments(
    "PathArrays.find_circle_segments()", required<IndexForm>("start"), required<IndexForm>("end"),
    optional<FloatForm>("max_rmse", kDefaultMaxRmse));

PyObject* find_circle_segments(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) noexcept {
    return Calls::method(
        self, kFindCircleSegments, args, nargs, kwnames,
        [](const Path& record, PyObject*, std::uint64_t start, std::uint64_t end, double max_rmse) {
            return segment_arrays(path::find_circle_segments(record, start, end, max_rmse));
        });
}

/// The operation of a batch locator: `locate` (index_from_points or path_length_from_points)
/// over the queries, its results in an array of the queries' shape.
template <class Locate>
auto locating_each(Locate locate) {
    return [locate](const Path& record, PyObject*, const PointArray& queries, double epsilon) {
        return binding::reshaped(binding::owning_array(locate(record, queries.points, epsilon)),
                                 queries.shape);
    };
}

const Method<PointArrayForm, FloatForm> kIndexFromPoint("PathArrays.index_from_point()",
                                                        required<PointArrayForm>("points"),
                                                        optional<FloatForm>("epsilon",
                                                                            kDefaultEpsilon));

PyObject* index_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) noexcept {
    return Calls::method(self, kIndexFromPoint, args, nargs, kwnames,
                         locating_each(&path::index_from_points));
}

const Method<PointArrayForm, FloatForm> kPathLengthFromPoint("PathArrays.path_length_from_point()",
                                                             required<PointArrayForm>("points"),
                                                             optional<FloatForm>("epsilon",
                                                                                 kDefaultEpsilon));

PyObject* path_length_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) noexcept {
    return Calls::method(self, kPathLengthFromPoint, args, nargs, kwnames,
                         locating_each(&path::path_length_from_points));
}

// ---- the class -------------------------------------------------------------------------

PyGetSetDef getset[] = {
    {"points", get_view<&Path::points>, nullptr, nullptr, nullptr},
    {"x", get_view<&Path::x>, nullptr, nullptr, nullptr},
    {"y", get_view<&Path::y>, nullptr, nullptr, nullptr},
    {"path_length_per_point", get_view<&Path::path_length_per_point>, nullptr, nullptr, nullptr},
    {"length", get_length, nullptr, nullptr, nullptr},
    {"orientation", get_view<&Path::orientation>, nullptr, nullptr, nullptr},
    {"unit_tangent_vector", get_view<&Path::unit_tangent_vector>, nullptr, nullptr, nullptr},
    {"curvature", get_view<&Path::curvature>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"compute_circle_fit_curvature", as_cfunction(compute_circle_fit_curvature), kFastKeywords,
     docs::arrays::kComputeCircleFitCurvature},
    {"find_circle_segments", as_cfunction(find_circle_segments), kFastKeywords,
     docs::arrays::kFindCircleSegments},
    {"index_from_point", as_cfunction(index_from_point), kFastKeywords,
     docs::arrays::kIndexFromPoint},
    {"path_length_from_point", as_cfunction(path_length_from_point), kFastKeywords,
     docs::arrays::kPathLengthFromPoint},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_dealloc, reinterpret_cast<void*>(binding::dealloc<PathArraysObject>)},
    {Py_tp_doc, const_cast<char*>(docs::arrays::kPathArrays)},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "ordavin.PathArrays",
    sizeof(PathArraysObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

binding::LazyClass& PathArraysObject::the_class() noexcept {
    static binding::LazyClass view_class(class_definition);
    return view_class;
}

}  // namespace

PyRef path_arrays_of(PyObject* owner, const Path& record, binding::AccessCounter& access) {
    // NumPy is imported here, on first use of the view, so that a missing NumPy is reported
    // where the arrays are asked for; importing ordavin never imports it.
    if (!binding::load_numpy()) return PyRef();
    PyTypeObject* type = PathArraysObject::the_class().get();
    if (type == nullptr) return PyRef();
    PyRef object = PyRef::steal(type->tp_alloc(type, 0));
    if (!object) return object;
    auto* view = reinterpret_cast<PathArraysObject*>(object.get());
    new (&view->owner) PyRef(PyRef::borrow(owner));
    view->record = &record;
    view->access = &access;
    return object;
}

}  // namespace ordavin::module
