// Taubin's algebraic circle fit of a run of points.
#include "util/taubin_circle_fit.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "util/lapack.hpp"
#include "util/panic.hpp"

namespace ordavin::util {

namespace {

constexpr int kColumns = 3;

// Fits of up to this many points share one buffer per thread, so the many short fits of a
// circle decomposition allocate nothing; a longer fit allocates its own buffer, which its
// O(n) work dwarfs, so that one huge call does not pin its memory for the life of the thread.
constexpr std::size_t kRetainedRows = 4096;

CircleFit undefined_fit() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return CircleFit{Point{nan, nan}, nan, nan};
}

bool all_coincide(std::span<const double> x, std::span<const double> y) {
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i] != x[0] || y[i] != y[0]) return false;
    }
    return true;
}

// The LWORK every dgesvd call on an m x 3 matrix gets: LAPACK's documented minimum for m, but
// at least the optimum the routine reports for a tall matrix, asked once per thread and
// routine. With three columns every block of the QR and bidiagonal reductions is narrower
// than LAPACK's block size, so the unblocked code runs whatever LWORK is: the results are
// those of a per-call workspace query, without its cost.
int workspace_size(DgesvdFunction dgesvd, int rows) {
    thread_local DgesvdFunction queried = nullptr;
    thread_local int optimal = 1;
    if (queried != dgesvd) {
        char jobu = 'N';
        char jobvt = 'A';
        int m = 64;
        int n = kColumns;
        int lda = m;
        int ldu = 1;
        int ldvt = kColumns;
        int lwork = -1;
        int info = 0;
        double size = 0.0;
        double unused = 0.0;
        dgesvd(&jobu, &jobvt, &m, &n, &unused, &lda, &unused, &unused, &ldu, &unused, &ldvt,
               &size, &lwork, &info);
        optimal = info == 0 ? static_cast<int>(size) : 1;
        queried = dgesvd;
    }
    const int shorter = std::min(rows, kColumns);
    const int longer = std::max(rows, kColumns);
    return std::max({optimal, 1, 3 * shorter + longer, 5 * shorter});
}

}  // namespace

// Taubin's fit in centred coordinates X, Y: the circle A0 (X^2 + Y^2) + A1 X + A2 Y + A3 = 0
// whose coefficients minimise the algebraic distance under Taubin's normalisation. Scaling the
// moment column Z = X^2 + Y^2 to Z0 = (Z - mean Z) / (2 sqrt(mean Z)) turns that generalised
// eigenproblem into the smallest right singular vector of the n x 3 matrix [Z0 X Y]; A0 is
// then rescaled to multiply Z, and A3 = -mean(Z) A0 follows from the centring.
std::optional<CircleFit> taubin_circle_fit(std::span<const double> x, std::span<const double> y) {
    if (x.empty() || y.empty()) return std::nullopt;
    if (x.size() != y.size()) {
        throw Panic("taubin_circle_fit: x has " + std::to_string(x.size()) +
                    " coordinates but y has " + std::to_string(y.size()));
    }
    const std::size_t count = x.size();
    if (count > static_cast<std::size_t>(std::numeric_limits<int>::max()) / kColumns) {
        throw Panic("taubin_circle_fit: " + std::to_string(count) +
                    " points are more than LAPACK can index");
    }
    // Coincident points (a single point among them) have no circle. Their computed mean can
    // differ from the common value in the last bit, so the test is on the coordinates, not on
    // mean Z, which would then be a tiny positive number and yield a spurious tiny circle.
    if (all_coincide(x, y)) return undefined_fit();
    // Found on the first fit that needs it, so that neither importing the module nor a
    // decomposition of short runs loads LAPACK.
    const DgesvdFunction dgesvd = util::resolved_dgesvd();

    const double n = static_cast<double>(count);
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        sum_x += x[i];
        sum_y += y[i];
    }
    const double mean_x = sum_x / n;
    const double mean_y = sum_y / n;

    const int rows = static_cast<int>(count);
    const int lwork_size = workspace_size(dgesvd, rows);
    const std::size_t buffer_size = kColumns * count + static_cast<std::size_t>(lwork_size);
    thread_local std::vector<double> retained;
    std::vector<double> own;
    std::vector<double>& buffer = count <= kRetainedRows ? retained : own;
    if (buffer.size() < buffer_size) buffer.resize(buffer_size);
    // Column-major n x 3: the columns Z (scaled to Z0 below), X and Y, one after the other.
    double* const z_column = buffer.data();
    double* const x_column = z_column + count;
    double* const y_column = x_column + count;
    double* const work = y_column + count;

    double sum_z = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double centred_x = x[i] - mean_x;
        const double centred_y = y[i] - mean_y;
        const double z = centred_x * centred_x + centred_y * centred_y;
        x_column[i] = centred_x;
        y_column[i] = centred_y;
        z_column[i] = z;
        sum_z += z;
    }
    const double mean_z = sum_z / n;
    // A NaN or infinite coordinate, or a square that overflows, makes mean Z non-finite, and
    // all points at their centroid makes it 0: the matrix would hold NaN, on which dgesvd's
    // iteration has no defined outcome, so the fit is undefined and dgesvd is not called.
    // A finite positive mean Z bounds every entry of the matrix.
    if (!(mean_z > 0.0) || !std::isfinite(mean_z)) return undefined_fit();

    const double scale = 2.0 * std::sqrt(mean_z);
    for (std::size_t i = 0; i < count; ++i) z_column[i] = (z_column[i] - mean_z) / scale;

    char jobu = 'N';
    char jobvt = 'A';
    int m = rows;
    int columns = kColumns;
    int lda = rows;
    int ldu = 1;
    int ldvt = kColumns;
    int lwork = lwork_size;
    int info = 0;
    double singular_values[kColumns];
    double vt[kColumns * kColumns];
    double unused_u = 0.0;
    dgesvd(&jobu, &jobvt, &m, &columns, z_column, &lda, singular_values, &unused_u, &ldu, vt,
           &ldvt, work, &lwork, &info);
    if (info != 0) return std::nullopt;

    // Singular values come in non-increasing order: the third row of the column-major Vt is
    // the right singular vector of the smallest. Its sign is arbitrary, and centre, radius
    // and rmse do not depend on it.
    const double a0 = vt[2] / scale;
    const double a1 = vt[2 + kColumns];
    const double a2 = vt[2 + 2 * kColumns];
    const double a3 = -mean_z * a0;

    // a0 = 0 (collinear points) leaves an infinite radius and a centre at infinity or NaN,
    // so every residual and the rmse are NaN.
    const Point center{mean_x + (a1 * -0.5) / a0, mean_y + (a2 * -0.5) / a0};
    const double radius = std::sqrt((-4.0 * a0) * a3 + (a2 * a2 + a1 * a1)) * 0.5 / std::abs(a0);

    double sum_squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double dx = x[i] - center.x;
        const double dy = y[i] - center.y;
        const double residual = std::sqrt(dx * dx + dy * dy) - radius;
        sum_squares += residual * residual;
    }
    return CircleFit{center, radius, std::sqrt(sum_squares / n)};
}

}  // namespace ordavin::util
