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

struct KernelHandleTraits {  // processes, threads, events: null when absent
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE when absent
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer h) noexcept { ::FindClose(h); }
};

struct GdiObjectTraits {
  using pointer = HGDIOBJ;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::DeleteObject(h); }
};

// CNG handles, closed through the table loaded from the system folder.
struct AlgorithmTraits {
  using pointer = BCRYPT_ALG_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { cng().BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;

struct CngKeyTraits {
  using pointer = BCRYPT_KEY_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { cng().BCryptDestroyKey(h); }
};
using UniqueCngKey = UniqueHandle<CngKeyTraits>;

struct HashTraits {
  using pointer = BCRYPT_HASH_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { cng().BCryptDestroyHash(h); }
};
using UniqueHash = UniqueHandle<HashTraits>;

// The predefined roots are never closed, so a handle that RegOpenKey handed
// back unchanged for an empty path is safe here.
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

using UniqueKey = UniqueHandle<KeyTraits>;


using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

}  // namespace platform
