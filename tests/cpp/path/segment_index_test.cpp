// The segment index and the batch locating functions against the scan of every segment, bit for
// bit, for both rules (covering feet, and the nearest point of closed segments with or without
// an arc-length window), over paths and queries chosen to break a search that prunes: ties,
// corners, far queries, extreme scales, special values and queries every segment is as near to.
#include "path/segment_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "path/locating.hpp"
#include "path/nearest_projection.hpp"

using ordavin::Point;
using ordavin::path::ArcLengthWindow;
using ordavin::path::LocatedPoint;
using ordavin::path::Path;
using ordavin::path::SearchState;
using ordavin::path::SegmentIndex;
using ordavin::path::vertices_of;

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

// Index, foot, parameter, distance along and distance, compared as bit patterns.
::testing::AssertionResult same_bits(const std::optional<LocatedPoint>& actual,
                                     const std::optional<LocatedPoint>& expected) {
    if (actual.has_value() != expected.has_value()) {
        return ::testing::AssertionFailure()
               << (actual ? "located" : "nothing") << " where the scan gives "
               << (expected ? "a location" : "nothing");
    }
    if (!actual) return ::testing::AssertionSuccess();
    const auto& [index, projection] = *actual;
    const auto& [expected_index, expected_projection] = *expected;

    const double got[] = {projection.foot.x, projection.foot.y, projection.parameter,
                          projection.distance_along, projection.distance};
    const double want[] = {expected_projection.foot.x, expected_projection.foot.y,
                           expected_projection.parameter, expected_projection.distance_along,
                           expected_projection.distance};
    bool equal = index == expected_index;
    for (int k = 0; k < 5; ++k) equal = equal && bits(got[k]) == bits(want[k]);
    if (equal) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "index " << index << " vs " << expected_index << ", distance " << projection.distance
           << " vs " << expected_projection.distance << ", parameter " << projection.parameter
           << " vs " << expected_projection.parameter;
}

struct Case {
    std::string name;
    std::vector<Point> points;
    std::vector<Point> queries;
};

double uniform(std::mt19937_64& generator, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(generator);
}

// A wandering path whose heading drifts, with a point repeated now and then.
std::vector<Point> random_walk(std::mt19937_64& generator, std::size_t count, double turn) {
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<Point> points;
    double x = 0.0, y = 0.0, heading = 0.0;
    while (points.size() < count) {
        points.push_back({x, y});
        if (uniform(generator, 0.0, 1.0) < 0.03) points.push_back({x, y});
        heading += turn * noise(generator);
        const double step = uniform(generator, 0.2, 1.5);
        x += step * std::cos(heading);
        y += step * std::sin(heading);
    }
    return points;
}

// Rows at y = 0, 2, 4, ... run alternately right and left: a query at an odd y lies exactly
// between two rows whose segments are far apart in index.
std::vector<Point> serpentine(int rows, int per_row) {
    std::vector<Point> points;
    for (int row = 0; row < rows; ++row) {
        for (int k = 0; k <= per_row; ++k) {
            const int column = row % 2 == 0 ? k : per_row - k;
            points.push_back({static_cast<double>(column), 2.0 * row});
        }
    }
    return points;
}

// Out along a polyline and back over the same points: every query has two candidates, far
// apart in index, whose distances agree in exact arithmetic and differ at most by rounding.
std::vector<Point> there_and_back(std::vector<Point> points) {
    for (std::size_t i = points.size() - 1; i-- > 0;) points.push_back(points[i]);
    return points;
}

std::vector<Point> regular_polygon(std::size_t sides, double radius) {
    std::vector<Point> points;
    for (std::size_t i = 0; i <= sides; ++i) {
        const double angle =
            2.0 * std::numbers::pi * static_cast<double>(i % sides) / static_cast<double>(sides);
        points.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    }
    return points;
}

