// Variables, affine and quadratic expressions: which entries each operation leaves behind.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "qp/expressions/add.hpp"
#include "qp/expressions/mul.hpp"
#include "qp/expressions/sub.hpp"
#include "qp/problem_variables.hpp"

namespace qp {
namespace {

std::optional<double> linear_at(const AffineExpression& e, std::uint64_t index) {
    const double* value = e.coefficients.find(index);
    return value ? std::optional<double>(*value) : std::nullopt;
}

std::optional<double> quadratic_at(const QuadraticExpression& e, std::uint64_t i, std::uint64_t j) {
    const double* value = e.quadratic_coefficients.find(VariablePair{i, j});
    return value ? std::optional<double>(*value) : std::nullopt;
}

class ExpressionTest : public ::testing::Test {
protected:
    ProblemVariables registry;
    std::vector<Variable> v = registry.add_vector(4, std::nullopt, std::nullopt);
};

TEST(ProblemVariablesTest, AddVectorContinuesNumberingAndKeepsBounds) {
    ProblemVariables registry;
    const auto first = registry.add_vector(3, std::nullopt, std::nullopt);
    const auto second = registry.add_vector(2, 5.0, 1.0);
    const auto empty = registry.add_vector(0, 0.0, 0.0);
    EXPECT_EQ(first, (std::vector<Variable>{{0}, {1}, {2}}));
    EXPECT_EQ(second, (std::vector<Variable>{{3}, {4}}));
    EXPECT_TRUE(empty.empty());
    ASSERT_EQ(registry.size(), 5U);
    EXPECT_FALSE(registry.variables()[2].lower.has_value());
    // Contradicting bounds are stored as given.
    EXPECT_EQ(registry.variables()[4].lower, 5.0);
    EXPECT_EQ(registry.variables()[4].upper, 1.0);
}

TEST_F(ExpressionTest, ZeroTimesVariableKeepsTheEntry) {
    const AffineExpression e = 0.0 * v[2];
    EXPECT_EQ(e.coefficients.size(), 1U);
    EXPECT_EQ(linear_at(e, 2), 0.0);
    EXPECT_EQ(e.constant, 0.0);
}

TEST_F(ExpressionTest, NegationFlipsCoefficientsAndConstant) {
    AffineExpression e = 1.5 * v[1];
    e.constant = -2.0;
    const AffineExpression negated = -e;
    EXPECT_EQ(linear_at(negated, 1), -1.5);
    EXPECT_EQ(negated.constant, 2.0);
}

TEST_F(ExpressionTest, VariableMinusExpressionOfItselfKeepsAZeroEntry) {
    const AffineExpression e = 3.0 + AffineExpression(v[1]);
    const AffineExpression difference = v[1] - e;
    EXPECT_EQ(difference.coefficients.size(), 1U);
    EXPECT_EQ(linear_at(difference, 1), 0.0);
    EXPECT_EQ(difference.constant, -3.0);
}

TEST_F(ExpressionTest, ExpressionMinusVariableDecrementsOrInserts) {
    const AffineExpression same = AffineExpression(v[0]) - v[0];
    EXPECT_EQ(linear_at(same, 0), 0.0);
    const AffineExpression other = AffineExpression(v[0]) - v[3];
    EXPECT_EQ(linear_at(other, 0), 1.0);
    EXPECT_EQ(linear_at(other, 3), -1.0);
}

TEST_F(ExpressionTest, ConstantArithmetic) {
    AffineExpression e = AffineExpression(v[0]);
    e.constant = 1.0;
    EXPECT_EQ((e - 2.5).constant, -1.5);
    EXPECT_EQ((2.5 + e).constant, 3.5);
}

TEST_F(ExpressionTest, SquareOfShiftedVariable) {
    const QuadraticExpression q = (AffineExpression(v[1]) - 3.0).square();
    EXPECT_EQ(q.quadratic_coefficients.size(), 1U);
    EXPECT_EQ(quadratic_at(q, 1, 1), 1.0);
    EXPECT_EQ(q.linear.coefficients.size(), 1U);
    EXPECT_EQ(linear_at(q.linear, 1), -6.0);
    EXPECT_EQ(q.linear.constant, 9.0);
}

TEST_F(ExpressionTest, SquareOfSecondDifferenceHasSixTermsAndZeroLinearEntries) {
    // The bending term of smoothing, formed the way smoothing forms it.
    AffineExpression e = v[3] - (2.0 * v[2]);
    e += AffineExpression(v[1]);
    const QuadraticExpression q = e.square();
    EXPECT_EQ(q.quadratic_coefficients.size(), 6U);
    EXPECT_EQ(quadratic_at(q, 1, 1), 1.0);
    EXPECT_EQ(quadratic_at(q, 2, 2), 4.0);
    EXPECT_EQ(quadratic_at(q, 3, 3), 1.0);
    EXPECT_EQ(quadratic_at(q, 1, 2), -4.0);
    EXPECT_EQ(quadratic_at(q, 2, 3), -4.0);
    EXPECT_EQ(quadratic_at(q, 1, 3), 2.0);
    // No key is stored with the larger index first.
    EXPECT_FALSE(quadratic_at(q, 3, 1).has_value());
    EXPECT_EQ(q.linear.coefficients.size(), 3U);
    for (std::uint64_t k = 1; k <= 3; ++k) EXPECT_EQ(linear_at(q.linear, k), 0.0) << k;
    EXPECT_EQ(q.linear.constant, 0.0);
}

TEST_F(ExpressionTest, CancelledMixedTermKeepsItsEntry) {
    AffineExpression sum = AffineExpression(v[1]);
    sum += AffineExpression(v[2]);
    const QuadraticExpression q = sum * (AffineExpression(v[1]) - v[2]);
    EXPECT_EQ(q.quadratic_coefficients.size(), 3U);
    EXPECT_EQ(quadratic_at(q, 1, 1), 1.0);
    EXPECT_EQ(quadratic_at(q, 1, 2), 0.0);
    EXPECT_EQ(quadratic_at(q, 2, 2), -1.0);
}

TEST_F(ExpressionTest, ProductOfShiftedVariables) {
    const QuadraticExpression q = (2.0 + AffineExpression(v[1])) * (3.0 + AffineExpression(v[2]));
    EXPECT_EQ(q.quadratic_coefficients.size(), 1U);
    EXPECT_EQ(quadratic_at(q, 1, 2), 1.0);
    EXPECT_EQ(linear_at(q.linear, 1), 3.0);
    EXPECT_EQ(linear_at(q.linear, 2), 2.0);
    EXPECT_EQ(q.linear.constant, 6.0);
}

TEST_F(ExpressionTest, ProductWithConstantOnlyOperandIsScaledLinearPart) {
    AffineExpression constant_only;
    constant_only.constant = 4.0;
    AffineExpression e = 1.5 * v[0];
    e += 2.0 * v[3];
    const QuadraticExpression q = constant_only * e;
    EXPECT_TRUE(q.quadratic_coefficients.empty());
    EXPECT_EQ(linear_at(q.linear, 0), 6.0);
    EXPECT_EQ(linear_at(q.linear, 3), 8.0);
    EXPECT_EQ(q.linear.constant, 0.0);
}

TEST_F(ExpressionTest, QuadraticSumMergesSharedKeysAndCopiesOthers) {
    QuadraticExpression left = (AffineExpression(v[1]) - 1.0) * AffineExpression(v[2]);
    AffineExpression sum = AffineExpression(v[2]);
    sum += AffineExpression(v[0]);
    const QuadraticExpression right = sum * (2.0 + 2.0 * v[1]);
    // left: v1 v2 - v2; right: 2 v1 v2 + 2 v0 v1 + 2 v2 + 2 v0 + 0.
    left += right;
    EXPECT_EQ(quadratic_at(left, 1, 2), 3.0);
    EXPECT_EQ(quadratic_at(left, 0, 1), 2.0);
    EXPECT_EQ(left.quadratic_coefficients.size(), 2U);
    EXPECT_EQ(linear_at(left.linear, 2), 1.0);
    EXPECT_EQ(linear_at(left.linear, 0), 2.0);
    EXPECT_EQ(linear_at(left.linear, 1), 0.0);
    EXPECT_EQ(left.linear.constant, 0.0);
}

TEST(FlatMapTest, LookupsStayRightPastTheLinearLimitAndAfterCopy) {
    // Enough entries to switch to the hash index and grow it several times; strided indices
    // share their low bits. Merged twice: every key summed once per pass.
    constexpr std::uint64_t count = 40 * AffineExpression::Coefficients::kLinearLimit;
    constexpr std::uint64_t stride = 64;
    AffineExpression e;
    for (std::uint64_t k = 0; k < count; ++k) e += static_cast<double>(k) * Variable{k * stride};
    AffineExpression copy = e;
    copy += e;
    copy += 1.0 * Variable{1};
    ASSERT_EQ(copy.coefficients.size(), count + 1);
    for (std::uint64_t k = 0; k < count; ++k) {
        EXPECT_EQ(linear_at(copy, k * stride), 2.0 * static_cast<double>(k)) << k;
    }
    EXPECT_EQ(linear_at(copy, 1), 1.0);
    EXPECT_EQ(e.coefficients.size(), count);
    EXPECT_FALSE(linear_at(e, 1).has_value());
}

// Sizes on both sides of each storage change: inline (3 entries), on the heap, indexed (past
// kLinearLimit).
class FlatMapSizeTest : public ::testing::TestWithParam<std::uint64_t> {
protected:
    static AffineExpression::Coefficients filled(std::uint64_t count) {
        AffineExpression::Coefficients map;
        for (std::uint64_t k = 0; k < count; ++k) map.insert_new(k * 7, static_cast<double>(k));
        return map;
    }
    static void expect_holds(const AffineExpression::Coefficients& map, std::uint64_t count) {
        ASSERT_EQ(map.size(), count);
        std::uint64_t k = 0;
        for (const auto& [key, value] : map) {  // insertion order
            EXPECT_EQ(key, k * 7);
            EXPECT_EQ(value, static_cast<double>(k));
            ++k;
        }
        for (k = 0; k < count; ++k) {
            const double* value = map.find(k * 7);
            ASSERT_NE(value, nullptr) << k;
            EXPECT_EQ(*value, static_cast<double>(k));
        }
        EXPECT_EQ(map.find(count * 7), nullptr);
    }
};

TEST_P(FlatMapSizeTest, CopyIsIndependentAndMoveEmptiesTheSource) {
    const std::uint64_t count = GetParam();
    AffineExpression::Coefficients original = filled(count);
    AffineExpression::Coefficients copy = original;
    copy.add(0, 100.0);
    copy.insert_new(count * 7, -1.0);
    expect_holds(original, count);

    AffineExpression::Coefficients moved = std::move(original);
    expect_holds(moved, count);
    EXPECT_EQ(original.size(), 0U);  // NOLINT(bugprone-use-after-move): the state is specified
    EXPECT_EQ(original.find(0), nullptr);
    original.insert_new(5, 2.0);  // a moved-from map is an empty map
    EXPECT_EQ(*original.find(5), 2.0);

    AffineExpression::Coefficients assigned = filled(2);
    assigned = moved;
    expect_holds(assigned, count);
    assigned = filled(40);
    expect_holds(assigned, 40);
}

TEST_P(FlatMapSizeTest, ReserveKeepsContentAndLaterInsertionsFindable) {
    const std::uint64_t count = GetParam();
    AffineExpression::Coefficients map = filled(count);
    map.reserve(count + 50);
    expect_holds(map, count);
    for (std::uint64_t k = count; k < count + 60; ++k)
        map.insert_new(k * 7, static_cast<double>(k));
    expect_holds(map, count + 60);
}

INSTANTIATE_TEST_SUITE_P(AroundStorageChanges, FlatMapSizeTest,
                         ::testing::Values(0U, 1U, 3U, 4U, 16U, 17U, 100U));

TEST(FlatMapTest, PairsOfManyShapesStayDistinct) {
    // Banded, dense and widely strided pairs, which the hash lays out differently: each key
    // keeps its own entry and every merge finds it again.
    QuadraticExpression q;
    std::vector<VariablePair> keys;
    for (std::uint64_t i = 0; i < 300; ++i) {
        for (std::uint64_t d = 0; d < 3; ++d) keys.push_back({i, i + d});
    }
    for (std::uint64_t i = 1000; i < 1040; ++i) {
        for (std::uint64_t j = i; j < 1040; ++j) keys.push_back({i, j});
    }
    for (std::uint64_t i = 1; i <= 40; ++i) keys.push_back({i << 20, (i << 20) + (i << 33)});
    for (std::size_t k = 0; k < keys.size(); ++k) {
        q.quadratic_coefficients.add(keys[k], static_cast<double>(k));
    }
    QuadraticExpression again;
    for (const VariablePair& key : keys) again.quadratic_coefficients.add(key, 0.5);
    q += again;
    ASSERT_EQ(q.quadratic_coefficients.size(), keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        EXPECT_EQ(quadratic_at(q, keys[k].first, keys[k].second), static_cast<double>(k) + 0.5);
    }
}

}  // namespace
}  // namespace qp
