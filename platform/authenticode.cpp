#include "platform/authenticode.h"

#include <softpub.h>

#include <string_view>
#include <vector>

#include "platform/certificate_table.h"
#include "platform/handles.h"
#include "platform/system_library.h"

namespace platform {
namespace {

bool trusted(HANDLE file, const std::u16string& path) {
  const WinTrustApi& api = winTrust();
  if (!api) return false;
  WINTRUST_FILE_INFO info = {};
  info.cbStruct = sizeof info;
  info.pcwszFilePath = reinterpret_cast<LPCWSTR>(path.c_str());
  info.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_IGNORE;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return api.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == 0;
}

bool readAt(HANDLE file, std::uint64_t offset, std::string& out) {
  LARGE_INTEGER at = {};
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
      !::ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr)) {
    return false;
  }
  out.resize(got);
  return true;
}

// The SignedData the file carries, read through its handle: the one that
// WinVerifyTrust checked, as nobody can change the file while we hold it.
// nullopt when the file has no certificate table; empty when its table
// cannot be read or holds no SignedData.
std::optional<std::string> signedData(HANDLE file) {
  LARGE_INTEGER size = {};
  std::string head(kPeHeadBytes, '\0');
  if (!::GetFileSizeEx(file, &size) || !readAt(file, 0, head)) return std::string();
  const std::optional<FileSpan> span =
      certificateTable(head, static_cast<std::uint64_t>(size.QuadPart));
  if (!span) return std::nullopt;
  std::string table(span->size, '\0');
  if (!readAt(file, span->offset, table) || table.size() != span->size) return std::string();
  return std::string(firstSignedData(table));
}

std::u16string signerSubject(std::string_view pkcs7) {
  const Crypt32Api& api = crypt32();
  if (!api || pkcs7.empty()) return {};
  CERT_BLOB blob = {static_cast<DWORD>(pkcs7.size()),
                    reinterpret_cast<BYTE*>(const_cast<char*>(pkcs7.data()))};
  DWORD encoding = 0;
  UniqueCertStore store;
  UniqueCryptMsg message;
  if (!api.CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, nullptr, nullptr,
                            store.put(), message.put(), nullptr)) {
    return {};
  }
  DWORD bytes = 0;
  if (!api.CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &bytes)) return {};
  // CMSG_SIGNER_INFO points into its own buffer: keep it aligned.
  std::vector<std::uint64_t> buffer(bytes / sizeof(std::uint64_t) + 1);
  if (!api.CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &bytes)) {
    return {};
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
  CERT_INFO wanted = {};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  UniqueCertificate certificate(api.CertFindCertificateInStore(
      store.get(), encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
  if (!certificate) return {};
  DWORD form = CERT_X500_NAME_STR;
  const DWORD length =
      api.CertGetNameStringW(certificate.get(), CERT_NAME_RDN_TYPE, 0, &form, nullptr, 0);
  if (length <= 1) return {};
  std::u16string subject(length, u'\0');
  api.CertGetNameStringW(certificate.get(), CERT_NAME_RDN_TYPE, 0, &form,
                         reinterpret_cast<LPWSTR>(subject.data()), length);
  subject.resize(length - 1);
  return subject;
}

}  // namespace

std::optional<std::u16string> verifiedSigner(HANDLE file, const std::u16string& path) {
  if (!trusted(file, path)) return std::nullopt;
  std::u16string subject = signerSubject(signedData(file).value_or(std::string()));
  if (subject.empty()) return std::nullopt;
  return subject;
}

std::optional<std::u16string> namedSigner(HANDLE file) {
  const std::optional<std::string> pkcs7 = signedData(file);
  if (!pkcs7) return std::nullopt;
  return signerSubject(*pkcs7);
}

}  // namespace platform