// Queries of every kind the search must get right, for the given path.
std::vector<Point> queries_for(std::mt19937_64& generator, const std::vector<Point>& points,
                               std::size_t count) {
    double min_x = inf, min_y = inf, max_x = -inf, max_y = -inf;
    for (const Point p : points) {
        min_x = std::min(min_x, p.x);
        max_x = std::max(max_x, p.x);
        min_y = std::min(min_y, p.y);
        max_y = std::max(max_y, p.y);
    }
    const double extent = std::max({max_x - min_x, max_y - min_y, 1e-300});
    std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<Point> queries;
    while (queries.size() < count) {
        const std::size_t i = pick(generator);
        const Point p = points[i];
        const Point q = points[std::min(i + 1, points.size() - 1)];
        const double local = std::max(std::hypot(q.x - p.x, q.y - p.y), extent * 1e-3);
        switch (queries.size() % 9) {
            case 0:  // exactly a vertex
                queries.push_back(p);
                break;
            case 1:  // near a vertex
                queries.push_back({p.x + local * noise(generator), p.y + local * noise(generator)});
                break;
            case 2: {  // on or off the middle of a segment
                const double side = local * noise(generator);
                queries.push_back({(p.x + q.x) * 0.5 - side * (q.y - p.y) / local,
                                   (p.y + q.y) * 0.5 + side * (q.x - p.x) / local});
                break;
            }
            case 3: {  // in the wedge outside the corner at p, where neither neighbour covers
                const Point before = points[i == 0 ? 0 : i - 1];
                const double a = std::hypot(p.x - before.x, p.y - before.y);
                const double b = std::hypot(p.x - q.x, p.y - q.y);
                const double wx = (p.x - before.x) / a + (p.x - q.x) / b;
                const double wy = (p.y - before.y) / a + (p.y - q.y) / b;
                const double w = std::hypot(wx, wy);
                const double reach = local * std::exp(uniform(generator, -12.0, 1.0));
                // No corner at the ends or at a repeated point: a query beside p instead.
                if (!(w > 0.0)) {
                    queries.push_back({p.x + reach, p.y});
                    break;
                }
                queries.push_back({p.x + reach * wx / w, p.y + reach * wy / w});
                break;
            }
            case 4: {  // far away in any direction
                const double angle = uniform(generator, 0.0, 2.0 * std::numbers::pi);
                const double reach = extent * std::exp(uniform(generator, 0.0, 14.0));
                queries.push_back({(min_x + max_x) * 0.5 + reach * std::cos(angle),
                                   (min_y + max_y) * 0.5 + reach * std::sin(angle)});
                break;
            }
            case 5:  // anywhere in the box
                queries.push_back(
                    {uniform(generator, min_x, max_x), uniform(generator, min_y, max_y)});
                break;
            case 6:  // halfway between two vertices, where equal distances are likely
                queries.push_back({(p.x + points[pick(generator)].x) * 0.5,
                                   (p.y + points[pick(generator)].y) * 0.5});
                break;
            case 7: {  // far out on the perpendicular through a point of a segment, which
                       // that segment covers however far away
                const double t = uniform(generator, 0.0, 1.0);
                const double reach = extent * std::exp(uniform(generator, -3.0, 12.0)) *
                                     (uniform(generator, 0.0, 1.0) < 0.5 ? -1.0 : 1.0);
                const double length = std::hypot(q.x - p.x, q.y - p.y);
                if (!(length > 0.0)) {
                    queries.push_back(p);
                    break;
                }
                queries.push_back({p.x + t * (q.x - p.x) - reach * (q.y - p.y) / length,
                                   p.y + t * (q.y - p.y) + reach * (q.x - p.x) / length});
                break;
            }
            default:  // the end points, which snap
                queries.push_back(i % 2 == 0 ? points.front() : points.back());
                break;
        }
    }
    return queries;
}

