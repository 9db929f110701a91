// The Clarabel adapter: assembles the problem, hands it to clarabel's Python interface and maps
// the outcome back.
#include "qp/solver/clarabel/clarabel_solver.hpp"
#include "qp/solver/clarabel/clarabel_settings_object.hpp"

#include <Python.h>

#include <algorithm>
#include <memory>
#include <span>
#include <utility>

#include "python/python_error.hpp"

namespace qp {

namespace {

using ordavin::python::PyRef;
using ordavin::python::PythonErrorAlreadySet;

static_assert(sizeof(unsigned long long) == sizeof(std::uint64_t),
              "array typecode 'Q' must hold the 64-bit indices");

PyObject* checked(PyObject* object) {
    if (object == nullptr) throw PythonErrorAlreadySet();
    return object;
}

PyRef steal_checked(PyObject* object) {
    return PyRef::steal(checked(object));
}

PyRef attribute(PyObject* object, const char* name) {
    return steal_checked(PyObject_GetAttrString(object, name));
}

// What a solve needs from Python, looked up once per process. It is created on the first
// solve, not at import of the extension, so that clarabel is needed only by smoothing, and it
// is never freed: its references must not be dropped after the interpreter has finalised.
struct ClarabelApi {
    PyRef default_settings;
    PyRef default_solver;
    PyRef zero_cone;
    PyRef nonnegative_cone;
    PyRef status_solved;
    PyRef status_primal_infeasible;
    PyRef status_dual_infeasible;
    PyRef array_type;
    PyRef namespace_type;
};

PyRef import_clarabel() {
    PyObject* module = PyImport_ImportModule("clarabel");
    if (module != nullptr) return PyRef::steal(module);
    if (!PyErr_ExceptionMatches(PyExc_ImportError)) throw PythonErrorAlreadySet();

    // Replace the bare "No module named" by advice, keeping the original as the cause.
    ordavin::python::raise_from(
        PyExc_ImportError,
        "path smoothing needs the clarabel package; install it with: pip install clarabel",
        ordavin::python::fetch_error());
    throw PythonErrorAlreadySet();
}

const ClarabelApi& clarabel_api() {
    static ClarabelApi* cached = nullptr;
    if (cached != nullptr) return *cached;

    PyRef clarabel = import_clarabel();
    PyRef status = attribute(clarabel.get(), "SolverStatus");
    PyRef array_module = steal_checked(PyImport_ImportModule("array"));
    PyRef types_module = steal_checked(PyImport_ImportModule("types"));
    auto api = std::make_unique<ClarabelApi>(ClarabelApi{
        attribute(clarabel.get(), "DefaultSettings"),
        attribute(clarabel.get(), "DefaultSolver"),
        attribute(clarabel.get(), "ZeroConeT"),
        attribute(clarabel.get(), "NonnegativeConeT"),
        attribute(status.get(), "Solved"),
        attribute(status.get(), "PrimalInfeasible"),
        attribute(status.get(), "DualInfeasible"),
        attribute(array_module.get(), "array"),
        attribute(types_module.get(), "SimpleNamespace"),
    });
    // An import may release the interpreter lock; another thread may have finished first.
    if (cached == nullptr) cached = api.release();
    return *cached;
}

void set_attribute(PyObject* object, const char* name, PyRef value) {
    checked(value.get());
    if (PyObject_SetAttrString(object, name, value.get()) < 0) throw PythonErrorAlreadySet();
}
void set_float(PyObject* object, const char* name, double value) {
    set_attribute(object, name, PyRef::steal(PyFloat_FromDouble(value)));
}
void set_int(PyObject* object, const char* name, std::uint32_t value) {
    set_attribute(object, name, PyRef::steal(PyLong_FromUnsignedLong(value)));
}
void set_bool(PyObject* object, const char* name, bool value) {
    set_attribute(object, name, PyRef::borrow(value ? Py_True : Py_False));
}

// An array.array of the given typecode holding a copy of `values`. clarabel's Python interface
// reads its inputs element by element; array items are cheaper for it to read than numpy
// scalars and cheaper for us to make than a list of floats.
template <class T>
PyRef make_array(const ClarabelApi& api, const char* typecode, std::span<const T> values) {
    PyRef array = steal_checked(PyObject_CallFunction(api.array_type.get(), "s", typecode));
    if (values.empty()) return array;
    // The view lives only for this call, during which `values` is alive; frombytes copies.
    PyRef view = steal_checked(
        PyMemoryView_FromMemory(const_cast<char*>(reinterpret_cast<const char*>(values.data())),
                                static_cast<Py_ssize_t>(values.size_bytes()), PyBUF_READ));
    steal_checked(PyObject_CallMethod(array.get(), "frombytes", "O", view.get()));
    return array;
}

// Any object with data, indices, indptr, shape and has_canonical_format serves clarabel as a
// CSC matrix; a namespace costs far less to make than a scipy matrix and needs no scipy.
PyRef make_csc(const ClarabelApi& api, const CscMatrix& matrix) {
    PyRef keywords = steal_checked(PyDict_New());
    const auto put = [&keywords](const char* name, PyRef value) {
        checked(value.get());
        if (PyDict_SetItemString(keywords.get(), name, value.get()) < 0) {
            throw PythonErrorAlreadySet();
        }
    };
    put("data", make_array(api, "d", std::span<const double>(matrix.nzval)));
    put("indices", make_array(api, "Q", std::span<const std::uint64_t>(matrix.rowval)));
    put("indptr", make_array(api, "Q", std::span<const std::uint64_t>(matrix.colptr)));
    put("shape", PyRef::steal(Py_BuildValue("(KK)", static_cast<unsigned long long>(matrix.m),
                                            static_cast<unsigned long long>(matrix.n))));
    // The builder sorts rows within each column and sums duplicates.
    put("has_canonical_format", PyRef::borrow(Py_True));
    PyRef no_arguments = steal_checked(PyTuple_New(0));
    return steal_checked(
        PyObject_Call(api.namespace_type.get(), no_arguments.get(), keywords.get()));
}

PyRef make_cones(const ClarabelApi& api, std::uint64_t zero, std::uint64_t nonnegative) {
    PyRef zero_cone = steal_checked(
        PyObject_CallFunction(api.zero_cone.get(), "K", static_cast<unsigned long long>(zero)));
    PyRef nonnegative_cone = steal_checked(PyObject_CallFunction(
        api.nonnegative_cone.get(), "K", static_cast<unsigned long long>(nonnegative)));
    PyRef cones = steal_checked(PyList_New(2));
    PyList_SET_ITEM(cones.get(), 0, zero_cone.release());
    PyList_SET_ITEM(cones.get(), 1, nonnegative_cone.release());
    return cones;
}

bool status_is(PyObject* status, const PyRef& expected) {
    const int equal = PyObject_RichCompareBool(status, expected.get(), Py_EQ);
    if (equal < 0) throw PythonErrorAlreadySet();
    return equal == 1;
}

std::vector<double> read_solution(PyObject* solution) {
    PyRef x = attribute(solution, "x");
    PyRef sequence = steal_checked(PySequence_Fast(x.get(), "clarabel's solution x"));
    const Py_ssize_t size = PySequence_Fast_GET_SIZE(sequence.get());
    PyObject** items = PySequence_Fast_ITEMS(sequence.get());
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t k = 0; k < size; ++k) {
        const double value = PyFloat_AsDouble(items[k]);
        if (value == -1.0 && PyErr_Occurred()) throw PythonErrorAlreadySet();
        values.push_back(value);
    }
    return values;
}

// Frees what `value` owns now rather than at the end of the solve.
template <class T>
void release(T& value) {
    T released = std::move(value);
    value = T{};
}

// Past this many bytes of matrix data, a solve hands the freed model back to the system.
constexpr std::size_t kTrimThreshold = std::size_t{8} << 20;

bool indices_below(const AffineExpression::Coefficients& coefficients, std::uint64_t n) {
    return std::all_of(coefficients.begin(), coefficients.end(),
                       [n](const auto& entry) { return entry.key < n; });
}

}  // namespace

