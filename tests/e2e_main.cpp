// main() of the test programs that start the real exe: its path comes first
// on the command line.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e_driver.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: e2e_tests PATH-TO-Kelvora.exe\n");
    return 2;
  }
  std::string path = argv[1];
  if (!path.empty() && path[0] == '/') {  // a Unix path from CTest: Wine's Z: drive
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
  e2e::g_exePath = path;
  return RUN_ALL_TESTS();
}
