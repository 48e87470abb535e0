// main() of the test programs that start the real exe: its path comes first
// on the command line; a second exe (the build without an update key) may
// follow. Listing the tests needs neither.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ui_post.h"
#include "support/e2e_driver.h"
#include "support/paths.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2 && !::testing::GTEST_FLAG(list_tests)) {
    std::fprintf(stderr, "usage: %s PATH-TO-Kelvora.exe [PATH-TO-unsigned-Kelvora.exe]\n", argv[0]);
    return 2;
  }
  if (argc > 1) testing_support::g_exePath = testing_support::windowsPath(argv[1]);
  if (argc > 2) testing_support::g_unsignedExePath = testing_support::windowsPath(argv[2]);
  // The download engine and the fetches deliver to this thread through it.
  platform::openUiPost();
  const int result = RUN_ALL_TESTS();
  platform::closeUiPost();
  return result;
}
