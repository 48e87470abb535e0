// Move-only owners for Windows handles, all of them here: copy is deleted,
// close is noexcept and happens exactly once, on every path. (A WinINet
// handle is owned through its session instead: see platform/http.h.)
#pragma once

#include <windows.h>

#include "platform/system_library.h"

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(pointer handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  pointer get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  pointer release() noexcept { return std::exchange(handle_, Traits::invalid()); }
  void reset(pointer handle = Traits::invalid()) noexcept {
    const pointer old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) Traits::close(old);
  }
  // For out-parameters: closes what is held and hands out the slot.
  pointer* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  pointer handle_ = Traits::invalid();
};

// The traits of a handle that is absent when it is `Absent` (nullptr, or
// INVALID_HANDLE_VALUE for what CreateFile and FindFirstFile hand out) and
// that `Close` closes.
enum class Absent { Null, InvalidValue };

template <typename Pointer, auto Close, Absent absent = Absent::Null>
struct HandleTraits {
  using pointer = Pointer;
  static pointer invalid() noexcept {
    if constexpr (absent == Absent::Null) {
      return nullptr;
    } else {
      return INVALID_HANDLE_VALUE;
    }
  }
  static void close(pointer h) noexcept { Close(h); }
};

template <typename Pointer, auto Close, Absent absent = Absent::Null>
using Unique = UniqueHandle<HandleTraits<Pointer, Close, absent>>;

// Processes, threads, events.
using UniqueKernelHandle = Unique<HANDLE, ::CloseHandle>;
using UniqueFile = Unique<HANDLE, ::CloseHandle, Absent::InvalidValue>;
using UniqueFind = Unique<HANDLE, ::FindClose, Absent::InvalidValue>;
using UniqueGdiObject = Unique<HGDIOBJ, ::DeleteObject>;

// A timer-queue timer; the close waits for a callback under way.
inline void deleteTimer(HANDLE h) noexcept {
  ::DeleteTimerQueueTimer(nullptr, h, INVALID_HANDLE_VALUE);
}
using UniqueTimer = Unique<HANDLE, deleteTimer>;

// CNG handles, closed through the table loaded from the system folder.
inline void closeAlgorithm(BCRYPT_ALG_HANDLE h) noexcept {
  cng().BCryptCloseAlgorithmProvider(h, 0);
}
inline void destroyCngKey(BCRYPT_KEY_HANDLE h) noexcept {
  cng().BCryptDestroyKey(h);
}
inline void destroyHash(BCRYPT_HASH_HANDLE h) noexcept {
  cng().BCryptDestroyHash(h);
}
using UniqueAlgorithm = Unique<BCRYPT_ALG_HANDLE, closeAlgorithm>;
using UniqueCngKey = Unique<BCRYPT_KEY_HANDLE, destroyCngKey>;
using UniqueHash = Unique<BCRYPT_HASH_HANDLE, destroyHash>;

// What CryptQueryObject hands out, closed through the crypt32 table.
inline void closeCertStore(HCERTSTORE h) noexcept {
  crypt32().CertCloseStore(h, 0);
}
inline void closeCryptMsg(HCRYPTMSG h) noexcept {
  crypt32().CryptMsgClose(h);
}
inline void freeCertificate(PCCERT_CONTEXT h) noexcept {
  crypt32().CertFreeCertificateContext(h);
}
using UniqueCertStore = Unique<HCERTSTORE, closeCertStore>;
using UniqueCryptMsg = Unique<HCRYPTMSG, closeCryptMsg>;
using UniqueCertificate = Unique<PCCERT_CONTEXT, freeCertificate>;

// The predefined roots are never closed, so a handle that RegOpenKey handed
// back unchanged for an empty path is safe here.
inline bool isPredefinedKey(HKEY key) noexcept {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
         key == HKEY_USERS || key == HKEY_PERFORMANCE_DATA || key == HKEY_CURRENT_CONFIG ||
         key == HKEY_DYN_DATA;
}
inline void closeKey(HKEY key) noexcept {
  if (!isPredefinedKey(key)) ::RegCloseKey(key);
}
using UniqueKey = Unique<HKEY, closeKey>;

}  // namespace platform
