// The Python class PathArrays: a Path seen through NumPy arrays that share its memory.
//
// The coordinate and per-point properties are read-only views of the path's own vectors and
// caches (filled on first use, by the same accessors the list properties read), so a read
// costs the same for ten points as for a million. The circle methods return new arrays that
// own their results. Every entry point runs through binding::dispatch, as Path's do, with the
// view's Path as the receiver whose record is read under shared access.
#include "module/path_arrays_object.hpp"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "binding/conversions.hpp"
#include "binding/dispatch.hpp"
#include "binding/heap_type.hpp"
#include "binding/method.hpp"
#include "binding/numpy_array.hpp"
#include "binding/results.hpp"
#include "module/float_array_form.hpp"
#include "module/resampling_type_object.hpp"
#include "path/circle_segments.hpp"
#include "path/from_frenet.hpp"
#include "path/interpolation.hpp"
#include "path/locating.hpp"

namespace ordavin::path {

namespace {

using binding::FloatForm;
using binding::IndexForm;
using binding::Method;
using binding::optional;
using binding::PointArray;
using binding::PointArrayForm;
using binding::required;
using python::PyRef;

struct PathArraysObject {
    PyObject_HEAD PyRef owner;
    const Path* record;
    binding::AccessCounter* access;
};

PyTypeObject* the_class = nullptr;

PathArraysObject* receiver_of(PyObject* self) {
    if (self != nullptr && the_class != nullptr && PyObject_TypeCheck(self, the_class)) {
        return reinterpret_cast<PathArraysObject*>(self);
    }
    binding::raise_cannot_convert(self, "PathArrays");
    return nullptr;
}

/// The receiver of a view's property or method: the view's Path, under shared access to its
/// record. The operation gets the record and the Path object that the arrays keep alive.
struct ViewReceiver {
    PyObject* self;

    struct Access {
        PathArraysObject* view;
        binding::SharedAccess access;
        template <class Operation, class... Values>
        decltype(auto) call(Operation& operation, Values&&... values) {
            return operation(*view->record, view->owner.get(), std::forward<Values>(values)...);
        }
    };

