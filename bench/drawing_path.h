// The drawing of the drawing benchmark, the same for every contender: one
// A4 page of stroked paths, `segments` segments in all (a third of them
// Bezier curves, the rest straight lines), in subpaths of 100 segments that
// are stroked one by one. The coordinates come from a fixed pseudo-random
// sequence, spread over the page with two decimals, so that every run and
// every contender writes the same numbers.
#pragma once

#include <cstdint>

namespace bench {

constexpr float kPageWidth = 595;
constexpr float kPageHeight = 842;
constexpr long kSegmentsPerSubpath = 100;

// A point of the sequence, within the page.
class PointSource {
public:
    float x() { return static_cast<float>(Next() % 59500) / 100; }
    float y() { return static_cast<float>(Next() % 84200) / 100; }

private:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::uint32_t state_ = 12345;
};

// Draws the paths through `canvas`, which has moveto(x, y), lineto(x, y),
// curveto(x1, y1, x2, y2, x3, y3) and stroke().
template <typename Canvas>
void DrawPaths(Canvas &canvas, long segments) {
    PointSource points;
    for (long done = 0; done < segments;) {
        canvas.moveto(points.x(), points.y());
        for (long i = 0; i < kSegmentsPerSubpath && done < segments; ++i, ++done) {
            if (i % 3 == 2) {
                float x1 = points.x(), y1 = points.y(), x2 = points.x(), y2 = points.y();
                canvas.curveto(x1, y1, x2, y2, points.x(), points.y());
            } else {
                canvas.lineto(points.x(), points.y());
            }
        }
        canvas.stroke();
    }
}

}  // namespace bench
