#include "update/version.h"

namespace update {

bool versionLess(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool isSafeVersion(std::string_view version) {
  int groups = 0;
  std::size_t digits = 0;
  for (const char c : version) {
    if (c >= '0' && c <= '9') {
      if (++digits > 5) return false;
    } else if (c == '.' && digits > 0 && groups < 3) {
      ++groups;
      digits = 0;
    } else {
      return false;
    }
  }
  return digits > 0;
}

std::string updateFileName(std::string_view version) {
  std::string name = "Kelvora v";
  name += version;
  name += ".exe";
  return name;
}

}  // namespace update
