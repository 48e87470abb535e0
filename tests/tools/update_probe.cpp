// Served as the "new version" in the update tests: records that it was
// started, in its own folder, and ends.
#include <windows.h>

#include "platform/files.h"
#include "platform/shell.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::writeFile(platform::runDirectory() + "\\probe-started.txt", {});
  return 0;
}
