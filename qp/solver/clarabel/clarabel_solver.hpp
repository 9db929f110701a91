// The QP solver adapter over Clarabel, driven through its Python interface.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "qp/solver/solver.hpp"

namespace qp {

/// Clarabel's settings for doubles. The defaults are those of Clarabel 0.9.0 (with `verbose`
/// on, as there); every field is handed to Clarabel explicitly, so later releases that change
/// a default change nothing here.
struct ClarabelSettings {
    std::uint32_t max_iter = 200;
    double time_limit = std::numeric_limits<double>::infinity();  ///< seconds
    bool verbose = true;
    double max_step_fraction = 0.99;
    double tol_gap_abs = 1e-8;
    double tol_gap_rel = 1e-8;
    double tol_feas = 1e-8;
    double tol_infeas_abs = 1e-8;
    double tol_infeas_rel = 1e-8;
    double tol_ktratio = 1e-6;
    double reduced_tol_gap_abs = 5e-5;
    double reduced_tol_gap_rel = 5e-5;
    double reduced_tol_feas = 1e-4;
    double reduced_tol_infeas_abs = 5e-5;
    double reduced_tol_infeas_rel = 5e-5;
    double reduced_tol_ktratio = 1e-4;
    bool equilibrate_enable = true;
    std::uint32_t equilibrate_max_iter = 10;
    double equilibrate_min_scaling = 1e-4;
    double equilibrate_max_scaling = 1e4;
    double linesearch_backtrack_step = 0.8;
    double min_switch_step_length = 0.1;
    double min_terminate_step_length = 1e-4;
    bool direct_kkt_solver = true;
    std::string direct_solve_method = "qdldl";
    bool static_regularization_enable = true;
    double static_regularization_constant = 1e-8;
    double static_regularization_proportional =
        std::numeric_limits<double>::epsilon() * std::numeric_limits<double>::epsilon();
    bool dynamic_regularization_enable = true;
    double dynamic_regularization_eps = 1e-13;
    double dynamic_regularization_delta = 2e-7;
    bool iterative_refinement_enable = true;
    double iterative_refinement_reltol = 1e-13;
    double iterative_refinement_abstol = 1e-12;
    std::uint32_t iterative_refinement_max_iter = 10;
    double iterative_refinement_stop_ratio = 5.0;
    bool presolve_enable = true;
};

/// Solves with Clarabel's interior-point method. Needs the interpreter lock; imports the
/// `clarabel` package on the first solve. A Python failure (clarabel missing, a Clarabel
/// error) is left set as the Python error and reported by throwing
/// ordavin::python::PythonErrorAlreadySet.
class ClarabelSolver final : public Solver {
public:
    /// Gives memory back to the system; a large solve calls it once the model is freed and
    /// before Clarabel allocates its own, larger buffers.
    using ReleaseMemory = void (*)() noexcept;

    explicit ClarabelSolver(ClarabelSettings settings = {}, ReleaseMemory release_memory = nullptr)
        : settings_(std::move(settings)), release_memory_(release_memory) {}

    const ClarabelSettings& settings() const noexcept { return settings_; }

    /// Only Clarabel's exact Solved is a solution; PrimalInfeasible and DualInfeasible give
    /// Infeasible, every other status (AlmostSolved and limits included) OtherError. A problem
    /// that mentions a variable the registry does not have gives OtherError.
    SolveResult solve(ProblemVariables variables, QuadraticExpression objective,
                      std::vector<Constraint> constraints) const override;

private:
    ClarabelSettings settings_;
    ReleaseMemory release_memory_;
};

}  // namespace qp
