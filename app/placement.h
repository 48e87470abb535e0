// Where the main window goes on the screen. No Windows API here.
#pragma once

namespace app {

struct Point {
  int x;
  int y;
};

// Left = (screen width - window width - 100) / 2 and top = (screen height -
// window height - 200) / 2, in double precision, truncated toward zero.
Point windowPlacement(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

}  // namespace app
