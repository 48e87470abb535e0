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

}  // namespace platform
