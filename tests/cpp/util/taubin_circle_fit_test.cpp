// Taubin's circle fit on hand-worked configurations and degenerate input.
#include "util/taubin_circle_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "support/reference_lapack.hpp"
#include "util/lapack.hpp"
#include "util/panic.hpp"

using ordavin::Panic;
using ordavin::util::CircleFit;
using ordavin::util::taubin_circle_fit;

namespace {

class TaubinCircleFit : public ::testing::Test {
protected:
    void SetUp() override { ordavin::testing::use_reference_lapack(); }

    static CircleFit fit(const std::vector<double>& x, const std::vector<double>& y) {
        const auto result = taubin_circle_fit(x, y);
        EXPECT_TRUE(result.has_value());
        return result.value_or(CircleFit{});
    }
};

// A noisy arc: 40 points over 150 degrees of the circle of radius 3 about (-2, 5).
void noisy_arc(std::vector<double>& x, std::vector<double>& y) {
    for (int i = 0; i < 40; ++i) {
        const double angle = 0.3 + 2.6 * i / 39.0;
        const double radius = 3.0 + 0.05 * std::sin(7.0 * i);
        x.push_back(-2.0 + radius * std::cos(angle));
        y.push_back(5.0 + radius * std::sin(angle));
    }
}

TEST_F(TaubinCircleFit, ThreePointsOnTheUnitCircle) {
    const CircleFit result = fit({1, 0, -1}, {0, 1, 0});
    EXPECT_NEAR(result.center.x, 0.0, 1e-12);
    EXPECT_NEAR(result.center.y, 0.0, 1e-12);
    EXPECT_NEAR(result.radius, 1.0, 1e-12);
    EXPECT_NEAR(result.rmse, 0.0, 1e-12);
}

TEST_F(TaubinCircleFit, FourPointsOnACircleOfRadiusTwoAboutOneTwo) {
    const CircleFit result = fit({3, 1, -1, 1}, {2, 4, 2, 0});
    EXPECT_NEAR(result.center.x, 1.0, 1e-12);
    EXPECT_NEAR(result.center.y, 2.0, 1e-12);
    EXPECT_NEAR(result.radius, 2.0, 1e-12);
    EXPECT_NEAR(result.rmse, 0.0, 1e-12);
}

// Four points at distance 1 on the axes and four at distance 3 on the diagonals: by symmetry
// M^T M = diag(6.4, 20, 20), so the fit is the circle of radius sqrt(mean Z) = sqrt(5) about
// the origin, and the rmse, with divisor n = 8, is sqrt(((sqrt5 - 1)^2 + (3 - sqrt5)^2) / 2)
// = sqrt(10 - 4 sqrt5).
TEST_F(TaubinCircleFit, PointsOffTheCircleGiveTheRootMeanSquareResidual) {
    const double d = 3.0 / std::numbers::sqrt2;
    const CircleFit result = fit({1, 0, -1, 0, d, -d, -d, d}, {0, 1, 0, -1, d, d, -d, -d});
    EXPECT_NEAR(result.center.x, 0.0, 1e-12);
    EXPECT_NEAR(result.center.y, 0.0, 1e-12);
    EXPECT_NEAR(result.radius, std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(result.rmse, std::sqrt(10.0 - 4.0 * std::sqrt(5.0)), 1e-12);
}

TEST_F(TaubinCircleFit, TranslationMovesTheCentreAndReversalChangesNothing) {
    std::vector<double> x;
    std::vector<double> y;
    noisy_arc(x, y);
    const CircleFit original = fit(x, y);
    EXPECT_NEAR(original.radius, 3.0, 0.05);
    EXPECT_GT(original.rmse, 0.01);

    std::vector<double> moved_x = x;
    std::vector<double> moved_y = y;
    for (double& value : moved_x) value += 1000.0;
    for (double& value : moved_y) value -= 250.0;
    const CircleFit moved = fit(moved_x, moved_y);
    EXPECT_NEAR(moved.center.x, original.center.x + 1000.0, 1e-9);
    EXPECT_NEAR(moved.center.y, original.center.y - 250.0, 1e-9);
    EXPECT_NEAR(moved.radius, original.radius, 1e-9);
    EXPECT_NEAR(moved.rmse, original.rmse, 1e-9);

    const CircleFit reversed = fit(std::vector<double>(x.rbegin(), x.rend()),
                                   std::vector<double>(y.rbegin(), y.rend()));
    EXPECT_NEAR(reversed.center.x, original.center.x, 1e-12);
    EXPECT_NEAR(reversed.center.y, original.center.y, 1e-12);
    EXPECT_NEAR(reversed.radius, original.radius, 1e-12);
    EXPECT_NEAR(reversed.rmse, original.rmse, 1e-12);
}

// Past the size of the per-thread buffer, and back: both kinds of buffer give exact fits.
TEST_F(TaubinCircleFit, LongAndShortRunsInTurn) {
    for (const int count : {5000, 7, 20000, 3}) {
        std::vector<double> x;
        std::vector<double> y;
        for (int i = 0; i < count; ++i) {
            const double angle = 2.0 * i / count;
            x.push_back(-3.0 + 4.0 * std::cos(angle));
            y.push_back(7.0 + 4.0 * std::sin(angle));
        }
        const CircleFit result = fit(x, y);
        EXPECT_NEAR(result.center.x, -3.0, 1e-9) << count;
        EXPECT_NEAR(result.center.y, 7.0, 1e-9) << count;
        EXPECT_NEAR(result.radius, 4.0, 1e-9) << count;
        EXPECT_NEAR(result.rmse, 0.0, 1e-9) << count;
    }
}

TEST_F(TaubinCircleFit, CollinearPointsHaveInfiniteRadiusAndNanRmse) {
    const CircleFit result = fit({0, 1, 2}, {0, 0, 0});
    EXPECT_EQ(result.radius, INFINITY);
    EXPECT_TRUE(std::isnan(result.rmse));
}

// Three copies of 0.1 average to 0.1 plus one ulp: a test on mean Z alone would see a tiny
// positive spread there and fit a spurious circle of radius about 1e-17 with rmse 0.
TEST_F(TaubinCircleFit, CoincidentPointsHaveNoCircle) {
    for (const double value : {0.1, 2.0}) {
        const CircleFit result = fit({value, value, value}, {value, value, value});
        EXPECT_TRUE(std::isnan(result.rmse)) << value;
        EXPECT_TRUE(std::isnan(result.radius)) << value;
    }
    EXPECT_TRUE(std::isnan(fit({4.0}, {-1.0}).rmse));
}

TEST_F(TaubinCircleFit, NonFiniteOrOverflowingCoordinatesGiveNanRmse) {
    const double nan = std::nan("");
    for (const auto& [x, y] : std::vector<std::pair<std::vector<double>, std::vector<double>>>{
             {{1, nan, -1}, {0, 1, 0}},
             {{1, 0, -1}, {0, INFINITY, 0}},
             {{INFINITY, 0, -INFINITY}, {0, 1, 0}},
             {{1e200, 0, -1e200}, {0, 1e200, 0}}}) {
        const CircleFit result = fit(x, y);
        EXPECT_TRUE(std::isnan(result.rmse));
    }
}

TEST_F(TaubinCircleFit, EmptyInputHasNoResult) {
    EXPECT_FALSE(taubin_circle_fit({}, {}).has_value());
}

TEST_F(TaubinCircleFit, CoordinatesOfUnequalLengthPanic) {
    const std::vector<double> x{0, 1, 2};
    const std::vector<double> y{0, 1};
    EXPECT_THROW(taubin_circle_fit(x, y), Panic);
}

TEST_F(TaubinCircleFit, FailedDecompositionHasNoResult) {
    ordavin::util::set_dgesvd([](char*, char*, int*, int*, double*, int*, double*, double*,
                                 int*, double*, int*, double* work, int* lwork, int* info) {
        if (*lwork == -1) work[0] = 1.0;
        *info = *lwork == -1 ? 0 : 2;
    });
    const std::vector<double> x{1, 0, -1};
    const std::vector<double> y{0, 1, 0};
    EXPECT_FALSE(taubin_circle_fit(x, y).has_value());
    ordavin::util::set_dgesvd(nullptr);
    EXPECT_THROW(taubin_circle_fit(x, y), Panic);
}

}  // namespace
