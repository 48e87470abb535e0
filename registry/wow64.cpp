#include "registry/wow64.h"

namespace registry {

bool isWow64Process() noexcept {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

RedirectionOff::RedirectionOff() noexcept {
  if (::Wow64DisableWow64FsRedirection(&oldValue_)) {
    disabled_ = true;
    ok_ = true;
  } else {
    ok_ = !isWow64Process();
  }
}

RedirectionOff::~RedirectionOff() {
  if (disabled_) ::Wow64RevertWow64FsRedirection(oldValue_);
}

}  // namespace registry
