// The Clarabel adapter: settings in force, solutions, status mapping and Python errors.
#include "qp/solver/clarabel/clarabel_solver.hpp"
#include "qp/solver/clarabel/clarabel_settings_object.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"
#include "qp/expressions/add.hpp"
#include "qp/expressions/mul.hpp"
#include "qp/expressions/sub.hpp"
#include "support/worked_qp.hpp"

namespace qp {
namespace {

using ordavin::python::PyRef;
using ordavin::python::PythonErrorAlreadySet;

constexpr double kTolerance = 1e-6;

// Tests run in the embedded interpreter; a test that leaves a Python error set would make
// the next C API call misbehave, so each test checks it leaves none.
class ClarabelSolverTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (PyErr_Occurred()) {
            PyErr_Print();
            ADD_FAILURE() << "a Python error was left set";
        }
    }

    static ClarabelSolver quiet_solver() {
        ClarabelSettings settings;
        settings.verbose = false;
        return ClarabelSolver(settings);
    }

    // Runs a solve; a Python error (clarabel not importable) fails the test with its text.
    static SolveResult solve(const ClarabelSolver& solver, ProblemVariables registry,
                             QuadraticExpression objective, std::vector<Constraint> constraints) {
        try {
            return solver.solve(std::move(registry), std::move(objective), std::move(constraints));
        } catch (const PythonErrorAlreadySet&) {
            PyErr_Print();
            ADD_FAILURE() << "the solve raised a Python exception";
            return SolverStatus::Unbounded;
        }
    }

    static std::vector<double> values_of(const SolveResult& result) {
        if (const auto* status = std::get_if<SolverStatus>(&result)) {
            ADD_FAILURE() << "no solution: " << to_string(*status);
            return {};
        }
        return std::get<SolvedProblem>(result).values();
    }
};

// Clarabel 0.9.0's defaults, written out independently of ClarabelSettings.
TEST_F(ClarabelSolverTest, SettingsInForceAreTheReleaseDefaults) {
    struct Expected {
        const char* name;
        double value;
    };
    const Expected numbers[] = {
        {"max_iter", 200},
        {"time_limit", std::numeric_limits<double>::infinity()},
        {"max_step_fraction", 0.99},
        {"tol_gap_abs", 1e-8},
        {"tol_gap_rel", 1e-8},
        {"tol_feas", 1e-8},
        {"tol_infeas_abs", 1e-8},
        {"tol_infeas_rel", 1e-8},
        {"tol_ktratio", 1e-6},
        {"reduced_tol_gap_abs", 5e-5},
        {"reduced_tol_gap_rel", 5e-5},
        {"reduced_tol_feas", 1e-4},
        {"reduced_tol_infeas_abs", 5e-5},
        {"reduced_tol_infeas_rel", 5e-5},
        {"reduced_tol_ktratio", 1e-4},
        {"equilibrate_enable", 1},
        {"equilibrate_max_iter", 10},
        {"equilibrate_min_scaling", 1e-4},
        {"equilibrate_max_scaling", 1e4},
        {"linesearch_backtrack_step", 0.8},
        {"min_switch_step_length", 0.1},
        {"min_terminate_step_length", 1e-4},
        {"direct_kkt_solver", 1},
        {"static_regularization_enable", 1},
        {"static_regularization_constant", 1e-8},
        {"static_regularization_proportional", 4.930380657631324e-32},
        {"dynamic_regularization_enable", 1},
        {"dynamic_regularization_eps", 1e-13},
        {"dynamic_regularization_delta", 2e-7},
        {"iterative_refinement_enable", 1},
        {"iterative_refinement_reltol", 1e-13},
        {"iterative_refinement_abstol", 1e-12},
        {"iterative_refinement_max_iter", 10},
        {"iterative_refinement_stop_ratio", 5.0},
        {"presolve_enable", 1},
        {"verbose", 0},
    };
    PyRef settings = qp::make_python_settings(quiet_solver().settings());
    ASSERT_TRUE(settings);
    for (const Expected& expected : numbers) {
        PyRef value = PyRef::steal(PyObject_GetAttrString(settings.get(), expected.name));
        ASSERT_TRUE(value) << expected.name;
        const double actual = PyFloat_AsDouble(value.get());
        ASSERT_FALSE(PyErr_Occurred()) << expected.name;
        EXPECT_EQ(actual, expected.value) << expected.name;
    }
    PyRef method = PyRef::steal(PyObject_GetAttrString(settings.get(), "direct_solve_method"));
    ASSERT_TRUE(method);
    EXPECT_STREQ(PyUnicode_AsUTF8(method.get()), "qdldl");
}

