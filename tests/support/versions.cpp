#include "support/versions.h"

#include "build_config.h"
#include "test_config.h"

namespace testing_support {

std::string ownVersion() {
  return build_config::kVersion;
}

std::string ownTitle() {
  std::string title = "Kelvora v";
  title += ownVersion();
  return title;
}

std::string newerVersion() {
  return kNewerVersion;
}

std::string olderVersion() {
  return "0";
}

// The first digit above 1 becomes "1" followed by one digit more: the group
// grows as a number but sorts lower as text.
std::string numericallyNewerTextuallyOlder() {
  const std::string own = ownVersion();
  for (std::size_t i = 0; i < own.size(); ++i) {
    if (own[i] < '2' || own[i] > '9') continue;
    std::size_t end = i;
    while (end < own.size() && own[end] != '.') ++end;
    return own.substr(0, i) + "1" + std::string(end - i, '0');
  }
  return {};
}

}  // namespace testing_support
