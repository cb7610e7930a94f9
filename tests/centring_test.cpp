#include <gtest/gtest.h>

#include "dialog/centring.h"

namespace {

struct CentreCase {
    const char* what;
    dialog::Rect desktop;
    dialog::Rect window;
    long x, y;
};

std::ostream& operator<<(std::ostream& os, const CentreCase& c) { return os << c.what; }

class CentreTest : public testing::TestWithParam<CentreCase> {};

TEST_P(CentreTest, PutsTheWindowInTheMiddle) {
    const CentreCase& c = GetParam();
    dialog::Point p = dialog::CentredOrigin(c.desktop, c.window);
    EXPECT_EQ(p.x, c.x) << c.what;
    EXPECT_EQ(p.y, c.y) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rects, CentreTest,
    testing::Values(
        CentreCase{"even differences", {0, 0, 1024, 768}, {0, 0, 300, 200}, 362, 284},
        CentreCase{"the window's own position does not matter", {0, 0, 1024, 768}, {500, 40, 800, 240}, 362, 284},
        CentreCase{"odd differences lose their half", {0, 0, 1024, 768}, {0, 0, 301, 201}, 361, 283},
        CentreCase{"wider and taller than the desktop", {0, 0, 640, 480}, {0, 0, 801, 601}, -80, -60},
        CentreCase{"desktop away from 0,0", {-1280, 100, 0, 1124}, {0, 0, 280, 124}, -780, 550},
        CentreCase{"same size", {10, 20, 110, 220}, {0, 0, 100, 200}, 10, 20}));

}  // namespace
