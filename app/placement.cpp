#include "app/placement.h"

namespace app {

Point windowPlacement(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  const double left = (static_cast<double>(screenWidth) - windowWidth - 100) / 2;
  const double top = (static_cast<double>(screenHeight) - windowHeight - 200) / 2;
  return {static_cast<int>(left), static_cast<int>(top)};
}

}  // namespace app
