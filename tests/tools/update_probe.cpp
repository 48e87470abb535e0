// Served as the "new version" in the update tests: records that it was
// started, in its own folder, and whether its own exe could then be written
// ("held" or "writable"), and ends.
#include <windows.h>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/shell.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Appending, sharing everything: Wine keeps only plain writes off a running
  // image, so this is refused only while the starter still holds the file.
  const platform::UniqueFile writer(
      ::CreateFileA(platform::exePath().c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  platform::writeFile(platform::runDirectory() + "\\probe-started.txt",
                      {writer ? "writable" : "held"});
  // Only now idle: the starter's wait for that ends after the attempt.
  MSG msg;
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  return 0;
}
