#include "platform/placement.h"

#include <gtest/gtest.h>

namespace {

// The formula's place (x, y), then that place kept in the monitor's work
// area (wx, wy).
TEST(WindowPlacement, CentresLeftOfAndAboveTheMiddle) {
  struct Case {
    int sw, sh, w, h, x, y;
    platform::Rect work;
    int wx, wy;
  };
  const Case cases[] = {
      {1024, 768, 400, 300, 262, 134, {0, 0, 1024, 768}, 262, 134},
      {1024, 768, 400, 300, 262, 134, {0, 0, 1024, 728}, 262, 134},  // room enough: unmoved
      {1920, 1080, 576, 517, 622, 181, {0, 0, 1920, 1040}, 622, 181},
      {1025, 769, 400, 300, 262, 134, {0, 0, 1025, 769}, 262, 134},  // halves truncated
      // The main window on 1366x768 with a 40 px taskbar: the formula puts
      // its title bar above the screen.
      {1366, 768, 576, 678, 345, -55, {0, 0, 1366, 728}, 345, 0},
      {1366, 768, 576, 678, 345, -55, {0, 40, 1366, 768}, 345, 40},  // taskbar on top
      {800, 600, 700, 300, 0, 50, {60, 0, 800, 600}, 60, 50},        // taskbar on the left
      {1024, 768, 750, 300, 87, 134, {0, 0, 824, 768}, 74, 134},     // on the right
      {1024, 768, 500, 450, 212, 59, {0, 0, 1024, 468}, 212, 18},    // bottom lifted over it
      {1366, 768, 576, 800, 345, -116, {0, 0, 1366, 728}, 345, 0},   // taller: top at the top
      {1366, 768, 576, 800, 345, -116, {0, 40, 1366, 768}, 345, 40},
      {300, 200, 400, 300, -100, -150, {0, 0, 300, 200}, 0, 0},  // larger than the screen
      {0, 0, 1, 1, -50, -100, {0, 0, 0, 0}, 0, 0},  // -50.5 and -100.5 truncate toward zero
      // A work area at negative coordinates (a monitor left of the primary).
      {1024, 768, 400, 300, 262, 134, {-1280, -200, -256, 824}, -656, 134},
  };
  for (const Case& c : cases) {
    const platform::Point p = platform::windowPlacement(c.sw, c.sh, c.w, c.h);
    EXPECT_EQ(p.x, c.x) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.y, c.y) << c.sw << "x" << c.sh;
    const platform::Point in = platform::keepInWorkArea(p, c.w, c.h, c.work);
    EXPECT_EQ(in.x, c.wx) << c.sw << "x" << c.sh << " " << c.w << "x" << c.h;
    EXPECT_EQ(in.y, c.wy) << c.sw << "x" << c.sh << " " << c.w << "x" << c.h;
  }
}

TEST(DpiScaling, FormPixelsAndTheFontAtEachScale) {
  const int dpis[] = {96, 120, 144, 192, 0};  // 0: the monitor's dpi is unknown
  struct Case {
    int pixels;
    int at[5];  // in the order of `dpis`
  };
  const Case cases[] = {
      {0, {0, 0, 0, 0, 0}},
      {1, {1, 1, 2, 2, 1}},  // 1.25 down, 1.5 up
      {2, {2, 3, 3, 4, 2}},  // 2.5 up, not to even
      {3, {3, 4, 5, 6, 3}},  // 3.75 and 4.5 up
      {517, {517, 646, 776, 1034, 517}},
      {-3, {-3, -4, -5, -6, -3}},  // halves away from zero
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(platform::scaleToDpi(c.pixels, dpis[i]), c.at[i]) << c.pixels << " at " << dpis[i];
    }
  }
  // The forms' 9 point font; 10 points at 120 dpi is 16.67.
  const int nine[] = {-12, -15, -18, -24, -12};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(platform::fontHeightAtDpi(9, dpis[i]), nine[i]) << dpis[i];
  EXPECT_EQ(platform::fontHeightAtDpi(10, 120), -17);
}

}  // namespace
