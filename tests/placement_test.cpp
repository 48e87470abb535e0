#include "app/placement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, CentresLeftOfAndAboveTheMiddle) {
  struct Case {
    int sw, sh, w, h, x, y;
  };
  const Case cases[] = {
      {1024, 768, 400, 300, 262, 134},  {1920, 1080, 576, 517, 622, 181},
      {1025, 769, 400, 300, 262, 134},   // halves truncated
      {300, 200, 400, 300, -100, -150},  // a window larger than the screen
      {0, 0, 1, 1, -50, -100},           // -50.5 and -100.5 truncate toward zero
  };
  for (const Case& c : cases) {
    const app::Point p = app::windowPlacement(c.sw, c.sh, c.w, c.h);
    EXPECT_EQ(p.x, c.x) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.y, c.y) << c.sw << "x" << c.sh;
  }
}

}  // namespace
