// Elastic-band smoothing of a path: one convex QP per call, solved by the solver handed in.
#pragma once

#include <variant>

#include "path/path.hpp"
#include "qp/solver/solver.hpp"
#include "qp/solver/solver_status.hpp"

namespace ordavin::path {

/// Interior points move along their normal by at most |max_deviation| so that the sum of
/// squared second differences is least; the first and last point are held by equality
/// constraints, so they come back within the solver's tolerance. Throws Panic for fewer than
/// two points; a failed solve is returned as its status. What the solver throws passes through.
std::variant<Path, qp::SolverStatus> smoothed_path(const Path& path, double max_deviation,
                                                   const qp::Solver& solver);

}  // namespace ordavin::path
