// DLLs that Windows does not always take from the system folder (comctl32,
// wininet, bcrypt, wintrust and crypt32) are loaded here, from the system folder only, the
// first time they are needed: the exe imports none of them, so a DLL of that
// name left beside it never runs. Any thread.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <wincrypt.h>
#include <wininet.h>
#include <wintrust.h>

#include <string>
#include <string_view>

namespace platform {

// From now on this process loads DLLs from the system folder only (and what
// the exe's own imports brought). Call first thing in WinMain. False where
// Windows lacks the call (Windows 7 without its loader update); the tables
// below are loaded safely then too.
bool restrictDllSearchToSystem() noexcept;

// `name` ("wininet.dll") from the system folder; nullptr when it cannot be
// loaded. Each call takes a reference that is never given back: the tables
// below call it once each and keep the DLL for the life of the process.
HMODULE loadSystemLibrary(const char* name) noexcept;

// comctl32 from the system folder, after restrictDllSearchToSystem(): as an
// import it would load before WinMain, and with it uxtheme and the rest,
// from beside the exe. The manifest still picks version 6. False when it
// cannot be loaded or refuses `classes`.
bool initCommonControls(DWORD classes) noexcept;

enum class SystemFolder { System, Windows };

// The full path of `name` in the system folder (System32) or the Windows
// folder: a bare name would be looked up in our own folder and the current
// one first, where anyone could plant a copy. Empty when Windows does not
// say where the folder is.
std::string systemFilePath(SystemFolder folder, std::string_view name);

// The WinINet calls the program makes. Either every member is set or none.
struct WinInetApi {
  decltype(&::InternetOpenA) InternetOpenA = nullptr;
  decltype(&::InternetSetOptionA) InternetSetOptionA = nullptr;
  decltype(&::InternetCrackUrlA) InternetCrackUrlA = nullptr;
  decltype(&::InternetCombineUrlA) InternetCombineUrlA = nullptr;
  decltype(&::InternetConnectA) InternetConnectA = nullptr;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA = nullptr;
  decltype(&::HttpSendRequestA) HttpSendRequestA = nullptr;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA = nullptr;
  decltype(&::InternetReadFile) InternetReadFile = nullptr;
  decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
  explicit operator bool() const noexcept { return InternetCloseHandle != nullptr; }
};
// Loaded on first use; empty (false) when wininet.dll cannot be had.
const WinInetApi& winInet() noexcept;

// The CNG calls: SHA-256 and ECDSA verification. Either every member is set or none.
struct CngApi {
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
  decltype(&::BCryptCreateHash) BCryptCreateHash = nullptr;
  decltype(&::BCryptHashData) BCryptHashData = nullptr;
  decltype(&::BCryptFinishHash) BCryptFinishHash = nullptr;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash = nullptr;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair = nullptr;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey = nullptr;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature = nullptr;
  explicit operator bool() const noexcept { return BCryptVerifySignature != nullptr; }
};
const CngApi& cng() noexcept;

// Authenticode: the trust check, and the signer read from the signature.
// Each table has every member set or none.
struct WinTrustApi {
  decltype(&::WinVerifyTrust) WinVerifyTrust = nullptr;
  explicit operator bool() const noexcept { return WinVerifyTrust != nullptr; }
};
const WinTrustApi& winTrust() noexcept;

struct Crypt32Api {
  decltype(&::CryptQueryObject) CryptQueryObject = nullptr;
  decltype(&::CryptMsgGetParam) CryptMsgGetParam = nullptr;
  decltype(&::CryptMsgClose) CryptMsgClose = nullptr;
  decltype(&::CertFindCertificateInStore) CertFindCertificateInStore = nullptr;
  decltype(&::CertGetNameStringW) CertGetNameStringW = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CertCloseStore) CertCloseStore = nullptr;
  explicit operator bool() const noexcept { return CertCloseStore != nullptr; }
};
const Crypt32Api& crypt32() noexcept;

}  // namespace platform
