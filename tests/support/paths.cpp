#include "support/paths.h"

#include "platform/shell.h"

namespace testing_support {

std::string besideThisExe(const std::string& name) {
  return platform::runDirectory() + "\\" + name;
}

}  // namespace testing_support