TEST_F(ClarabelSolverTest, UnconstrainedMinimumInsideUpperBound) {
    ProblemVariables registry;
    const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
    std::vector<Constraint> constraints;
    constraints.push_back(Bounded{std::nullopt, 5.0, 1.0 * v[0]});
    const SolveResult result = solve(quiet_solver(), std::move(registry),
                                     (AffineExpression(v[0]) - 1.0).square(), constraints);
    const auto values = values_of(result);
    ASSERT_EQ(values.size(), 1U);
    EXPECT_NEAR(values[0], 1.0, kTolerance);
    EXPECT_NEAR(std::get<SolvedProblem>(result).eval_vec(v)[0], 1.0, kTolerance);
}

TEST_F(ClarabelSolverTest, ActiveLowerBoundOfConstraintAndOfVariable) {
    // min v0^2 + (v1 - 10)^2 with v0 >= 2 as a constraint and 0 <= v1 <= 5 as variable bounds.
    ProblemVariables registry;
    const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
    const auto w = registry.add_vector(1, 0.0, 5.0);
    QuadraticExpression objective = AffineExpression(v[0]).square();
    objective += (AffineExpression(w[0]) - 10.0).square();
    std::vector<Constraint> constraints;
    constraints.push_back(Bounded{2.0, std::nullopt, 1.0 * v[0]});
    const auto values =
        values_of(solve(quiet_solver(), std::move(registry), std::move(objective), constraints));
    ASSERT_EQ(values.size(), 2U);
    EXPECT_NEAR(values[0], 2.0, kTolerance);
    EXPECT_NEAR(values[1], 5.0, kTolerance);
}

TEST_F(ClarabelSolverTest, WorkedAssemblyExampleSolves) {
    // The unconstrained minimum (1, 0) is feasible with v2 = 1.
    auto [registry, objective, constraints] = testing::worked_qp();
    const auto values =
        values_of(solve(quiet_solver(), std::move(registry), std::move(objective), constraints));
    ASSERT_EQ(values.size(), 3U);
    EXPECT_NEAR(values[0], 1.0, kTolerance);
    // v1 sits on its bound where the objective is flat: a gap of 1e-8 allows an error of
    // about its square root there.
    EXPECT_NEAR(values[1], 0.0, 1e-4);
    EXPECT_GE(values[1], -1e-8);
    EXPECT_NEAR(values[2], 1.0, kTolerance);
}

TEST_F(ClarabelSolverTest, PrimalAndDualInfeasibleAreInfeasible) {
    {
        ProblemVariables registry;
        const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
        std::vector<Constraint> constraints;
        constraints.push_back(Bounded{std::nullopt, 0.0, 1.0 * v[0]});
        constraints.push_back(Bounded{1.0, std::nullopt, 1.0 * v[0]});
        const SolveResult result = solve(quiet_solver(), std::move(registry),
                                         AffineExpression(v[0]).square(), constraints);
        ASSERT_TRUE(std::holds_alternative<SolverStatus>(result));
        EXPECT_EQ(std::get<SolverStatus>(result), SolverStatus::Infeasible);
    }
    {
        // min -v0 subject to v0 >= 0 is unbounded below.
        ProblemVariables registry;
        const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
        QuadraticExpression objective;
        objective.linear = -1.0 * v[0];
        std::vector<Constraint> constraints;
        constraints.push_back(Bounded{0.0, std::nullopt, 1.0 * v[0]});
        const SolveResult result =
            solve(quiet_solver(), std::move(registry), std::move(objective), constraints);
        ASSERT_TRUE(std::holds_alternative<SolverStatus>(result));
        EXPECT_EQ(std::get<SolverStatus>(result), SolverStatus::Infeasible);
    }
}