PyRef make_python_settings(const ClarabelSettings& s) {
    const ClarabelApi& api = clarabel_api();
    PyRef settings = steal_checked(PyObject_CallNoArgs(api.default_settings.get()));
    PyObject* o = settings.get();
    set_int(o, "max_iter", s.max_iter);
    set_float(o, "time_limit", s.time_limit);
    set_bool(o, "verbose", s.verbose);
    set_float(o, "max_step_fraction", s.max_step_fraction);
    set_float(o, "tol_gap_abs", s.tol_gap_abs);
    set_float(o, "tol_gap_rel", s.tol_gap_rel);
    set_float(o, "tol_feas", s.tol_feas);
    set_float(o, "tol_infeas_abs", s.tol_infeas_abs);
    set_float(o, "tol_infeas_rel", s.tol_infeas_rel);
    set_float(o, "tol_ktratio", s.tol_ktratio);
    set_float(o, "reduced_tol_gap_abs", s.reduced_tol_gap_abs);
    set_float(o, "reduced_tol_gap_rel", s.reduced_tol_gap_rel);
    set_float(o, "reduced_tol_feas", s.reduced_tol_feas);
    set_float(o, "reduced_tol_infeas_abs", s.reduced_tol_infeas_abs);
    set_float(o, "reduced_tol_infeas_rel", s.reduced_tol_infeas_rel);
    set_float(o, "reduced_tol_ktratio", s.reduced_tol_ktratio);
    set_bool(o, "equilibrate_enable", s.equilibrate_enable);
    set_int(o, "equilibrate_max_iter", s.equilibrate_max_iter);
    set_float(o, "equilibrate_min_scaling", s.equilibrate_min_scaling);
    set_float(o, "equilibrate_max_scaling", s.equilibrate_max_scaling);
    set_float(o, "linesearch_backtrack_step", s.linesearch_backtrack_step);
    set_float(o, "min_switch_step_length", s.min_switch_step_length);
    set_float(o, "min_terminate_step_length", s.min_terminate_step_length);
    set_bool(o, "direct_kkt_solver", s.direct_kkt_solver);
    set_attribute(
        o, "direct_solve_method",
        PyRef::steal(PyUnicode_FromStringAndSize(
            s.direct_solve_method.data(), static_cast<Py_ssize_t>(s.direct_solve_method.size()))));
    set_bool(o, "static_regularization_enable", s.static_regularization_enable);
    set_float(o, "static_regularization_constant", s.static_regularization_constant);
    set_float(o, "static_regularization_proportional", s.static_regularization_proportional);
    set_bool(o, "dynamic_regularization_enable", s.dynamic_regularization_enable);
    set_float(o, "dynamic_regularization_eps", s.dynamic_regularization_eps);
    set_float(o, "dynamic_regularization_delta", s.dynamic_regularization_delta);
    set_bool(o, "iterative_refinement_enable", s.iterative_refinement_enable);
    set_float(o, "iterative_refinement_reltol", s.iterative_refinement_reltol);
    set_float(o, "iterative_refinement_abstol", s.iterative_refinement_abstol);
    set_int(o, "iterative_refinement_max_iter", s.iterative_refinement_max_iter);
    set_float(o, "iterative_refinement_stop_ratio", s.iterative_refinement_stop_ratio);
    set_bool(o, "presolve_enable", s.presolve_enable);
    return settings;
}

