// The Python class PathArrays: a Path seen through NumPy arrays that share its memory.
//
// The coordinate and per-point properties are read-only views of the path's own vectors and
// caches (filled on first use, by the same accessors the list properties read), so a read
// costs the same for ten points as for a million. The methods return new arrays that own
// their results. Every entry point runs through the class kit, as Path's do, with the view's
// Path as the receiver whose record is read under shared access.
#include "module/path_arrays_object.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "binding/class_kit.hpp"
#include "binding/conversions.hpp"
#include "binding/method.hpp"
#include "binding/numpy_array.hpp"
#include "binding/results.hpp"
#include "module/float_array_form.hpp"
#include "module/path_docs.hpp"
#include "module/resampling_type_object.hpp"
#include "path/circle_segments.hpp"
#include "path/defaults.hpp"
#include "path/frenet.hpp"
#include "path/from_frenet.hpp"
#include "path/interpolation.hpp"
#include "path/locating.hpp"
#include "python/python_error.hpp"
#include "util/fresh_memory.hpp"
#include "util/memory_policy.hpp"

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
using path::ResamplingType;
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

// ---- frenet ----------------------------------------------------------------------------

/// s_hint as given, None for "not given": it is read in the call, once the queries' shape
/// it broadcasts to is known. The argument is held for the whole call.
struct HintObjectForm {
    using Value = PyObject*;
    static std::optional<PyObject*> convert(PyObject* object, const char*) {
        return object == Py_None ? nullptr : object;
    }
};

/// A number whose absence is told apart from any value: `window` is refused without s_hint.
struct GivenFloatForm {
    using Value = std::optional<double>;
    static std::optional<std::optional<double>> convert(PyObject* object, const char* name) {
        const std::optional<double> value = FloatForm::convert(object, name);
        if (!value) return std::nullopt;
        return std::optional<double>(*value);
    }
};

/// A shape as Python writes a tuple: "()", "(3,)", "(4, 2)".
std::string shape_text(std::span<const std::size_t> shape) {
    std::string text = "(";
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (d > 0) text += ", ";
        text += std::to_string(shape[d]);
    }
    return text + (shape.size() == 1 ? ",)" : ")");
}

/// Replaces a pending TypeError or ValueError by its "argument '{name}': ..." form.
void name_the_argument(const char* name) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
        binding::prefix_argument_error(name);
        return;
    }
    if (!PyErr_ExceptionMatches(PyExc_ValueError)) return;
    const python::FetchedError error = python::fetch_error();
    if (!error.value) return;
    PyErr_Format(PyExc_ValueError, "argument '%s': %S", name, error.value.get());
}

/// A read-only strided view of a float64 array, released with this.
class StridedDoubles {
public:
    explicit StridedDoubles(PyObject* array) {
        if (PyObject_GetBuffer(array, &view_, PyBUF_RECORDS_RO) == 0) held_ = true;
    }
    StridedDoubles(const StridedDoubles&) = delete;
    StridedDoubles& operator=(const StridedDoubles&) = delete;
    ~StridedDoubles() {
        if (held_) PyBuffer_Release(&view_);
    }
    bool held() const noexcept { return held_; }
    const Py_buffer& view() const noexcept { return view_; }

private:
    Py_buffer view_{};
    bool held_ = false;
};

