// The decomposition of a path into circular arcs, and the per-point curvature it yields.
#include "path/circle_segments.hpp"

#include <algorithm>
#include <span>
#include <string>

#include "util/interruption.hpp"
#include "util/panic.hpp"
#include "util/taubin_circle_fit.hpp"

namespace ordavin::path {

namespace {

// Shared by the levels of one decomposition: the path's coordinates, the bound, and the list
// into which each level appends its segments behind those of the levels before it.
struct Decomposition {
    std::span<const double> x;
    std::span<const double> y;
    double max_rmse = 0.0;
    std::vector<CircleSegment>& segments;
    util::InterruptionPoll poll{};

    // The fit of the points start <= i < end, which callers keep at three or more.
    util::CircleFit fit(std::uint64_t start, std::uint64_t end) {
        const auto length = static_cast<std::size_t>(end - start);
        // A fit reads its points a few times and decomposes a 3 x 3 system: some tens of
        // nanoseconds a point, and a call of the solver on top.
        poll.add(40 * static_cast<std::uint64_t>(length) + 2000);
        const auto begin = static_cast<std::size_t>(start);
        const auto result =
            util::taubin_circle_fit(x.subspan(begin, length), y.subspan(begin, length));
        if (!result) {
            throw Panic("find_circle_segments: the circle fit of points " + std::to_string(start) +
                        " to " + std::to_string(end) + " failed");
        }
        return *result;
    }

    // Non-strict, and false for a NaN rmse (degenerate fit) or a NaN bound.
    bool accepts(const util::CircleFit& fit) const { return max_rmse >= fit.rmse; }

    // Appends the segments of the points start <= i < end (end within the path).
    //
    // A range whose single fit stays within the bound is one arc. Otherwise both halves are
    // decomposed, and the two segments that meet at the split are fitted together once; a
    // merged segment is not offered to its new neighbours at this level, but it takes part in
    // the merge attempt of the enclosing split. Both halves are appended in place, so the
    // right half's list already follows the left one's and a merge only closes the gap of
    // one entry.
    void decompose(std::uint64_t start, std::uint64_t end) {
        const std::uint64_t length = end - start;
        if (length < 3) {
            segments.push_back({start, end, 0.0});
            return;
        }
        const util::CircleFit whole = fit(start, end);
        if (accepts(whole)) {
            segments.push_back({start, end, 1.0 / whole.radius});
            return;
        }
        const std::uint64_t mid = start + length / 2;
        decompose(start, mid);
        const std::size_t last_left = segments.size() - 1;
        decompose(mid, end);

        const std::uint64_t merge_start = segments[last_left].start;
        const std::uint64_t merge_end = segments[last_left + 1].end;
        const util::CircleFit merged = fit(merge_start, merge_end);
        if (accepts(merged)) {
            segments[last_left] = {merge_start, merge_end, 1.0 / merged.radius};
            const auto first_right = segments.begin() + static_cast<std::ptrdiff_t>(last_left + 1);
            segments.erase(first_right);
        }
    }
};

}  // namespace

std::vector<CircleSegment> find_circle_segments(const Path& path, std::uint64_t start,
                                                std::uint64_t end, double max_rmse) {
    if (start > end) {
        throw Panic("find_circle_segments: start " + std::to_string(start) + " is after end " +
                    std::to_string(end));
    }
    // Fewer than three points are a segment of curvature 0 without any fit, so such a range
    // is never compared with the number of points.
    if (end - start < 3) return {CircleSegment{start, end, 0.0}};
    if (end > path.x().size() || end > path.y().size()) {
        throw Panic("find_circle_segments: end " + std::to_string(end) + " is past the " +
                    std::to_string(std::min(path.x().size(), path.y().size())) +
                    " points of the path");
    }
    std::vector<CircleSegment> segments;
    // A decomposition rarely has more segments than a third of its points.
    segments.reserve(static_cast<std::size_t>((end - start) / 3 + 1));
    Decomposition{path.x(), path.y(), max_rmse, segments}.decompose(start, end);
    return segments;
}

std::vector<double> compute_circle_fit_curvature(const Path& path, double max_rmse) {
    const std::vector<CircleSegment> segments =
        find_circle_segments(path, 0, path.x().size(), max_rmse);
    std::vector<double> curvature;
    curvature.reserve(path.x().size());
    for (const CircleSegment& segment : segments) {
        if (segment.end > segment.start) {
            curvature.insert(curvature.end(), static_cast<std::size_t>(segment.end - segment.start),
                             segment.curvature);
        }
    }
    return curvature;
}

}  // namespace ordavin::path