    // May throw (std::bad_alloc from the mismatch message); dispatch runs it under the guard.
    std::optional<Access> take() const {
        PathArraysObject* view = receiver_of(self);
        if (view == nullptr) return std::nullopt;
        std::optional<binding::SharedAccess> access = binding::SharedAccess::take(*view->access);
        if (!access) return std::nullopt;
        return Access{view, std::move(*access)};
    }
};

const Method<> kNoParameters("PathArrays");

template <class Operation>
PyObject* read_property(PyObject* self, Operation operation) noexcept {
    return binding::dispatch(kNoParameters, ViewReceiver{self}, binding::NoArguments{},
                             operation);
}

template <class... Forms, class Operation>
PyObject* call_method(PyObject* self, const Method<Forms...>& method, PyObject* const* args,
                      Py_ssize_t nargsf, PyObject* kwnames, Operation operation) noexcept {
    return binding::dispatch(method, ViewReceiver{self},
                             binding::VectorcallArguments{args, nargsf, kwnames}, operation);
}

template <class Function>
PyCFunction as_cfunction(Function function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// ---- properties ------------------------------------------------------------------------

template <auto Accessor>
PyObject* get_view(PyObject* self, void*) noexcept {
    return read_property(self, [](const Path& record, PyObject* owner) {
        return binding::read_only_array(owner, (record.*Accessor)());
    });
}

PyObject* get_length(PyObject* self, void*) noexcept {
    return read_property(self, [](const Path& record, PyObject*) { return record.length(); });
}

// ---- methods ---------------------------------------------------------------------------

const Method<FloatForm> kComputeCircleFitCurvature("PathArrays.compute_circle_fit_curvature()",
                                                   optional<FloatForm>("max_rmse", 0.15));

PyObject* compute_circle_fit_curvature(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                       PyObject* kwnames) noexcept {
    return call_method(self, kComputeCircleFitCurvature, args, nargs, kwnames,
                       [](const Path& record, PyObject*, double max_rmse) {
                           return binding::owning_array(
                               path::compute_circle_fit_curvature(record, max_rmse));
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
    optional<FloatForm>("max_rmse", 0.15));

PyObject* find_circle_segments(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) noexcept {
    return call_method(self, kFindCircleSegments, args, nargs, kwnames,
                       [](const Path& record, PyObject*, std::uint64_t start, std::uint64_t end,
                          double max_rmse) {
                           return segment_arrays(
                               path::find_circle_segments(record, start, end, max_rmse));
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
                                                        optional<FloatForm>("epsilon", 0.01));

PyObject* index_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) noexcept {
    return call_method(self, kIndexFromPoint, args, nargs, kwnames,
                       locating_each(&path::index_from_points));
}

const Method<PointArrayForm, FloatForm> kPathLengthFromPoint("PathArrays.path_length_from_point()",
                                                             required<PointArrayForm>("points"),
                                                             optional<FloatForm>("epsilon", 0.01));

PyObject* path_length_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) noexcept {
    return call_method(self, kPathLengthFromPoint, args, nargs, kwnames,
                       locating_each(&path::path_length_from_points));
}

/// Points given as x and y of each in turn, as a float64 array of shape `shape` + (2,).
PyRef point_array(std::vector<double> coordinates, std::span<const std::size_t> shape) {
    std::vector<std::size_t> with_coordinates(shape.begin(), shape.end());
    with_coordinates.push_back(2);
    return binding::reshaped(binding::owning_array(std::move(coordinates)), with_coordinates);
}

const Method<FloatArrayForm, ResamplingTypeForm> kInterpolate(
    "PathArrays.interpolate()", required<FloatArrayForm>("s"),
    optional<ResamplingTypeForm>("resampling_type", ResamplingType::Linear));

PyObject* interpolate(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) noexcept {
    return call_method(
        self, kInterpolate, args, nargs, kwnames,
        [](const Path& record, PyObject*, const FloatArray& s, ResamplingType resampling_type) {
            return point_array(path::interpolated_coordinates(record, s.values(), resampling_type),
                               s.shape());
        });
}

const Method<FloatArrayForm, FloatArrayForm> kFromFrenet(
    "PathArrays.from_frenet()", required<FloatArrayForm>("s"),
    optional<FloatArrayForm>("d", FloatArray({0.0}, {})));

/// The values of `array` laid out as the broadcast `shape` holding `count` entries: its own
/// values where they already are (one value, or as many as the shape), else repeated into
/// `storage`.
std::span<const double> broadcast_to(const FloatArray& array, std::span<const std::size_t> shape,
                                     std::size_t count, std::vector<double>& storage) {
    const std::span<const double> values = array.values();
    if (values.size() == count || values.size() == 1) return values;
    storage = broadcast_values(array, shape);
    return storage;
}

PyObject* from_frenet(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) noexcept {
    return call_method(
        self, kFromFrenet, args, nargs, kwnames,
        [](const Path& record, PyObject*, const FloatArray& s, const FloatArray& d) {
            const std::optional<std::vector<std::size_t>> shape = broadcast_shape(s, "s", d, "d");
            if (!shape) return PyRef();
            const std::size_t count = checked_entries(*shape, 2 * sizeof(double));
            std::vector<double> s_storage;
            std::vector<double> d_storage;
            return point_array(
                path::points_from_frenet(record, broadcast_to(s, *shape, count, s_storage),
                                         broadcast_to(d, *shape, count, d_storage)),
                *shape);
        });
}

// ---- the class -------------------------------------------------------------------------

void dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<PathArraysObject*>(self)->owner.~PyRef();
    type->tp_free(self);
    Py_DECREF(type);
}

constexpr const char kComputeCircleFitCurvatureDoc[] =
    "compute_circle_fit_curvature($self, max_rmse=0.15)\n--\n\n"
    "The curvature of the circle arc each point belongs to, as a new float64 array of one\n"
    "entry per x coordinate; Path.compute_circle_fit_curvature gives the same values as a list.";

constexpr const char kFindCircleSegmentsDoc[] =
    "find_circle_segments($self, start, end, max_rmse=0.15)\n--\n\n"
    "The circle segments of the points start <= i < end as three new arrays: start and end\n"
    "(uint64) and curvature (float64); Path.find_circle_segments gives the same segments as a\n"
    "list of (start, end, curvature) tuples.";

constexpr const char kIndexFromPointDoc[] =
    "index_from_point($self, points, epsilon=1e-2)\n--\n\n"
    "The index Path.index_from_point gives for each point of `points`, an array-like of shape\n"
    "(..., 2), as a new int64 array of shape (...); -1 where it gives None. The path's segment\n"
    "index is built once for all the points.";

constexpr const char kPathLengthFromPointDoc[] =
    "path_length_from_point($self, points, epsilon=1e-2)\n--\n\n"
    "The path length Path.path_length_from_point gives for each point of `points`, an\n"
    "array-like of shape (..., 2), as a new float64 array of shape (...); NaN where it gives\n"
    "None. The path's segment index is built once for all the points.";

constexpr const char kInterpolateDoc[] =
    "interpolate($self, s, resampling_type=...)\n--\n\n"
    "The points at arc lengths `s` (a number or an array-like of any shape) as a new float64\n"
    "array of shape s.shape + (2,), on the very curve resampled_path samples with the same\n"
    "resampling_type (ResamplingType.Linear unless given): at the sample lengths\n"
    "numpy.linspace(0, length, n) they are, bit for bit, the points of\n"
    "resampled_path(n, resampling_type). s below 0 gives the first point and s above the\n"
    "length the last, as numpy.interp does; NaN gives NaN, and so does every s on a path\n"
    "without points or whose length is NaN. Lengths in order are located in one pass, others\n"
    "by bisection, with the same results.";

constexpr const char kFromFrenetDoc[] =
    "from_frenet($self, s, d=0.0)\n--\n\n"
    "The points at arc length `s` plus the signed offset `d` along the left unit normal of the\n"
    "segment that holds s (the one that starts at s on a vertex), as a new float64 array of\n"
    "shape broadcast(s, d).shape + (2,); s and d are numbers or array-likes of any shape. On\n"
    "segment k from A to B: t = (s - s_k) / |B - A| and A + t (B - A) + d (-(B - A).y,\n"
    "(B - A).x) / |B - A|. Before 0 and past the length the first and last segments extend\n"
    "straight. Segments of zero length lend no direction: at the ends the nearest segment of\n"
    "positive length takes over. NaN in s or d gives NaN; a path without a segment of positive\n"
    "length (no points, one point, all points equal) has no direction and gives NaN for every\n"
    "pair.";

constexpr const char kClassDoc[] =
    "Read-only NumPy views of a Path's coordinates and per-point quantities.\n\n"
    "Each property is a float64 array that shares the path's memory (no copy) and keeps the\n"
    "path alive; it cannot be made writable. Copy it (numpy.array(view)) to change it. The\n"
    "circle and locating methods return new arrays.";

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

constexpr auto kFastKeywords = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef methods[] = {
    {"compute_circle_fit_curvature", as_cfunction(compute_circle_fit_curvature), kFastKeywords,
     kComputeCircleFitCurvatureDoc},
    {"find_circle_segments", as_cfunction(find_circle_segments), kFastKeywords,
     kFindCircleSegmentsDoc},
    {"index_from_point", as_cfunction(index_from_point), kFastKeywords, kIndexFromPointDoc},
    {"path_length_from_point", as_cfunction(path_length_from_point), kFastKeywords,
     kPathLengthFromPointDoc},
    {"interpolate", as_cfunction(interpolate), kFastKeywords, kInterpolateDoc},
    {"from_frenet", as_cfunction(from_frenet), kFastKeywords, kFromFrenetDoc},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_doc, const_cast<char*>(kClassDoc)},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "builtins.PathArrays",
    sizeof(PathArraysObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

}  // namespace

PyObject* path_arrays_class() noexcept {
    if (the_class != nullptr) return reinterpret_cast<PyObject*>(the_class);
    PyRef type = binding::make_heap_type(class_definition);
    if (!type) return nullptr;
    the_class = reinterpret_cast<PyTypeObject*>(type.release());
    return reinterpret_cast<PyObject*>(the_class);
}

PyRef path_arrays_of(PyObject* owner, const Path& record, binding::AccessCounter& access) {
    // NumPy is imported here, on first use of the view, so that a missing NumPy is reported
    // where the arrays are asked for; importing ordavin never imports it.
    if (!binding::load_numpy()) return PyRef();
    PyObject* type = path_arrays_class();
    if (type == nullptr) return PyRef();
    auto* the_type = reinterpret_cast<PyTypeObject*>(type);
    PyRef object = PyRef::steal(the_type->tp_alloc(the_type, 0));
    if (!object) return object;
    auto* view = reinterpret_cast<PathArraysObject*>(object.get());
    new (&view->owner) PyRef(PyRef::borrow(owner));
    view->record = &record;
    view->access = &access;
    return object;
}

}  // namespace ordavin::path
