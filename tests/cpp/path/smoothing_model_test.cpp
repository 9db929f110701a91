// The smoothing's QP as a solver receives it, checked against a case worked by hand, and what
// the smoothing makes of the solver's answer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

#include "path/smoothing.hpp"
#include "qp/constraint.hpp"
#include "qp/solver/solver.hpp"
#include "support/dense_matrix.hpp"
#include "util/panic.hpp"

namespace {

using ordavin::Point;
using ordavin::path::Path;
using ordavin::path::smoothed_path;
using qp::testing::Dense;
using qp::testing::to_dense;

// The problem in the form an adapter hands it over: P (upper triangle), q, A, b and the cones.
struct HandedOver {
    std::uint64_t variables = 0;
    qp::CscMatrix p;
    std::vector<double> q;
    qp::ConstraintRows rows;
};

// Keeps what it is asked to solve and answers as it was told.
class RecordingSolver final : public qp::Solver {
public:
    explicit RecordingSolver(qp::SolveResult answer) : answer_(std::move(answer)) {}

    qp::SolveResult solve(qp::ProblemVariables variables, qp::QuadraticExpression objective,
                          std::vector<qp::Constraint> constraints) const override {
        HandedOver& seen = problems.emplace_back();
        seen.variables = variables.size();
        seen.p = objective.quadratic_as_upper_csc(variables.size());
        seen.q = objective.linear_as_vector(variables.size());
        seen.rows = qp::assemble_constraints(variables, constraints);
        return answer_;
    }

    mutable std::vector<HandedOver> problems;

private:
    qp::SolveResult answer_;
};

void expect_near(const Dense& actual, const Dense& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(actual[r].size(), expected[r].size());
        for (std::size_t c = 0; c < expected[r].size(); ++c) {
            EXPECT_NEAR(actual[r][c], expected[r][c], 1e-12) << "row " << r << ", column " << c;
        }
    }
}

// Four points turning left, (1, 2) (2, 2) (2, 3) (1, 3), smoothed with max_deviation 2. The
// headings at the interior points are 45 and 135 degrees (the chords (1, 1) and (-1, 1)), so
// the normal offsets are x1 = 2 + sqrt2 l1, y1 = 2 - sqrt2 l1, x2 = 2 + sqrt2 l2,
// y2 = 3 + sqrt2 l2. Variables: x0..x3 (0-3), y0..y3 (4-7), l1 and l2 (8, 9).
TEST(SmoothingModelTest, HandsTheSolverTheWorkedProblem) {
    const Path path = Path::from_points({{1.0, 2.0}, {2.0, 2.0}, {2.0, 3.0}, {1.0, 3.0}});
    const RecordingSolver solver(qp::SolverStatus::Infeasible);
    const auto result = smoothed_path(path, 2.0, solver);
    ASSERT_EQ(solver.problems.size(), 1U);
    const HandedOver& seen = solver.problems[0];
    ASSERT_EQ(seen.variables, 10U);

    // (x2 - 2 x1 + x0)^2 + (x3 - 2 x2 + x1)^2 = x0^2 + 5 x1^2 + 5 x2^2 + x3^2 - 4 x0 x1
    // + 2 x0 x2 - 8 x1 x2 + 2 x1 x3 - 4 x2 x3 is 1/2 z'Pz with twice the squares' weights on
    // the diagonal; the same for y; the offsets are not in the objective.
    const std::vector<double> bending_diagonal = {2.0, 10.0, 10.0, 2.0};
    Dense p(10, std::vector<double>(10, 0.0));
    for (const std::size_t first : {0U, 4U}) {
        for (std::size_t k = 0; k < 4; ++k) p[first + k][first + k] = bending_diagonal[k];
        p[first][first + 1] = -4.0;
        p[first][first + 2] = 2.0;
        p[first + 1][first + 2] = -8.0;
        p[first + 1][first + 3] = 2.0;
        p[first + 2][first + 3] = -4.0;
    }
    EXPECT_EQ(to_dense(seen.p), p);
    EXPECT_EQ(seen.q, std::vector<double>(10, 0.0));

    // Rows with s = b - A z: the end points, then per interior point its x and y equality
    // (offset - coordinate = -point), all in the zero cone; then l <= 1 and -l <= 1 per
    // interior point, in the nonnegative cone.
    const double r2 = std::sqrt(2.0);
    Dense a(12, std::vector<double>(10, 0.0));
    a[0][0] = a[1][4] = a[2][3] = a[3][7] = 1.0;
    a[4][8] = r2;
    a[4][1] = -1.0;
    a[5][8] = -r2;
    a[5][5] = -1.0;
    a[6][9] = r2;
    a[6][2] = -1.0;
    a[7][9] = r2;
    a[7][6] = -1.0;
    a[8][8] = a[10][9] = 1.0;
    a[9][8] = a[11][9] = -1.0;
    expect_near(to_dense(seen.rows.a), a);
    EXPECT_EQ(seen.rows.a.nnz(), 16U);  // no stored zeros
    EXPECT_EQ(seen.rows.b, (std::vector<double>{1.0, 2.0, 1.0, 3.0, -2.0, -2.0, -2.0, -3.0, 1.0,
                                                 1.0, 1.0, 1.0}));
    EXPECT_EQ(seen.rows.zero_cone, 8U);
    EXPECT_EQ(seen.rows.nonnegative_cone, 4U);

    // A failed solve comes back as its status.
    ASSERT_TRUE(std::holds_alternative<qp::SolverStatus>(result));
    EXPECT_EQ(std::get<qp::SolverStatus>(result), qp::SolverStatus::Infeasible);
}