std::vector<Case> cases() {
    std::mt19937_64 generator(20240611);
    std::vector<Case> all;
    const auto add = [&](std::string name, std::vector<Point> points) {
        std::vector<Point> queries = queries_for(generator, points, 240);
        all.push_back({std::move(name), std::move(points), std::move(queries)});
    };
    for (const std::size_t count : {2u, 3u, 31u, 32u, 33u, 129u, 300u, 1500u}) {
        add("walk " + std::to_string(count), random_walk(generator, count, 0.4));
    }
    add("tangled walk", random_walk(generator, 1200, 1.5));
    add("straight walk", random_walk(generator, 800, 0.0));
    add("serpentine", serpentine(12, 40));
    add("narrow serpentine", serpentine(40, 3));
    add("there and back on a line", there_and_back(serpentine(1, 200)));
    add("there and back on a walk", there_and_back(random_walk(generator, 400, 0.5)));
    add("closed even polygon", regular_polygon(64, 10.0));
    add("closed odd polygon", regular_polygon(101, 10.0));
    add("closed polygon twice", there_and_back(regular_polygon(40, 3.0)));
    std::vector<Point> zigzag;
    for (int i = 0; i < 200; ++i) zigzag.push_back({static_cast<double>(i), i % 2 ? 1.0 : -1.0});
    add("symmetric zigzag", zigzag);
    std::vector<Point> repeated;
    for (int i = 0; i < 100; ++i) {
        for (int k = 0; k < 1 + i % 4; ++k)
            repeated.push_back({std::floor(i / 3.0), 0.5 * (i % 3)});
    }
    add("collinear and repeated", repeated);
    add("one point repeated", std::vector<Point>(40, Point{1.0, 2.0}));
    return all;
}

// The same path and queries moved far from the origin and scaled to extreme magnitudes,
// including ones beyond the index's bounds, which fall back to the scan.
std::vector<std::pair<double, double>> placements() {
    return {{1.0, 0.0},    {1.0, 1e8},    {1e-150, 0.0}, {1e150, 0.0},
            {1e-300, 0.0}, {1e-310, 0.0}, {1e200, 0.0},  {1e-5, 1e5}};
}

Point placed(Point p, double scale, double offset) {
    return {p.x * scale + offset, p.y * scale - offset};
}

SegmentIndex index_of(const Path& path) {
    return SegmentIndex::build(vertices_of(path), path.path_length_per_point());
}

// Windows around arc lengths of the path, some empty, some holding everything.
std::vector<std::optional<ArcLengthWindow>> windows_for(std::mt19937_64& generator,
                                                        const Path& path) {
    std::vector<std::optional<ArcLengthWindow>> windows{std::nullopt, ArcLengthWindow{-inf, inf}};
    const double length = path.size() > 0 ? path.path_length_per_point().back() : 0.0;
    for (int k = 0; k < 4; ++k) {
        const double hint = uniform(generator, -0.1, 1.1) * (std::isfinite(length) ? length : 1.0);
        const double half = std::exp(uniform(generator, -8.0, 0.0)) *
                            (std::isfinite(length) && length > 0.0 ? length : 1.0);
        windows.push_back(ArcLengthWindow{hint - half, hint + half});
    }
    windows.push_back(ArcLengthWindow{0.0, 0.0});
    return windows;
}

