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

void RedirectionOff::suspend() noexcept {
  if (!disabled_) return;
  ::Wow64RevertWow64FsRedirection(oldValue_);
  disabled_ = false;
  suspended_ = true;
}

void RedirectionOff::resume() noexcept {
  if (!suspended_) return;
  suspended_ = false;
  disabled_ = ::Wow64DisableWow64FsRedirection(&oldValue_) != 0;
}

}  // namespace registry
