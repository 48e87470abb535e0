// Move-only owner of an HKEY. The predefined roots are never closed, so a
// handle that RegOpenKey handed back unchanged for an empty path is safe here.
#pragma once

#include <windows.h>

#include "platform/handles.h"

namespace registry {

inline bool isPredefinedKey(HKEY key) noexcept {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
         key == HKEY_USERS || key == HKEY_PERFORMANCE_DATA || key == HKEY_CURRENT_CONFIG ||
         key == HKEY_DYN_DATA;
}

struct KeyTraits {
  using pointer = HKEY;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer key) noexcept {
    if (!isPredefinedKey(key)) ::RegCloseKey(key);
  }
};

using UniqueKey = platform::UniqueHandle<KeyTraits>;

}  // namespace registry
