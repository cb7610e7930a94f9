#pragma once

namespace dialog {

struct Rect {
    long left, top, right, bottom;
};

struct Point {
    long x, y;
};

// Where the top-left corner of window goes to centre it on desktop, both in screen
// coordinates; halves round toward zero, so an odd difference loses its half unit.
Point CentredOrigin(const Rect& desktop, const Rect& window);

}  // namespace dialog
