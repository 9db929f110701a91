// The Python class Path: its construction, attributes, properties and methods.
//
// Every entry point runs the steps of binding::dispatch (docs/ARCHITECTURE.md, "The path of a
// call") through the class kit; each only names its parameters and the operation.
#include "module/path_object.hpp"

#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

#include "binding/access.hpp"
#include "binding/boundary.hpp"
#include "binding/class_kit.hpp"
#include "binding/conversions.hpp"
#include "binding/gc_pause.hpp"
#include "binding/heap_type.hpp"
#include "binding/method.hpp"
#include "binding/results.hpp"
#include "binding/text.hpp"
#include "module/path_arrays_object.hpp"
#include "module/path_docs.hpp"
#include "module/resampling_type_object.hpp"
#include "path/circle_segments.hpp"
#include "path/defaults.hpp"
#include "path/locating.hpp"
#include "path/resampling.hpp"
#include "path/smoothing.hpp"
#include "path/sub_path.hpp"
#include "path/without_duplicate_points.hpp"
#include "qp/solver/clarabel/clarabel_solver.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::module {

namespace {

using path::kDefaultEpsilon;
using path::kDefaultMaxRmse;
using path::Path;
using path::ResamplingType;
using binding::FloatForm;
using binding::FloatColumnForm;
using binding::LastFloatColumnForm;
using binding::IndexForm;
using binding::Method;
using binding::NoneOr;
using binding::optional;
using binding::PointForm;
using binding::PointListForm;
using python::PyRef;
using binding::required;
using binding::to_python;

struct PathObject {
    PyObject_HEAD binding::AccessCounter access;
    Path record;

    static constexpr const char* kName = "Path";
    static binding::LazyClass& the_class() noexcept;
    binding::AccessCounter& counter() noexcept { return access; }
    template <class Operation, class... Values>
    decltype(auto) run(Operation& operation, Values&&... values) {
        return operation(std::as_const(record), std::forward<Values>(values)...);
    }
};

using Calls = binding::Calls<PathObject>;
using binding::as_cfunction;
using binding::kFastKeywords;

// ---- construction ----------------------------------------------------------------------

/// A path from coordinate lists. Equal lengths make x and y mirror the points, so a path of
/// two array columns is its points alone: y is read straight into them beside x's values, and
/// x and y come from the points later.
Path path_from_columns(binding::FloatColumn x, binding::FloatColumn y) {
    if (std::optional<std::vector<Point>> points = binding::paired_points(x, y)) {
        return Path::from_points(std::move(*points));
    }
    return Path::from_coordinates(x.take(), y.take());
}

const Method<NoneOr<PointListForm>, NoneOr<FloatColumnForm>, NoneOr<LastFloatColumnForm>> kNew(
    "Path.__new__()", optional<NoneOr<PointListForm>>("points", std::nullopt),
    optional<NoneOr<FloatColumnForm>>("x", std::nullopt),
    optional<NoneOr<LastFloatColumnForm>>("y", std::nullopt));

PyObject* new_path(PyTypeObject*, PyObject* args, PyObject* kwargs) noexcept {
    return binding::dispatch(
        kNew, binding::NoReceiver{}, binding::TupleArguments{args, kwargs},
        [](std::optional<std::vector<Point>> points, std::optional<binding::FloatColumn> x,
           std::optional<binding::FloatColumn> y) -> PyRef {
            if (points && !x && !y) return to_python(Path::from_points(std::move(*points)));
            if (!points && x && y) {
                return to_python(path_from_columns(std::move(*x), std::move(*y)));
            }
            PyErr_SetString(PyExc_TypeError, "Create path either from points or coordinates");
            return PyRef();
        });
}

// ---- static methods --------------------------------------------------------------------

const Method<PointListForm> kFromPoints("Path.from_points()", required<PointListForm>("points"));

PyObject* from_points(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) noexcept {
    return Calls::static_method(kFromPoints, args, nargs, kwnames, [](std::vector<Point> points) {
        return Path::from_points(std::move(points));
    });
}

const Method<FloatColumnForm, LastFloatColumnForm> kFromCoordinates(
    "Path.from_coordinates()", required<FloatColumnForm>("x"),
    required<LastFloatColumnForm>("y"));

PyObject* from_coordinates(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) noexcept {
    return Calls::static_method(kFromCoordinates, args, nargs, kwnames,
                       [](binding::FloatColumn x, binding::FloatColumn y) {
                           return path_from_columns(std::move(x), std::move(y));
                       });
}

// ---- methods ---------------------------------------------------------------------------

const Method<FloatForm> kComputeCircleFitCurvature("Path.compute_circle_fit_curvature()",
                                                   optional<FloatForm>("max_rmse", kDefaultMaxRmse));

PyObject* compute_circle_fit_curvature(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                       PyObject* kwnames) noexcept {
    return Calls::method(self, kComputeCircleFitCurvature, args, nargs, kwnames,
                       [](const Path& record, double max_rmse) {
                           return path::compute_circle_fit_curvature(record, max_rmse);
                       });
}

const Method<IndexForm, IndexForm, FloatForm> kFindCircleSegments(
    "Path.find_circle_segments()", required<IndexForm>("start"), required<IndexForm>("end"),
    optional<FloatForm>("max_rmse", kDefaultMaxRmse));

PyObject* find_circle_segments(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) noexcept {
    return Calls::method(
        self, kFindCircleSegments, args, nargs, kwnames,
        [](const Path& record, std::uint64_t start, std::uint64_t end, double max_rmse) {
            return path::find_circle_segments(record, start, end, max_rmse);
        });
}

const Method<IndexForm, ResamplingTypeForm> kResampledPath(
    "Path.resampled_path()", required<IndexForm>("number_points"),
    optional<ResamplingTypeForm>("resampling_type", ResamplingType::Linear));

PyObject* resampled_path(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) noexcept {
    return Calls::method(self, kResampledPath, args, nargs, kwnames,
                       [](const Path& record, std::uint64_t number_points, ResamplingType type) {
                           return path::resampled_path(record, number_points, type);
                       });
}

const Method<FloatForm> kSmoothedPath("Path.smoothed_path()", required<FloatForm>("max_deviation"));

PyObject* smoothed_path(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) noexcept {
    return Calls::method(
        self, kSmoothedPath, args, nargs, kwnames,
        [](const Path& record, double max_deviation) {
            // Clarabel, quiet, handing freed memory back to the system before its own large
            // buffers are allocated.
            qp::ClarabelSettings settings;
            settings.verbose = false;
            const qp::ClarabelSolver solver(settings, &util::return_free_memory_to_system);
            return path::smoothed_path(record, max_deviation, solver);
        });
}

PyObject* without_duplicate_points(PyObject* self, PyObject*) noexcept {
    return Calls::property(self,
                         [](const Path& record) { return path::without_duplicate_points(record); });
}

const Method<PointForm, FloatForm> kIndexFromPoint("Path.index_from_point()",
                                                   required<PointForm>("point"),
                                                   optional<FloatForm>("epsilon", kDefaultEpsilon));

PyObject* index_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) noexcept {
    return Calls::method(self, kIndexFromPoint, args, nargs, kwnames,
                       [](const Path& record, Point point, double epsilon) {
                           return path::index_from_point(record, point, epsilon);
                       });
}

