// Triplets to CSC, the objective's P and q, and the constraint rows of A, b and the cones.
#include <gtest/gtest.h>

#include <vector>

#include "qp/constraint.hpp"
#include "qp/expressions/add.hpp"
#include "qp/expressions/mul.hpp"
#include "qp/expressions/sub.hpp"
#include "qp/util/csc_matrix_triplets_builder.hpp"
#include "support/dense_matrix.hpp"
#include "support/worked_qp.hpp"

namespace qp {
namespace {

using testing::Dense;
using testing::to_dense;

TEST(CscMatrixTripletsBuilderTest, SortsByColumnThenRowAndSumsDuplicates) {
    CscMatrixTripletsBuilder builder(1, 1);
    builder.add_triplet(2, 1, 5.0);
    builder.add_triplet(0, 1, 1.0);
    builder.add_triplet(1, 0, 2.0);
    builder.add_triplet(2, 1, 0.5);
    builder.add_triplet(0, 3, -1.0);
    const CscMatrix matrix = std::move(builder).build();
    EXPECT_EQ(matrix.m, 3U);
    EXPECT_EQ(matrix.n, 4U);
    EXPECT_EQ(matrix.colptr, (std::vector<std::uint64_t>{0, 1, 3, 3, 4}));
    EXPECT_EQ(matrix.rowval, (std::vector<std::uint64_t>{1, 0, 2, 0}));
    EXPECT_EQ(matrix.nzval, (std::vector<double>{2.0, 1.0, 5.5, -1.0}));
}

TEST(CscMatrixTripletsBuilderTest, LongColumnIsSortedToo) {
    // More entries in one column than the insertion sort handles.
    CscMatrixTripletsBuilder builder(0, 0);
    for (std::uint64_t r = 0; r < 100; ++r) builder.add_triplet(99 - r, 0, static_cast<double>(r));
    builder.add_triplet(50, 0, 1000.0);
    const CscMatrix matrix = std::move(builder).build();
    ASSERT_EQ(matrix.nnz(), 100U);
    for (std::uint64_t r = 0; r < 100; ++r) {
        EXPECT_EQ(matrix.rowval[r], r);
        EXPECT_EQ(matrix.nzval[r], static_cast<double>(99 - r) + (r == 50 ? 1000.0 : 0.0));
    }
}

// Duplicates are summed in recording order: (1e16 + 1) - 1e16 is 0 in doubles, any other
// order gives 1 or 2. Short columns take the insertion sort, long ones the stable sort; the
// columns after a merged one must shift down intact.
class DuplicateOrderTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(DuplicateOrderTest, SummedInRecordingOrderAndLaterColumnsShift) {
    const std::uint64_t filler = GetParam();
    CscMatrixTripletsBuilder builder(0, 0);
    for (std::uint64_t r = 0; r < filler; ++r) builder.add_triplet(filler + 10 - r, 0, 7.0);
    builder.add_triplet(3, 0, 1e16);
    builder.add_triplet(3, 0, 1.0);
    builder.add_triplet(2, 1, 4.0);
    builder.add_triplet(3, 0, -1e16);
    builder.add_triplet(0, 1, 5.0);
    const CscMatrix matrix = std::move(builder).build();
    const Dense dense = to_dense(matrix);
    ASSERT_EQ(matrix.nnz(), filler + 3);
    EXPECT_EQ(dense[3][0], 0.0);
    EXPECT_EQ(matrix.colptr[1], filler + 1);
    EXPECT_EQ(dense[0][1], 5.0);
    EXPECT_EQ(dense[2][1], 4.0);
    if (filler > 0) {
        EXPECT_EQ(dense[filler + 10][0], 7.0);
    }
}

INSTANTIATE_TEST_SUITE_P(ShortAndLongColumns, DuplicateOrderTest, ::testing::Values(0U, 5U, 60U));

TEST(CscMatrixTripletsBuilderTest, EmptyBuilderKeepsItsDimensions) {
    const CscMatrix matrix = CscMatrixTripletsBuilder(0, 3).build();
    EXPECT_EQ(matrix.m, 0U);
    EXPECT_EQ(matrix.n, 3U);
    EXPECT_EQ(matrix.colptr, (std::vector<std::uint64_t>{0, 0, 0, 0}));
    EXPECT_EQ(matrix.nnz(), 0U);
}

TEST(ObjectiveAssemblyTest, MixedTermOnBothSidesSquareDoubledOnDiagonal) {
    // 3 v0^2 + 1.5 v0 v2 - v1 + 7
    QuadraticExpression objective;
    objective.quadratic_coefficients.insert_new({0, 0}, 3.0);
    objective.quadratic_coefficients.insert_new({0, 2}, 1.5);
    objective.linear = -1.0 * Variable{1};
    objective.linear.constant = 7.0;
    EXPECT_EQ(to_dense(objective.quadratic_as_csc(3)),
              (Dense{{6.0, 0.0, 1.5}, {0.0, 0.0, 0.0}, {1.5, 0.0, 0.0}}));
    EXPECT_EQ(to_dense(objective.quadratic_as_upper_csc(3)),
              (Dense{{6.0, 0.0, 1.5}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}));
    EXPECT_EQ(objective.linear_as_vector(3), (std::vector<double>{0.0, -1.0, 0.0}));
}

TEST(ObjectiveAssemblyTest, EmptyObjectiveGivesEmptySquareP) {
    const QuadraticExpression objective;
    const CscMatrix p = objective.quadratic_as_csc(4);
    EXPECT_EQ(p.m, 4U);
    EXPECT_EQ(p.n, 4U);
    EXPECT_EQ(p.nnz(), 0U);
    EXPECT_EQ(objective.linear_as_vector(4), std::vector<double>(4, 0.0));
}

TEST(ConstraintAssemblyTest, WorkedExample) {
    const auto [registry, objective, constraints] = testing::worked_qp();

    EXPECT_EQ(to_dense(objective.quadratic_as_csc(3)),
              (Dense{{2.0, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 0.0}}));
    EXPECT_EQ(objective.linear_as_vector(3), (std::vector<double>{-2.0, 0.0, 0.0}));

    const ConstraintRows rows = assemble_constraints(registry, constraints);
    EXPECT_EQ(to_dense(rows.a), (Dense{{1.0, 0.0, -1.0},
                                       {1.0, 1.0, 0.0},
                                       {0.0, 2.0, 0.0},
                                       {0.0, -2.0, 0.0},
                                       {0.0, 0.0, 1.0},
                                       {0.0, 0.0, -1.0}}));
    EXPECT_EQ(rows.b, (std::vector<double>{0.0, 4.0, 2.0, 0.0, 5.0, 0.0}));
    EXPECT_EQ(rows.zero_cone, 1U);
    EXPECT_EQ(rows.nonnegative_cone, 5U);
}

TEST(ConstraintAssemblyTest, EqualitiesFirstAndUnboundedConstraintsTakeNoRow) {
    ProblemVariables registry;
    const auto v = registry.add_vector(2, std::nullopt, std::nullopt);
    std::vector<Constraint> constraints;
    constraints.push_back(Bounded{std::nullopt, 0.0, AffineExpression(v[0]) - 1.0});
    constraints.push_back(Bounded{std::nullopt, std::nullopt, 1.0 * v[1]});
    constraints.push_back(Equality{AffineExpression(v[1]) - 3.0});
    constraints.push_back(Bounded{2.0, std::nullopt, 1.0 * v[1]});
    // An equality without coefficients still takes its row, with b = -constant.
    AffineExpression constant_only;
    constant_only.constant = 0.5;
    constraints.push_back(Equality{constant_only});

    const ConstraintRows rows = assemble_constraints(registry, constraints);
    EXPECT_EQ(to_dense(rows.a), (Dense{{0.0, 1.0}, {0.0, 0.0}, {1.0, 0.0}, {0.0, -1.0}}));
    EXPECT_EQ(rows.b, (std::vector<double>{3.0, -0.5, 1.0, -2.0}));
    EXPECT_EQ(rows.zero_cone, 2U);
    EXPECT_EQ(rows.nonnegative_cone, 2U);
}

TEST(ConstraintAssemblyTest, NoConstraintsGiveZeroRows) {
    ProblemVariables registry;
    registry.add_vector(3, std::nullopt, std::nullopt);
    const ConstraintRows rows = assemble_constraints(registry, {});
    EXPECT_EQ(rows.a.m, 0U);
    EXPECT_EQ(rows.a.n, 3U);
    EXPECT_TRUE(rows.b.empty());
    EXPECT_EQ(rows.zero_cone, 0U);
    EXPECT_EQ(rows.nonnegative_cone, 0U);
}

}  // namespace
}  // namespace qp
