// A point of the plane, the value every path is made of.
#pragma once

namespace ordavin {

/// An (x, y) pair held by value. No invariant: NaN and infinities pass through.
struct Point {
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const Point&, const Point&) = default;
};

}  // namespace ordavin