// Two points: nothing to bend and no offsets, only the four end-point equalities.
TEST(SmoothingModelTest, TwoPointsGiveOnlyTheEndEqualities) {
    const Path path = Path::from_points({{-1.0, 0.5}, {3.0, 4.0}});
    const RecordingSolver solver(qp::SolverStatus::OtherError);
    (void)smoothed_path(path, 0.5, solver);
    ASSERT_EQ(solver.problems.size(), 1U);
    const HandedOver& seen = solver.problems[0];
    EXPECT_EQ(seen.variables, 4U);
    EXPECT_EQ(seen.p.nnz(), 0U);
    EXPECT_EQ(to_dense(seen.rows.a),
              (Dense{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}));
    EXPECT_EQ(seen.rows.b, (std::vector<double>{-1.0, 0.5, 3.0, 4.0}));
    EXPECT_EQ(seen.rows.zero_cone, 4U);
    EXPECT_EQ(seen.rows.nonnegative_cone, 0U);
}

// The solution's x and y values become the points; the offsets are dropped.
TEST(SmoothingModelTest, SolutionValuesBecomeThePoints) {
    const Path path = Path::from_points({{0.0, 0.0}, {1.0, 0.0}, {2.0, 0.0}});
    const RecordingSolver solver(qp::SolvedProblem({0.5, 1.5, 2.5, -1.0, -2.0, -3.0, 9.0}));
    const auto result = smoothed_path(path, 1.0, solver);
    ASSERT_TRUE(std::holds_alternative<Path>(result));
    EXPECT_EQ(std::get<Path>(result).points(),
              (std::vector<Point>{{0.5, -1.0}, {1.5, -2.0}, {2.5, -3.0}}));
}

TEST(SmoothingModelTest, FewerThanTwoPointsNeverReachTheSolver) {
    const RecordingSolver solver(qp::SolverStatus::OtherError);
    EXPECT_THROW((void)smoothed_path(Path::from_points({{1.0, 1.0}}), 1.0, solver),
                 ordavin::Panic);
    EXPECT_THROW((void)smoothed_path(Path::from_points(std::vector<Point>{}), 1.0, solver),
                 ordavin::Panic);
    EXPECT_TRUE(solver.problems.empty());
}

}  // namespace
