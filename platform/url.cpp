#include "platform/url.h"

namespace platform {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

bool isHttps(std::string_view url) {
  return startsWithNoCase(url, "https://");
}

}  // namespace

bool redirectAllowed(std::string_view from, std::string_view to) {
  if (isHttps(from)) return isHttps(to);
  return isHttps(to) || startsWithNoCase(to, "http://");
}

std::string joinUrl(std::string_view base, std::string_view last) {
  std::string url(base);
  if (url.empty() || url.back() != '/') url += '/';
  url += last;
  return url;
}

}  // namespace platform
