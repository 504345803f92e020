// Searches a route that visits every present cell of a board once, in orthogonal steps.
#pragma once

#include <cstdint>
#include <vector>

class TRouteFinder {
public:
    // A cell position (column x, row y) or a step (dx, dy).
    struct TPoint {
        int32_t x = 0;
        int32_t y = 0;
        friend bool operator==(const TPoint&, const TPoint&) = default;
    };
};