/// The hints of s_hint for queries of the given shape: one for all of them when it is a
/// number, else one per query, the array-like read as float64 and broadcast to the shape by
/// NumPy's rule (its dimensions, aligned on the right, each 1 or the queries' own). Nothing,
/// with the error set and the argument named, when it cannot be read or does not broadcast.
std::optional<std::vector<double>> hints_for(PyObject* hint, std::span<const std::size_t> shape,
                                             std::size_t count) {
    constexpr const char* name = "s_hint";
    if (PyFloat_Check(hint) || PyLong_Check(hint) || !PySequence_Check(hint)) {
        const std::optional<double> value = FloatForm::convert(hint, name);
        if (!value) return std::nullopt;
        return std::vector<double>{*value};
    }
    PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
    PyRef asarray = numpy ? PyRef::steal(PyObject_GetAttrString(numpy.get(), "asarray")) : PyRef();
    if (!asarray) return std::nullopt;
    PyRef array = PyRef::steal(PyObject_CallFunctionObjArgs(
        asarray.get(), hint, reinterpret_cast<PyObject*>(&PyFloat_Type), nullptr));
    if (!array) {
        name_the_argument(name);
        return std::nullopt;
    }
    const StridedDoubles doubles(array.get());
    if (!doubles.held()) return std::nullopt;
    const Py_buffer& view = doubles.view();
    const auto dimensions = static_cast<std::size_t>(view.ndim);
    std::vector<std::size_t> hint_shape;
    for (std::size_t d = 0; d < dimensions; ++d) {
        hint_shape.push_back(static_cast<std::size_t>(view.shape[d]));
    }
    // The stride of each dimension of the queries' shape in the hint array: 0 where the hint
    // has no such dimension or one of extent 1.
    std::vector<Py_ssize_t> strides(shape.size(), 0);
    bool broadcasts = dimensions <= shape.size();
    for (std::size_t d = 0; broadcasts && d < dimensions; ++d) {
        const std::size_t at = shape.size() - dimensions + d;
        if (hint_shape[d] == shape[at]) {
            strides[at] = view.strides[d];
        } else {
            broadcasts = hint_shape[d] == 1;
        }
    }
    if (!broadcasts) {
        PyErr_Format(PyExc_ValueError,
                     "argument 's_hint': shape %s does not broadcast to the queries' shape %s",
                     shape_text(hint_shape).c_str(), shape_text(shape).c_str());
        return std::nullopt;
    }
    util::check_fits_in_memory(count, sizeof(double));
    std::vector<double> hints;
    util::reserve_fresh(hints, count);
    // An odometer over the queries' shape in C order, the last dimension fastest.
    std::vector<std::size_t> position(shape.size(), 0);
    const char* address = static_cast<const char*>(view.buf);
    for (std::size_t k = 0; k < count; ++k) {
        double value;
        std::memcpy(&value, address, sizeof value);
        hints.push_back(value);
        for (std::size_t d = shape.size(); d-- > 0;) {
            if (++position[d] < shape[d]) {
                address += strides[d];
                break;
            }
            address -= strides[d] * static_cast<Py_ssize_t>(shape[d] - 1);
            position[d] = 0;
        }
    }
    return hints;
}

const Method<PointArrayForm, HintObjectForm, GivenFloatForm> kFrenet(
    "PathArrays.frenet()", required<PointArrayForm>("points"),
    optional<HintObjectForm>("s_hint", nullptr),
    optional<GivenFloatForm>("window", std::optional<double>()));

PyObject* frenet(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                 PyObject* kwnames) noexcept {
    return Calls::method(
        self, kFrenet, args, nargs, kwnames,
        [](const Path& record, PyObject*, const PointArray& queries, PyObject* hint,
           std::optional<double> window) -> PyRef {
            if (window && hint == nullptr) {
                PyErr_SetString(PyExc_ValueError,
                                "argument 'window': given without 's_hint', around which the "
                                "window is taken");
                return PyRef();
            }
            if (window && !(*window >= 0.0)) {
                PyErr_Format(PyExc_ValueError,
                             "argument 'window': must be a number at least 0 (got %R)",
                             PyRef::steal(PyFloat_FromDouble(*window)).get());
                return PyRef();
            }
            std::optional<std::vector<double>> hints;
            if (hint != nullptr) {
                hints = hints_for(hint, queries.shape, queries.points.size());
                if (!hints) return PyRef();
            }
            std::optional<path::ArcLengthHints> arc_length_hints;
            if (hints) {
                arc_length_hints = path::ArcLengthHints{
                    *hints, window.value_or(std::numeric_limits<double>::infinity())};
            }
            path::FrenetCoordinates coordinates =
                path::frenet(record, queries.points, arc_length_hints);
            PyRef s = binding::reshaped(binding::owning_array(std::move(coordinates.s)),
                                        queries.shape);
            if (!s) return s;
            PyRef d = binding::reshaped(binding::owning_array(std::move(coordinates.d)),
                                        queries.shape);
            if (!d) return d;
            PyRef index = binding::reshaped(binding::owning_array(std::move(coordinates.index)),
                                            queries.shape);
            if (!index) return index;
            return PyRef::steal(PyTuple_Pack(3, s.get(), d.get(), index.get()));
        });
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
    return Calls::method(
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
    return Calls::method(
        self, kFromFrenet, args, nargs, kwnames,
        [](const Path& record, PyObject*, const FloatArray& s, const FloatArray& d) {
            const std::optional<std::vector<std::size_t>> shape = broadcast_shape(s, "s", d, "d");
            if (!shape) return PyRef();
            const std::size_t count =
                util::checked_count(std::span<const std::size_t>(*shape), 2 * sizeof(double), "points");
            std::vector<double> s_storage;
            std::vector<double> d_storage;
            return point_array(
                path::points_from_frenet(record, broadcast_to(s, *shape, count, s_storage),
                                         broadcast_to(d, *shape, count, d_storage)),
                *shape);
        });
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
    {"frenet", as_cfunction(frenet), kFastKeywords, docs::arrays::kFrenet},
    {"interpolate", as_cfunction(interpolate), kFastKeywords, docs::arrays::kInterpolate},
    {"from_frenet", as_cfunction(from_frenet), kFastKeywords, docs::arrays::kFromFrenet},
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
