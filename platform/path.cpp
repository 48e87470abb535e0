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

}  // namespace platform