// Both rules of the index against their scans, for every query the index can bound, from a
// fresh search and from a search started at a random segment.
void expect_index_agrees(const Path& path, const std::vector<Point>& queries, double scale,
                         const std::string& name) {
    const SegmentIndex index = index_of(path);
    const auto vertices = vertices_of(path);
    const std::vector<double>& lengths = path.path_length_per_point();
    std::mt19937_64 generator(7);
    SearchState state;
    for (const double epsilon : {0.0, 0.01 * scale, not_a_number, inf, -1.0}) {
        for (const Point query : queries) {
            if (!SegmentIndex::bounds(query)) continue;
            const std::optional<LocatedPoint> expected =
                ordavin::path::nearest_projection(path, query, epsilon);
            SearchState fresh;
            ASSERT_TRUE(same_bits(index.locate(vertices, query, epsilon, fresh), expected))
                << name << ", query (" << query.x << ", " << query.y << "), epsilon " << epsilon;
            // The state's segment is tried first; any value, in range or not, gives the same.
            state.segment = generator() % (path.size() + 3);
            ASSERT_TRUE(same_bits(index.locate(vertices, query, epsilon, state), expected))
                << name << " with a starting segment, query (" << query.x << ", " << query.y
                << "), epsilon " << epsilon;
        }
    }
    if (path.size() < 2) return;
    for (const std::optional<ArcLengthWindow>& window : windows_for(generator, path)) {
        for (const Point query : queries) {
            if (!SegmentIndex::bounds(query)) continue;
            const std::optional<std::size_t> expected =
                ordavin::path::nearest_segment(vertices, lengths, query, window);
            state.segment = generator() % (path.size() + 3);
            ASSERT_EQ(index.nearest(vertices, lengths, query, window, state), expected)
                << name << ", nearest to (" << query.x << ", " << query.y << ")";
        }
    }
}

}  // namespace

TEST(SegmentIndex, LocatesExactlyAsTheScan) {
    for (const Case& test : cases()) {
        for (const auto& [scale, offset] : placements()) {
            std::vector<Point> points;
            for (const Point p : test.points) points.push_back(placed(p, scale, offset));
            std::vector<Point> queries;
            for (const Point q : test.queries) queries.push_back(placed(q, scale, offset));
            const Path path = Path::from_points(points);
            // Within its bounds every segment is in the hierarchy.
            double largest = 0.0;
            for (const Point p : points)
                largest = std::max({largest, std::abs(p.x), std::abs(p.y)});
            if (largest <= 1e150) {
                EXPECT_TRUE(index_of(path).outsiders().empty()) << test.name;
            }
            expect_index_agrees(path, queries, scale,
                                test.name + " scaled " + std::to_string(scale) + " moved " +
                                    std::to_string(offset));
        }
    }
}

TEST(SegmentIndex, SpecialValuesInPathsAndQueries) {
    std::mt19937_64 generator(3);
    const std::vector<Point> walk = random_walk(generator, 300, 0.4);
    std::vector<Point> queries = queries_for(generator, walk, 120);
    for (const double value : {not_a_number, inf, -inf, 1e300}) {
        queries.push_back({value, 0.0});
        queries.push_back({0.0, value});
        queries.push_back({value, value});
        queries.push_back({value, -value});
    }
    for (const double bad : {not_a_number, inf, -inf}) {
        for (const std::size_t at : {std::size_t{0}, std::size_t{150}, walk.size() - 1}) {
            std::vector<Point> points = walk;
            points[at].y = bad;
            const Path path = Path::from_points(points);
            // Only the segments at the special point stay out of the hierarchy.
            EXPECT_EQ(index_of(path).outsiders().size(),
                      at == 0 || at == walk.size() - 1 ? 1u : 2u);
            expect_index_agrees(path, queries, 1.0, "special value at " + std::to_string(at));
        }
    }
    // A finite path with NaN and infinite queries, which the index leaves to the scan.
    expect_index_agrees(Path::from_points(walk), queries, 1.0, "special queries");
    // Queries so far off a diagonal that their feet still fall on it while the distance
    // overflows to infinity.
    std::vector<Point> diagonal;
    for (int i = 0; i < 100; ++i) diagonal.push_back({i * 1.0, i * 1.0});
    std::vector<Point> far_off;
    for (const double reach : {1e150, 1e200, 1e300, 1e308}) {
        for (int i = 0; i < 100; i += 7) far_off.push_back({i + 0.5 + reach, i + 0.5 - reach});
    }
    expect_index_agrees(Path::from_points(diagonal), far_off, 1.0, "overflowing distances");
}

