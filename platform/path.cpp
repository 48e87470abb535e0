#include "platform/path.h"

namespace platform {

std::string joinPath(std::string_view folder, std::string_view name, const LeadBytes& lead) {
  std::string path(folder);
  const bool endsInSeparator = !path.empty() && findLastOf(path, "\\", lead) == path.size() - 1;
  if (!path.empty() && !endsInSeparator) path += '\\';
  path += name;
  return path;
}

std::string joinPathAsIs(std::string_view folder, char separator, std::string_view name) {
  std::string path(folder);
  path += separator;
  path += name;
  return path;
}

bool isAbsolutePath(std::string_view path) {
  if (path.size() < 3) return false;
  const char first = path[0];
  const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
  if (letter) return path[1] == ':' && path[2] == '\\';
  // A server name after the two backslashes.
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '/';
}

std::string folderOf(std::string_view path, const LeadBytes& lead) {
  const std::size_t slash = findLastOf(path, "\\/", lead);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::string fileNameOf(std::string_view path, const LeadBytes& lead) {
  const std::size_t slash = findLastOf(path, "\\/", lead);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool equalsAsciiCaseBlind(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace platform
