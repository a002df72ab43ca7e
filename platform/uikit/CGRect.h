#pragma once

// The geometry of a view, in points.
struct CGRect {
    double x { 0 };
    double y { 0 };
    double width { 0 };
    double height { 0 };
};
