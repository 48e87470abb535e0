// Where a window goes and how big it is: the main window's place on the
// screen, and the forms' 96-dpi values scaled to a monitor's dpi. No Windows
// API here.
#pragma once

namespace platform {

struct Point {
  int x;
  int y;
};

// Left = (screen width - window width - 100) / 2 and top = (screen height -
// window height - 200) / 2, in double precision, truncated toward zero.
Point windowPlacement(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

// A rectangle in screen pixels: right and bottom lie just outside it.
struct Rect {
  int left;
  int top;
  int right;
  int bottom;
};

// `at` moved into `workArea` (a monitor's, without its taskbar): the left
// and top edges at or inside its own, the right and bottom edges too
// wherever the window fits. A window larger than the work area keeps its
// top-left corner there, so that its title bar stays within reach.
Point keepInWorkArea(Point at, int windowWidth, int windowHeight, const Rect& workArea);

// Form values are written for 96 dpi.
inline constexpr int kFormDpi = 96;

// `pixels` at 96 dpi, scaled to `dpi` and rounded half away from zero, as
// MulDiv rounds (2 px at 120 dpi is 3). A dpi of 0 or less counts as 96.
int scaleToDpi(int pixels, int dpi);

// The character height (negative, as CreateFont takes it) of a `points`
// font at `dpi`, rounded as above.
int fontHeightAtDpi(int points, int dpi);

}  // namespace platform