TEST_F(ClarabelSolverTest, IterationLimitIsOtherError) {
    ClarabelSettings settings;
    settings.verbose = false;
    settings.max_iter = 1;
    ProblemVariables registry;
    const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
    std::vector<Constraint> constraints;
    constraints.push_back(Bounded{2.0, std::nullopt, 1.0 * v[0]});
    const SolveResult result = solve(ClarabelSolver(settings), std::move(registry),
                                     AffineExpression(v[0]).square(), constraints);
    ASSERT_TRUE(std::holds_alternative<SolverStatus>(result));
    EXPECT_EQ(std::get<SolverStatus>(result), SolverStatus::OtherError);
}

TEST_F(ClarabelSolverTest, EvalVecFollowsTheGivenOrderAndOneSolverServesTwice) {
    // min sum (v_k - k - 1)^2: v = (1, 2, 3).
    const auto make = [](ProblemVariables& registry, std::vector<Variable>& v) {
        v = registry.add_vector(3, std::nullopt, std::nullopt);
        QuadraticExpression objective;
        for (const Variable& variable : v) {
            objective +=
                (AffineExpression(variable) - static_cast<double>(variable.index + 1)).square();
        }
        return objective;
    };
    const ClarabelSolver solver = quiet_solver();
    std::vector<std::vector<double>> runs;
    for (int run = 0; run < 2; ++run) {
        ProblemVariables registry;
        std::vector<Variable> v;
        QuadraticExpression objective = make(registry, v);
        const SolveResult result = solve(solver, std::move(registry), std::move(objective), {});
        ASSERT_TRUE(std::holds_alternative<SolvedProblem>(result));
        const auto& solved = std::get<SolvedProblem>(result);
        const std::vector<Variable> order{v[2], v[0], v[2]};
        runs.push_back(solved.eval_vec(order));
        EXPECT_TRUE(solved.eval_vec({}).empty());
    }
    ASSERT_EQ(runs[0].size(), 3U);
    EXPECT_NEAR(runs[0][0], 3.0, kTolerance);
    EXPECT_NEAR(runs[0][1], 1.0, kTolerance);
    EXPECT_EQ(runs[0][0], runs[0][2]);
    EXPECT_EQ(runs[0], runs[1]);
}

TEST_F(ClarabelSolverTest, ForeignVariableIsOtherErrorNotAWiderProblem) {
    ProblemVariables registry;
    const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
    std::vector<Constraint> constraints;
    constraints.push_back(Equality{AffineExpression(v[0]) - Variable{5}});
    const SolveResult result =
        solve(quiet_solver(), std::move(registry), AffineExpression(v[0]).square(), constraints);
    ASSERT_TRUE(std::holds_alternative<SolverStatus>(result));
    EXPECT_EQ(std::get<SolverStatus>(result), SolverStatus::OtherError);
}

TEST_F(ClarabelSolverTest, ClarabelErrorPropagatesAsThePythonException) {
    ClarabelSettings settings;
    settings.verbose = false;
    settings.direct_solve_method = "no-such-method";
    ProblemVariables registry;
    const auto v = registry.add_vector(1, std::nullopt, std::nullopt);
    EXPECT_THROW(
        ClarabelSolver(settings).solve(std::move(registry), AffineExpression(v[0]).square(), {}),
        PythonErrorAlreadySet);
    ASSERT_TRUE(PyErr_Occurred());
    EXPECT_NE(
        ordavin::python::message_of(ordavin::python::fetch_error()).find("direct_solve_method"),
        std::string::npos);
}

}  // namespace
}  // namespace qp
