#include "app/registered_versions.h"

namespace app {

std::vector<lang::RegisteredVersion> registeredVersions(registry::RegistryTool& registry) {
  std::vector<lang::RegisteredVersion> versions;
  const std::string key = lang::kVersionsKey;
  for (std::string& name : registry.read64Subkeys(registry::kLocalMachine, key)) {
    if (!lang::isVersionKey(name)) continue;
    std::string installPath = registry.read64String(
        registry::kLocalMachine, key + "\\" + name + "\\" + lang::kInstallPathName);
    versions.push_back({std::move(name), std::move(installPath)});
  }
  return versions;
}

}  // namespace app
