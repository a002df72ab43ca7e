#pragma once

// Sizes and rectangles in points.
struct CGSize {
    double width { 0 };
    double height { 0 };
};

struct CGRect {
    double x { 0 };
    double y { 0 };
    double width { 0 };
    double height { 0 };
};
