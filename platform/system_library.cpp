#include "platform/system_library.h"

#include "platform/code_page.h"
#include "platform/path.h"

#include <string>

namespace platform {
namespace {

// Fills `slot` with the export `name`; false when it is missing.
template <typename F>
bool bind(HMODULE module, F& slot, const char* name) noexcept {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return slot != nullptr;
}

// All of a table or nothing: a half-filled one would call through null.
template <typename Api, typename Fill>
Api loadTable(const char* dll, Fill fill) noexcept {
  Api api;
  HMODULE module = loadSystemLibrary(dll);
  if (!module || !fill(module, api)) api = Api();
  return api;
}

}  // namespace

bool restrictDllSearchToSystem() noexcept {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  // Looked up: an import of it would keep the exe from starting at all on a
  // Windows 7 without the loader update.
  SetDirectories set = nullptr;
  return bind(::GetModuleHandleA("kernel32.dll"), set, "SetDefaultDllDirectories") &&
         set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE loadSystemLibrary(const char* name) noexcept {
  HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Windows without LOAD_LIBRARY_SEARCH_*: the full path, and the DLL's own
  // imports looked up from its folder rather than from ours.
  const std::string path = systemFilePath(SystemFolder::System, name);
  if (path.empty()) return nullptr;
  return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::string systemFilePath(SystemFolder folder, std::string_view name) {
  char buffer[MAX_PATH] = {};
  const UINT n = folder == SystemFolder::System ? ::GetSystemDirectoryA(buffer, MAX_PATH)
                                                : ::GetSystemWindowsDirectoryA(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return joinPath(std::string_view(buffer, n), name, ansiLeadBytes());
}

const WinInetApi& winInet() noexcept {
  static const WinInetApi api = loadTable<WinInetApi>("wininet.dll", [](HMODULE m, WinInetApi& a) {
    return bind(m, a.InternetOpenA, "InternetOpenA") &&
           bind(m, a.InternetSetOptionA, "InternetSetOptionA") &&
           bind(m, a.InternetCrackUrlA, "InternetCrackUrlA") &&
           bind(m, a.InternetCombineUrlA, "InternetCombineUrlA") &&
           bind(m, a.InternetConnectA, "InternetConnectA") &&
           bind(m, a.HttpOpenRequestA, "HttpOpenRequestA") &&
           bind(m, a.HttpSendRequestA, "HttpSendRequestA") &&
           bind(m, a.HttpQueryInfoA, "HttpQueryInfoA") &&
           bind(m, a.InternetReadFile, "InternetReadFile") &&
           bind(m, a.InternetCloseHandle, "InternetCloseHandle");
  });
  return api;
}

const CngApi& cng() noexcept {
  static const CngApi api = loadTable<CngApi>("bcrypt.dll", [](HMODULE m, CngApi& a) {
    return bind(m, a.BCryptOpenAlgorithmProvider, "BCryptOpenAlgorithmProvider") &&
           bind(m, a.BCryptCloseAlgorithmProvider, "BCryptCloseAlgorithmProvider") &&
           bind(m, a.BCryptCreateHash, "BCryptCreateHash") &&
           bind(m, a.BCryptHashData, "BCryptHashData") &&
           bind(m, a.BCryptFinishHash, "BCryptFinishHash") &&
           bind(m, a.BCryptDestroyHash, "BCryptDestroyHash") &&
           bind(m, a.BCryptImportKeyPair, "BCryptImportKeyPair") &&
           bind(m, a.BCryptDestroyKey, "BCryptDestroyKey") &&
           bind(m, a.BCryptVerifySignature, "BCryptVerifySignature");
  });
  return api;
}

const WinTrustApi& winTrust() noexcept {
  static const WinTrustApi api = loadTable<WinTrustApi>(
      "wintrust.dll",
      [](HMODULE m, WinTrustApi& a) { return bind(m, a.WinVerifyTrust, "WinVerifyTrust"); });
  return api;
}

const Crypt32Api& crypt32() noexcept {
  static const Crypt32Api api = loadTable<Crypt32Api>("crypt32.dll", [](HMODULE m, Crypt32Api& a) {
    return bind(m, a.CryptQueryObject, "CryptQueryObject") &&
           bind(m, a.CryptMsgGetParam, "CryptMsgGetParam") &&
           bind(m, a.CryptMsgClose, "CryptMsgClose") &&
           bind(m, a.CertFindCertificateInStore, "CertFindCertificateInStore") &&
           bind(m, a.CertGetNameStringW, "CertGetNameStringW") &&
           bind(m, a.CertFreeCertificateContext, "CertFreeCertificateContext") &&
           bind(m, a.CertCloseStore, "CertCloseStore");
  });
  return api;
}

bool initCommonControls(DWORD classes) noexcept {
  using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  Init init = nullptr;
  HMODULE module = loadSystemLibrary("comctl32.dll");
  if (!module || !bind(module, init, "InitCommonControlsEx")) return false;
  const INITCOMMONCONTROLSEX controls = {sizeof controls, classes};
  return init(&controls) != FALSE;
}

}  // namespace platform