TEST(SegmentIndex, SpecialVerticesStayApartAndTheRestIsSearched) {
    // NaN, infinite and huge vertices, one or many, anywhere: each keeps only its own two
    // segments out of the hierarchy, and both rules still match their scans.
    std::mt19937_64 generator(5);
    const std::vector<Point> walk = random_walk(generator, 3000, 0.5);
    const std::vector<Point> queries = queries_for(generator, walk, 400);
    const double specials[] = {not_a_number, inf, -inf, 1e300, 0x1p501};
    for (const std::size_t bad_count : {1u, 7u, 90u}) {
        std::vector<Point> points = walk;
        std::vector<bool> bad(points.size(), false);
        for (std::size_t k = 0; k < bad_count; ++k) {
            const std::size_t at = generator() % points.size();
            const double value = specials[generator() % 5];
            (generator() % 2 == 0 ? points[at].x : points[at].y) = value;
            bad[at] = true;
        }
        const Path path = Path::from_points(points);
        std::size_t apart = 0;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) apart += bad[i] || bad[i + 1];
        EXPECT_EQ(index_of(path).outsiders().size(), apart);
        expect_index_agrees(path, queries, 1.0, std::to_string(bad_count) + " special vertices");
    }
}

TEST(SegmentIndex, QueriesEverySegmentIsAboutAsNearTo) {
    // At and around the centre of a many-sided polygon every segment is nearly as near as the
    // nearest: the search gives up ordering nodes and passes over the leaves, with the same
    // answers, ties to the lowest index included.
    for (const std::size_t sides : {5000u, 20000u}) {
        for (const std::vector<Point>& points :
             {regular_polygon(sides, 1.0), there_and_back(regular_polygon(sides / 4, 3.0))}) {
            const Path path = Path::from_points(points);
            std::vector<Point> queries{{0.0, 0.0}, {1e-12, 0.0}, {0.0, -1e-9}, {1e-3, 2e-3}};
            std::mt19937_64 generator(sides);
            for (int k = 0; k < 20; ++k) {
                queries.push_back({uniform(generator, -1e-6, 1e-6), uniform(generator, -1e-6, 1e-6)});
            }
            expect_index_agrees(path, queries, 1.0, "polygon of " + std::to_string(sides));
        }
    }
}

TEST(SegmentKernels, SquaredLimitHoldsEverySumWhoseRootIsAtMostTheDistance) {
    // The searches skip a node or a segment whose sum of squares exceeds squared_limit(d);
    // that is exact only if every double x with a rounded root of at most d is below it.
    std::mt19937_64 generator(13);
    std::vector<double> distances{0.0, 5e-324, 1e-310, 0x1p-537, 0x1p-511, 1.0, 2.0, 1e300};
    for (int k = 0; k < 4000; ++k) {
        distances.push_back(std::ldexp(uniform(generator, 1.0, 2.0),
                                       static_cast<int>(generator() % 2100) - 1075));
    }
    for (const double d : distances) {
        if (!(d < inf)) continue;
        double x = d * d;
        while (x > 0.0 && std::sqrt(x) > d) x = std::nextafter(x, 0.0);
        while (std::sqrt(std::nextafter(x, inf)) <= d) x = std::nextafter(x, inf);
        ASSERT_LE(x, ordavin::path::squared_limit(d)) << d;
    }
    EXPECT_EQ(ordavin::path::squared_limit(inf), inf);
}

TEST(SegmentIndex, EmptyAndOnePointPaths) {
    const std::vector<Point> queries{{0.0, 0.0}, {1.0, 2.0}, {1.005, 2.0}, {not_a_number, 2.0}};
    expect_index_agrees(Path::from_points({}), queries, 1.0, "empty");
    expect_index_agrees(Path::from_points({{1.0, 2.0}}), queries, 1.0, "one point");
}

