// Listing a key with everything below it, in either registry view.
#include <windows.h>

#include "platform/code_page.h"
#include "platform/message_loop.h"
#include "platform/text.h"
#include "registry/registry_tool.h"
#include "registry/wow64.h"

namespace registry {
namespace {

struct PendingKey {
  HKEY key = nullptr;
  platform::UniqueKey owned;  // empty for the starting key, which the caller closes
  std::string path;
};

void cutTrailingBackslash(std::string& keyPath) {
  if (endsWithBackslash(keyPath, platform::ansiLeadBytes())) keyPath.pop_back();
}

}  // namespace

std::size_t RegistryTool::walkTree(Array<TreeEntry>& result, int root, const std::string& keyPath,
                                   int mode, ProgressRoutine progress, Opener open,
                                   RedirectionOff* redirection) {
  const HKEY rootKey = rootHandle(root);
  const auto address = reinterpret_cast<std::uintptr_t>(progress);
  auto added = [&](TreeEntry entry) {
    result.append(std::move(entry));
    if (address > 0) {
      std::uint32_t ignored = 0;
      const std::uint32_t count = static_cast<std::uint32_t>(elementCount(&result));
      RedirectionRestored callersView(redirection);
      callAddress(address, false, ignored, std::span(&count, 1));
    }
  };
  auto listValues = [&](HKEY key, const std::string& path) {
    ValueInfo info;
    for (int i = 0; enumValue(key, i, info) == ERROR_SUCCESS; ++i) {
      added(TreeEntry{TreeEntry::kValue, path, info});
    }
  };

  Array<PendingKey> work;
  platform::UniqueKey start;
  if (keyPath.empty()) {
    std::string name;
    for (int i = 0; enumSubkey(rootKey, i, name) == ERROR_SUCCESS; ++i) {
      platform::UniqueKey child;
      if ((this->*open)(rootKey, name + "\\", child) == ERROR_SUCCESS) {
        // A name that is nothing but spaces ends the loop; other names are
        // recorded as they are, so that they can be opened again.
        if (platform::removeSpaces(name, platform::ansiLeadBytes()).empty()) break;
        const HKEY raw = child.get();
        work.append(PendingKey{raw, std::move(child), name});
        added(TreeEntry{TreeEntry::kKey, name, {}});
      }
      RedirectionRestored callersView(redirection);
      platform::processPendingMessages();
    }
    if (mode == 0) listValues(rootKey, std::string());
  } else {
    if ((this->*open)(rootKey, keyPath + "\\", start) != ERROR_SUCCESS) return 0;
  }
  std::optional<ReflectionOff> reflection;
  if (redirection && start) reflection.emplace(start.get());

  if (!keyPath.empty() && mode == 0) {
    std::string name;
    for (int i = 0; enumSubkey(start.get(), i, name) == ERROR_SUCCESS; ++i) {
      const std::string childPath = keyPath + "\\" + name;
      added(TreeEntry{TreeEntry::kKey, childPath, {}});
      platform::UniqueKey child;
      if ((this->*open)(start.get(), name, child) == ERROR_SUCCESS) {
        listValues(child.get(), childPath);
      }
    }
  } else if (mode == 1) {
    if (!keyPath.empty()) work.append(PendingKey{start.get(), platform::UniqueKey(), keyPath});
    while (!work.empty()) {
      PendingKey key = std::move(work.back());
      work.removeAt(work.size() - 1);
      listValues(key.key, key.path);
      std::string name;
      for (int i = 0; enumSubkey(key.key, i, name) == ERROR_SUCCESS; ++i) {
        const std::string childPath = key.path + "\\" + name;
        platform::UniqueKey child;
        if ((this->*open)(key.key, name, child) != ERROR_SUCCESS) continue;
        added(TreeEntry{TreeEntry::kKey, childPath, {}});
        const HKEY raw = child.get();
        work.append(PendingKey{raw, std::move(child), childPath});
      }
    }
  }
  return elementCount(&result);
}

LONG RegistryTool::openKey64ForListing(HKEY root, const std::string& path,
                                       platform::UniqueKey& key) {
  return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put());
}

std::size_t RegistryTool::listTree(Array<TreeEntry>& result, int root, std::string& keyPath,
                                   int mode, ProgressRoutine progress) {
  result.clear();
  cutTrailingBackslash(keyPath);
  return walkTree(result, root, keyPath, mode, progress, &RegistryTool::openKey, nullptr);
}

std::size_t RegistryTool::listTree64(Array<TreeEntry>& result, int root, std::string& keyPath,
                                     int mode, ProgressRoutine progress) {
  if (!is64BitWindows) return 0;
  RedirectionOff redirection;
  if (!redirection.ok()) return 0;
  result.clear();
  cutTrailingBackslash(keyPath);
  return walkTree(result, root, keyPath, mode, progress, &RegistryTool::openKey64ForListing,
                  &redirection);
}

}  // namespace registry
