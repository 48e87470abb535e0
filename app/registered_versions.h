// The After Effects versions the registry lists, read through the registry
// toolkit for the switch (the window's and the elevated step's alike).
#pragma once

#include <vector>

#include "lang/installations.h"
#include "registry/registry_tool.h"

namespace app {

// Every subkey of HKEY_LOCAL_MACHINE\SOFTWARE\Adobe\After Effects whose name
// is a version, with its InstallPath, both from the 64-bit view only (the
// view After Effects registers in); none on 32-bit Windows.
std::vector<lang::RegisteredVersion> registeredVersions(registry::RegistryTool& registry);

}  // namespace app
