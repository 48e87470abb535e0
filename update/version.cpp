#include "update/version.h"

#include "platform/text.h"

namespace update {

std::string parseVersionFile(std::string_view body) {
  const std::string text = platform::bytesToText(body);
  if (!text.empty() && text[0] == '<') return {};
  // 1-based positions; -1 when missing, as the piece rule expects.
  const auto open = text.find('[');
  const auto close = text.find(']');
  const long a = open == std::string::npos ? -1 : static_cast<long>(open) + 1;
  const long b = close == std::string::npos ? -1 : static_cast<long>(close) + 1;
  const long start = a + 1;
  const long length = b - a - 1;
  if (start < 1 || start > static_cast<long>(text.size()) || length <= 0) return {};
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

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

std::string joinUrl(std::string_view base, std::string_view last) {
  std::string url(base);
  if (url.empty() || url.back() != '/') url += '/';
  url += last;
  return url;
}

}  // namespace update