const Method<PointForm, FloatForm> kPathLengthFromPoint("Path.path_length_from_point()",
                                                        required<PointForm>("point"),
                                                        optional<FloatForm>("epsilon", kDefaultEpsilon));

PyObject* path_length_from_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) noexcept {
    return Calls::method(self, kPathLengthFromPoint, args, nargs, kwnames,
                       [](const Path& record, Point point, double epsilon) {
                           return path::path_length_from_point(record, point, epsilon);
                       });
}

const Method<NoneOr<PointForm>, NoneOr<PointForm>, FloatForm> kSubPath(
    "Path.sub_path()", optional<NoneOr<PointForm>>("start", std::nullopt),
    optional<NoneOr<PointForm>>("end", std::nullopt), optional<FloatForm>("epsilon", kDefaultEpsilon));

PyObject* sub_path(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames) noexcept {
    return Calls::method(self, kSubPath, args, nargs, kwnames,
                       [](const Path& record, std::optional<Point> start, std::optional<Point> end,
                          double epsilon) { return path::sub_path(record, start, end, epsilon); });
}

// ---- pickling and copying -------------------------------------------------------------

// A pickle must name a callable that unpickling can import. The class itself cannot be found
// by name (its module reads "builtins"), so a path is rebuilt by `Path._from_state(x, y)`, a
// plain function kept in the class dictionary, which pickle finds as "ordavin.Path._from_state".
// The coordinate vectors are stored whole, so unequal lengths, NaN and -0.0 survive; the
// caches start empty again.
PyMethodDef from_state_definition = {
    "Path._from_state", as_cfunction(from_coordinates), kFastKeywords,
    "_from_state(x, y)\n--\n\nRebuilds a pickled path from its coordinates."};

PyObject* reduce(PyObject* self, PyObject*) noexcept {
    return binding::guarded([&]() -> PyObject* {
        if (!PathObject::the_class().has_instance(self)) {
            binding::raise_cannot_convert(self, PathObject::kName);
            return nullptr;
        }
        auto* receiver = reinterpret_cast<PathObject*>(self);
        PyRef rebuild = PyRef::steal(PyObject_GetAttrString(
            reinterpret_cast<PyObject*>(PathObject::the_class().get()), "_from_state"));
        if (!rebuild) return nullptr;
        PyRef x = to_python(receiver->record.x());
        if (!x) return nullptr;
        PyRef y = to_python(receiver->record.y());
        if (!y) return nullptr;
        return Py_BuildValue("(O(OO))", rebuild.get(), x.get(), y.get());
    });
}

