// main() of the test programs that start the real exe: its path comes first
// on the command line; a second exe (the build without an update key) may follow.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e_driver.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: e2e_tests PATH-TO-Kelvora.exe\n");
    return 2;
  }
  auto windowsPath = [](std::string path) {
    if (!path.empty() && path[0] == '/') {  // a Unix path from CTest: Wine's Z: drive
      for (char& c : path) c = c == '/' ? '\\' : c;
      path = "Z:" + path;
    }
    return path;
  };
  e2e::g_exePath = windowsPath(argv[1]);
  if (argc > 2) e2e::g_unsignedExePath = windowsPath(argv[2]);
  return RUN_ALL_TESTS();
}
