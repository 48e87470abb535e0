#include "update/version.h"

namespace update {

namespace {

// The number of group `index` of a safe version (up to 5 digits), 0 past its end.
long group(std::string_view version, int index) {
  std::size_t at = 0;
  for (int i = 0; i < index; ++i) {
    at = version.find('.', at);
    if (at == std::string_view::npos) return 0;
    ++at;
  }
  long value = 0;
  for (; at < version.size() && version[at] != '.'; ++at) value = value * 10 + (version[at] - '0');
  return value;
}

}  // namespace

bool versionLess(std::string_view a, std::string_view b) {
  if (!isSafeVersion(a) || !isSafeVersion(b)) return false;
  for (int i = 0; i < 4; ++i) {
    const long x = group(a, i);
    const long y = group(b, i);
    if (x != y) return x < y;
  }
  return false;
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