// ---- attributes and properties ---------------------------------------------------------

template <auto Accessor>
PyObject* get(PyObject* self, void*) noexcept {
    // By reference: the cached vector goes straight into the list, without a copy.
    return Calls::property(self,
                         [](const Path& path) -> decltype(auto) { return (path.*Accessor)(); });
}

// The view shares the record's memory, so it holds this object (and through it the record).
PyObject* get_arrays(PyObject* self, void*) noexcept {
    return Calls::property(self, [self](const Path& record) {
        return path_arrays_of(self, record, reinterpret_cast<PathObject*>(self)->access);
    });
}

PyGetSetDef getset[] = {
    {"points", get<&Path::points>, nullptr, nullptr, nullptr},
    {"x", get<&Path::x>, nullptr, nullptr, nullptr},
    {"y", get<&Path::y>, nullptr, nullptr, nullptr},
    {"path_length_per_point", get<&Path::path_length_per_point>, nullptr, nullptr, nullptr},
    {"length", get<&Path::length>, nullptr, nullptr, nullptr},
    {"orientation", get<&Path::orientation>, nullptr, nullptr, nullptr},
    {"unit_tangent_vector", get<&Path::unit_tangent_vector>, nullptr, nullptr, nullptr},
    {"curvature", get<&Path::curvature>, nullptr, nullptr, nullptr},
    {"arrays", get_arrays, nullptr,
     "Read-only NumPy views of the coordinates and per-point quantities (needs numpy).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"from_points", as_cfunction(from_points), kFastKeywords | METH_STATIC, docs::kFromPoints},
    {"from_coordinates", as_cfunction(from_coordinates), kFastKeywords | METH_STATIC,
     docs::kFromCoordinates},
    {"compute_circle_fit_curvature", as_cfunction(compute_circle_fit_curvature), kFastKeywords,
     docs::kComputeCircleFitCurvature},
    {"find_circle_segments", as_cfunction(find_circle_segments), kFastKeywords,
     docs::kFindCircleSegments},
    {"resampled_path", as_cfunction(resampled_path), kFastKeywords, docs::kResampledPath},
    {"smoothed_path", as_cfunction(smoothed_path), kFastKeywords, docs::kSmoothedPath},
    {"without_duplicate_points", as_cfunction(without_duplicate_points), METH_NOARGS,
     docs::kWithoutDuplicatePoints},
    {"index_from_point", as_cfunction(index_from_point), kFastKeywords, docs::kIndexFromPoint},
    {"path_length_from_point", as_cfunction(path_length_from_point), kFastKeywords,
     docs::kPathLengthFromPoint},
    {"sub_path", as_cfunction(sub_path), kFastKeywords, docs::kSubPath},
    {"__reduce__", as_cfunction(reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_new, reinterpret_cast<void*>(new_path)},
    {Py_tp_dealloc, reinterpret_cast<void*>(binding::dealloc<PathObject>)},
    {Py_tp_doc, const_cast<char*>(docs::kPath)},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "builtins.Path", sizeof(PathObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots,
};

binding::LazyClass& PathObject::the_class() noexcept {
    static binding::LazyClass path_class(class_definition, [](PyTypeObject*) {
        std::vector<binding::ClassAttribute> attributes;
        attributes.push_back({"_from_state", binding::module_function(from_state_definition)});
        return std::optional(std::move(attributes));
    });
    return path_class;
}

}  // namespace

PyObject* path_class() noexcept {
    return reinterpret_cast<PyObject*>(PathObject::the_class().get());
}

}  // namespace ordavin::module

namespace ordavin::path {

python::PyRef to_python(const std::vector<CircleSegment>& segments) noexcept {
    const binding::GcPause pause;
    return binding::build_list(segments.size(), [&](std::size_t i) -> PyObject* {
        const CircleSegment& segment = segments[i];
        return Py_BuildValue("(KKd)", static_cast<unsigned long long>(segment.start),
                             static_cast<unsigned long long>(segment.end), segment.curvature);
    });
}

/// A failed smoothing solve becomes PanicException naming the solver's status.
python::PyRef to_python(std::variant<Path, qp::SolverStatus> result) {
    if (auto* path = std::get_if<Path>(&result)) return path::to_python(std::move(*path));
    const auto status = std::get<qp::SolverStatus>(result);
    binding::raise_panic(
        binding::concat({"smoothing failed, the solver reported ", qp::to_string(status)}));
    return python::PyRef();
}

python::PyRef to_python(Path path) {
    PyTypeObject* type = module::PathObject::the_class().get();
    if (type == nullptr) return python::PyRef();
    python::PyRef object = python::PyRef::steal(type->tp_alloc(type, 0));
    if (!object) return object;
    auto* record = reinterpret_cast<module::PathObject*>(object.get());
    new (&record->access) binding::AccessCounter();
    new (&record->record) Path(std::move(path));
    return object;
}

}  // namespace ordavin::path
