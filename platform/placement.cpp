#include "platform/placement.h"

namespace platform {

Point windowPlacement(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  const double left = (static_cast<double>(screenWidth) - windowWidth - 100) / 2;
  const double top = (static_cast<double>(screenHeight) - windowHeight - 200) / 2;
  return {static_cast<int>(left), static_cast<int>(top)};
}

namespace {

// `from` moved by as little as it takes to lie in [low, high - size]; `low`
// wins where the size does not fit.
int within(int from, int size, int low, int high) {
  const long long last = static_cast<long long>(high) - size;
  const long long moved = from > last ? last : from;
  return static_cast<int>(moved < low ? low : moved);
}

// value * numerator / denominator, rounded half away from zero; in 64 bits,
// so that no product overflows.
int mulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  const long long rounded =
      product < 0 ? -((-product + half) / denominator) : (product + half) / denominator;
  return static_cast<int>(rounded);
}

}  // namespace

Point keepInWorkArea(Point at, int windowWidth, int windowHeight, const Rect& workArea) {
  return {within(at.x, windowWidth, workArea.left, workArea.right),
          within(at.y, windowHeight, workArea.top, workArea.bottom)};
}

int scaleToDpi(int pixels, int dpi) {
  return mulDiv(pixels, dpi > 0 ? dpi : kFormDpi, kFormDpi);
}

int fontHeightAtDpi(int points, int dpi) {
  return -mulDiv(points, dpi > 0 ? dpi : kFormDpi, 72);
}

}  // namespace platform