SolveResult ClarabelSolver::solve(ProblemVariables variables, QuadraticExpression objective,
                                  std::vector<Constraint> constraints) const {
    const std::uint64_t n = variables.size();
    // Each part of the model is released as soon as it has been assembled, and each matrix as
    // soon as it has been copied into Python, so that Clarabel, which needs far more memory
    // than the model, starts on a heap that holds little more than its own inputs.
    //
    // clarabel's Python interface reads only the upper triangle of P; handing it only that
    // halves what crosses into Python.
    CscMatrix p = objective.quadratic_as_upper_csc(n);
    std::vector<double> q;
    // A variable from another registry would widen P (or fall outside q): no problem to
    // solve. Checked here, since the builder grows to fit whatever it is given.
    const bool objective_fits =
        p.n == n && p.m == n && indices_below(objective.linear.coefficients, n);
    if (objective_fits) q = objective.linear_as_vector(n);
    release(objective);
    if (!objective_fits) return SolverStatus::OtherError;

    ConstraintRows rows = assemble_constraints(variables, constraints);
    release(constraints);
    release(variables);
    if (rows.a.n != n) return SolverStatus::OtherError;

    const std::size_t matrix_bytes =
        (p.nnz() + rows.a.nnz()) * (sizeof(double) + sizeof(std::uint64_t));
    const ClarabelApi& api = clarabel_api();
    PyRef settings = make_python_settings(settings_);
    PyRef p_object = make_csc(api, p);
    release(p);
    PyRef q_object = make_array(api, "d", std::span<const double>(q));
    release(q);
    PyRef a_object = make_csc(api, rows.a);
    release(rows.a);
    PyRef b_object = make_array(api, "d", std::span<const double>(rows.b));
    release(rows.b);
    PyRef cones = make_cones(api, rows.zero_cone, rows.nonnegative_cone);

    PyRef solver = steal_checked(PyObject_CallFunctionObjArgs(
        api.default_solver.get(), p_object.get(), q_object.get(), a_object.get(), b_object.get(),
        cones.get(), settings.get(), nullptr));
    // Clarabel has copied what it needs out of these.
    release(p_object);
    release(q_object);
    release(a_object);
    release(b_object);
    release(cones);
    release(settings);
    // The model and the arrays freed so far mostly stay in the allocator's heap, scattered
    // between live blocks where Clarabel's large buffers do not fit; giving them back lowers
    // the peak of a large solve by about the model's size, at a cost of a few milliseconds.
    if (matrix_bytes >= kTrimThreshold && release_memory_ != nullptr) release_memory_();
    PyRef solution = steal_checked(PyObject_CallMethod(solver.get(), "solve", nullptr));
    PyRef status = attribute(solution.get(), "status");

    if (status_is(status.get(), api.status_solved)) {
        std::vector<double> values = read_solution(solution.get());
        if (values.size() != n) return SolverStatus::OtherError;
        return SolvedProblem(std::move(values));
    }
    if (status_is(status.get(), api.status_primal_infeasible) ||
        status_is(status.get(), api.status_dual_infeasible)) {
        return SolverStatus::Infeasible;
    }
    return SolverStatus::OtherError;
}

}  // namespace qp
