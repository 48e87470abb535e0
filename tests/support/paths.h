// Where the test programs find their companions.
#pragma once

#include <string>

namespace testing_support {

// `name` in the folder of the running test program.
std::string besideThisExe(const std::string& name);

}  // namespace testing_support