TEST(SegmentIndex, EqualDistancesKeepTheLowerIndexWhateverIsFoundFirst) {
    // Rows at y = 0 and y = 2 joined at x = 100: (x, 1) lies at distance exactly 1 from both,
    // and from the later row the search sees that distance first when started there.
    const Path path = Path::from_points(serpentine(2, 100));
    const SegmentIndex index = index_of(path);
    SearchState state;
    // Up to x = 97: nearer x = 100 the joining segment is nearer still.
    for (int x = 1; x < 98; ++x) {
        const Point query{x + 0.25, 1.0};
        state.segment = 200 - static_cast<std::size_t>(x);  // the row at y = 2 above x
        const auto located = index.locate(vertices_of(path), query, 0.01, state);
        ASSERT_TRUE(located);
        EXPECT_EQ(located->index, static_cast<std::uint64_t>(x));
        EXPECT_EQ(located->projection.distance, 1.0);
        EXPECT_EQ(located->projection.foot, (Point{x + 0.25, 0.0}));
        state.segment = 200 - static_cast<std::size_t>(x);
        EXPECT_EQ(index.nearest(vertices_of(path), path.path_length_per_point(), query,
                                std::nullopt, state),
                  static_cast<std::size_t>(x));
    }
}

TEST(LocatingPoints, BatchesMatchTheScalarFunctionsEntryByEntry) {
    std::mt19937_64 generator(11);
    // Below and above the size from which the scalar functions use the index themselves.
    for (const std::size_t count : {700u, 5000u}) {
        const std::vector<Point> points = there_and_back(random_walk(generator, count / 2, 0.6));
        std::vector<Point> queries = queries_for(generator, points, 600);
        queries.push_back({not_a_number, 0.0});
        queries.push_back({inf, inf});
        for (const double epsilon : {0.0, 0.01, not_a_number}) {
            const Path batch_path = Path::from_points(points);
            const Path scalar_path = Path::from_points(points);
            const std::vector<std::int64_t> indices =
                ordavin::path::index_from_points(batch_path, queries, epsilon);
            const std::vector<double> lengths =
                ordavin::path::path_length_from_points(batch_path, queries, epsilon);
            ASSERT_EQ(indices.size(), queries.size());
            ASSERT_EQ(lengths.size(), queries.size());
            for (std::size_t k = 0; k < queries.size(); ++k) {
                const auto located =
                    ordavin::path::nearest_projection(scalar_path, queries[k], epsilon);
                const auto index =
                    ordavin::path::index_from_point(scalar_path, queries[k], epsilon);
                const auto length =
                    ordavin::path::path_length_from_point(scalar_path, queries[k], epsilon);
                ASSERT_EQ(index.has_value(), located.has_value());
                ASSERT_EQ(length.has_value(), located.has_value());
                if (!located) {
                    EXPECT_EQ(indices[k], -1) << k;
                    EXPECT_TRUE(std::isnan(lengths[k])) << k;
                    continue;
                }
                EXPECT_EQ(*index, located->index) << k;
                EXPECT_EQ(indices[k], static_cast<std::int64_t>(located->index)) << k;
                EXPECT_EQ(bits(lengths[k]), bits(*length)) << k;
            }
        }
    }
}

TEST(LocatingPoints, EmptyBatchesAndEmptyPaths) {
    const Path path = Path::from_points({{0.0, 0.0}, {1.0, 0.0}});
    EXPECT_TRUE(ordavin::path::index_from_points(path, {}, 0.01).empty());
    EXPECT_TRUE(ordavin::path::path_length_from_points(path, {}, 0.01).empty());
    const std::vector<Point> queries{{0.5, 0.0}, {0.0, 0.0}};
    EXPECT_EQ(ordavin::path::index_from_points(Path::from_points({}), queries, 0.01),
              (std::vector<std::int64_t>{-1, -1}));
    const std::vector<double> lengths =
        ordavin::path::path_length_from_points(Path::from_points({}), queries, 0.01);
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_TRUE(std::isnan(lengths[0]) && std::isnan(lengths[1]));
}
