#include "platform/placement.h"

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
    const platform::Point p = platform::windowPlacement(c.sw, c.sh, c.w, c.h);
    EXPECT_EQ(p.x, c.x) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.y, c.y) << c.sw << "x" << c.sh;
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
