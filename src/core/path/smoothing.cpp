// Elastic-band smoothing of a path: one convex QP per call, solved by the solver handed in.
#include <cmath>
#include <optional>
#include <vector>

#include "path/smoothing.hpp"
#include "qp/constraint.hpp"
#include "qp/expressions/add.hpp"
#include "qp/expressions/mul.hpp"
#include "qp/expressions/sub.hpp"
#include "qp/problem_variables.hpp"
#include "util/memory_policy.hpp"
#include "util/panic.hpp"

namespace ordavin::path {

namespace {

// Adds sum over i >= 2 of (v_i - 2 v_(i-1) + v_(i-2))^2, the bending of one coordinate.
void add_bending(qp::QuadraticExpression& objective, const std::vector<qp::Variable>& v) {
    for (std::size_t i = 2; i < v.size(); ++i) {
        qp::AffineExpression second_difference = v[i] - (2.0 * v[i - 1]);
        second_difference += qp::AffineExpression(v[i - 2]);
        objective += second_difference.square();
    }
}

// The peak memory of one smoothing per point of the path: the model, the matrices handed over
// and the solver's own factorisation. Measured with Clarabel (0.9 to 0.11, qdldl) as growth of
// the peak resident size over a smoothing: about 4.1 KB per point at 2e4 points and 3.5 KB at
// 1e5; half as much again is the margin.
constexpr std::size_t kPeakBytesPerPoint = 6144;

}  // namespace

// The elastic band: the end points stay fixed, and interior point i may move only along the
// normal of the input direction theta_i, x_i = X_i + d sin(theta_i) l, y_i = Y_i - d cos(theta_i) l
// with -1 <= l <= 1, i.e. by at most |d| to the right of the direction of travel (for d > 0).
// Among these, the points with the least sum of squared second differences win. Variables:
// x_0..x_(n-1), then y_0..y_(n-1), then the n - 2 offsets l.
std::variant<Path, qp::SolverStatus> smoothed_path(const Path& path, double max_deviation,
                                                   const qp::Solver& solver) {
    const std::vector<Point>& points = path.points();
    const std::size_t n = points.size();
    if (n < 2) throw Panic("smoothed_path needs a path of at least two points");
    // Clarabel ends the process when one of its own allocations fails, so a problem that
    // cannot fit is refused here, as MemoryError, before anything is built.
    util::check_fits_in_memory(n, kPeakBytesPerPoint, "points", "smoothed_path");
    const std::vector<double>& theta = path.orientation();
    const double d = max_deviation;

    qp::ProblemVariables variables;
    const std::vector<qp::Variable> x = variables.add_vector(n, std::nullopt, std::nullopt);
    const std::vector<qp::Variable> y = variables.add_vector(n, std::nullopt, std::nullopt);
    const std::vector<qp::Variable> offset =
        variables.add_vector(n - 2, std::nullopt, std::nullopt);

    qp::QuadraticExpression objective;
    if (n >= 3) {
        // Per coordinate the squares meet the pairs (i, i), (i, i + 1) and (i, i + 2), and
        // every variable gets a (zero) linear entry: the final sizes, so the maps never grow.
        objective.quadratic_coefficients.reserve(2 * (3 * n - 3));
        objective.linear.coefficients.reserve(2 * n);
    }
    add_bending(objective, x);
    add_bending(objective, y);

    std::vector<qp::Constraint> constraints;
    constraints.reserve(4 * n - 4);
    constraints.push_back(qp::Equality{qp::AffineExpression(x[0]) - points[0].x});
    constraints.push_back(qp::Equality{qp::AffineExpression(y[0]) - points[0].y});
    constraints.push_back(qp::Equality{qp::AffineExpression(x[n - 1]) - points[n - 1].x});
    constraints.push_back(qp::Equality{qp::AffineExpression(y[n - 1]) - points[n - 1].y});
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const qp::Variable l = offset[i - 1];
        const double x_weight = d * std::sin(theta[i]);
        const double y_weight = -d * std::cos(theta[i]);
        constraints.push_back(qp::Equality{(points[i].x + x_weight * l) - x[i]});
        constraints.push_back(qp::Equality{(points[i].y + y_weight * l) - y[i]});
        constraints.push_back(qp::Bounded{std::nullopt, 0.0, qp::AffineExpression(l) - 1.0});
        qp::AffineExpression minus_one;
        minus_one.constant = -1.0;
        constraints.push_back(qp::Bounded{std::nullopt, 0.0, std::move(minus_one) - l});
    }

    qp::SolveResult result =
        solver.solve(std::move(variables), std::move(objective), std::move(constraints));
    if (const auto* status = std::get_if<qp::SolverStatus>(&result)) return *status;

    const auto& solution = std::get<qp::SolvedProblem>(result);
    const std::vector<double> new_x = solution.eval_vec(x);
    const std::vector<double> new_y = solution.eval_vec(y);
    std::vector<Point> smoothed(n);
    for (std::size_t i = 0; i < n; ++i) smoothed[i] = Point{new_x[i], new_y[i]};
    return Path::from_points(std::move(smoothed));
}

}  // namespace ordavin::path
