#include "registry/registry_tool.h"

#include <utility>

#include "platform/code_page.h"
#include "registry/wow64.h"

namespace registry {
namespace {

constexpr REGSAM kQuery64 = KEY_QUERY_VALUE | KEY_WOW64_64KEY;  // 0x101
constexpr DWORD kNameBuffer = 255;
constexpr DWORD kDataBuffer = 255;

// Size first, then the data. A value that grew in between is not read.
std::optional<Bytes> queryOpenKey(HKEY key, const std::string& name) {
  DWORD type = REG_BINARY;  // preset; what the call returns is not used
  DWORD size = 0;
  if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Bytes data(size, '\0');
  if (size == 0) return data;
  DWORD got = size;
  type = REG_BINARY;
  if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &got) != ERROR_SUCCESS ||
      got > size) {
    return std::nullopt;
  }
  data.resize(got);
  return data;
}

template <typename Fn>
bool with64BitView(const RegistryTool& tool, Fn&& fn) {
  if (!tool.is64BitWindows) return false;
  RedirectionOff redirection;
  if (!redirection.ok()) return false;
  return fn();
}

// One typed call per argument count, one function per convention. The
// convention is spelled out on each concrete type (GCC drops it on dependent
// types), and the two conventions never share a function: GCC 12 merges
// identical-looking calls of both into one with the wrong stack adjustment.
#define KELVORA_CALL(n, params, args)          \
  case n: {                                    \
    using Fn = U(KELVORA_CONVENTION*) params;  \
    return reinterpret_cast<Fn>(address) args; \
  }
#define KELVORA_CALL_CASES                                                                        \
  KELVORA_CALL(0, (), ())                                                                         \
  KELVORA_CALL(1, (U), (a[0]))                                                                    \
  KELVORA_CALL(2, (U, U), (a[0], a[1]))                                                           \
  KELVORA_CALL(3, (U, U, U), (a[0], a[1], a[2]))                                                  \
  KELVORA_CALL(4, (U, U, U, U), (a[0], a[1], a[2], a[3]))                                         \
  KELVORA_CALL(5, (U, U, U, U, U), (a[0], a[1], a[2], a[3], a[4]))                                \
  KELVORA_CALL(6, (U, U, U, U, U, U), (a[0], a[1], a[2], a[3], a[4], a[5]))                       \
  KELVORA_CALL(7, (U, U, U, U, U, U, U), (a[0], a[1], a[2], a[3], a[4], a[5], a[6]))              \
  KELVORA_CALL(8, (U, U, U, U, U, U, U, U), (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]))     \
  KELVORA_CALL(9, (U, U, U, U, U, U, U, U, U),                                                    \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]))                            \
  KELVORA_CALL(10, (U, U, U, U, U, U, U, U, U, U),                                                \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]))                      \
  KELVORA_CALL(11, (U, U, U, U, U, U, U, U, U, U, U),                                             \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10]))               \
  KELVORA_CALL(12, (U, U, U, U, U, U, U, U, U, U, U, U),                                          \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11]))        \
  KELVORA_CALL(13, (U, U, U, U, U, U, U, U, U, U, U, U, U),                                       \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12])) \
  KELVORA_CALL(                                                                                   \
      14, (U, U, U, U, U, U, U, U, U, U, U, U, U, U),                                             \
      (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13]))   \
  KELVORA_CALL(15, (U, U, U, U, U, U, U, U, U, U, U, U, U, U, U),                                 \
               (a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12],  \
                a[13], a[14]))

#define KELVORA_CONVENTION KELVORA_STDCALL
__attribute__((noinline)) std::uint32_t invokeCalleeCleans(std::uintptr_t address,
                                                           const std::uint32_t* a,
                                                           std::size_t count) {
  using U = std::uint32_t;
  switch (count) { KELVORA_CALL_CASES }
  return 0;
}
#undef KELVORA_CONVENTION

#define KELVORA_CONVENTION
__attribute__((noinline)) std::uint32_t invokeCallerCleans(std::uintptr_t address,
                                                           const std::uint32_t* a,
                                                           std::size_t count) {
  using U = std::uint32_t;
  switch (count) { KELVORA_CALL_CASES }
  return 0;
}
#undef KELVORA_CONVENTION
#undef KELVORA_CALL_CASES
#undef KELVORA_CALL

}  // namespace

void RegistryTool::probe64BitWindows() noexcept {
  is64BitWindows = 0;
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  using Fn = UINT(WINAPI*)(LPSTR, UINT);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "GetSystemWow64DirectoryA")));
  if (!fn) return;
  char buffer[255];
  if (fn(buffer, sizeof buffer) > 0) is64BitWindows = 1;
}

HKEY RegistryTool::rootHandle(int root) {
  switch (root) {
    case kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case kCurrentUser:
      return HKEY_CURRENT_USER;
    case kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kUsers:
      return HKEY_USERS;
    default:
      return nullptr;
  }
}

const char* RegistryTool::rootName(int root) {
  return rootNameOf(root);
}

LONG RegistryTool::openKey(HKEY root, const std::string& path, platform::UniqueKey& key) {
  LONG rc = ::RegOpenKeyA(root, path.c_str(), key.put());
  if (rc == ERROR_SUCCESS && key.get() == root && !platform::isPredefinedKey(root)) {
    // That is the caller's handle, not ours to close: take a new one.
    key.release();
    rc = ::RegOpenKeyExA(root, nullptr, 0, MAXIMUM_ALLOWED, key.put());
    if (rc == ERROR_SUCCESS && key.get() == root) {
      key.release();
      rc = ERROR_INVALID_HANDLE;
    }
  }
  return rc;
}

LONG RegistryTool::openKey64(HKEY root, const std::string& path, platform::UniqueKey& key) {
  return ::RegOpenKeyExA(root, path.c_str(), 0, kQuery64, key.put());
}

std::string RegistryTool::splitValuePath(std::string& path, bool& isKeyPath) {
  return registry::splitValuePath(path, isKeyPath, platform::ansiLeadBytes());
}

std::string RegistryTool::bytesToHex(const Bytes& bytes, std::optional<int> start,
                                     std::optional<int> count, bool commaSeparated) {
  return registry::bytesToHex(bytes, start, count, commaSeparated);
}

Bytes RegistryTool::ansiToUtf16(const std::string& text) {
  if (text.empty()) return {};
  const int units = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (units <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, reinterpret_cast<LPWSTR>(wide.data()),
                            units) != units) {
    return {};
  }
  Bytes out;
  out.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

std::string RegistryTool::utf16ToAnsi(const Bytes& utf16) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(utf16[i]) |
                                                (static_cast<unsigned char>(utf16[i + 1]) << 8));
    if (unit == 0) break;
    wide += unit;
  }
  if (wide.empty()) return {};
  const auto* source = reinterpret_cast<LPCWSTR>(wide.c_str());
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, source, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, source, -1, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(bytes) - 1);
  return out;
}

bool RegistryTool::callAddress(std::uintptr_t address, bool callerCleans, std::uint32_t& result,
                               std::span<const std::uint32_t> args) {
  if (address == 0 || args.size() > 15) return false;
  result = callerCleans ? invokeCallerCleans(address, args.data(), args.size())
                        : invokeCalleeCleans(address, args.data(), args.size());
  return true;
}

std::optional<Bytes> RegistryTool::query(int root, const std::string& valuePath) {
  std::string path = valuePath;
  bool isKeyPath = false;
  const std::string name = splitValuePath(path, isKeyPath);
  platform::UniqueKey key;
  if (openKey(rootHandle(root), path, key) != ERROR_SUCCESS) return std::nullopt;
  return queryOpenKey(key.get(), name);
}

std::optional<Bytes> RegistryTool::query64(int root, const std::string& valuePath) {
  std::optional<Bytes> data;
  with64BitView(*this, [&] {
    std::string path = valuePath;
    bool isKeyPath = false;
    const std::string name = splitValuePath(path, isKeyPath);
    platform::UniqueKey key;
    if (openKey64(rootHandle(root), path, key) != ERROR_SUCCESS) return false;
    ReflectionOff reflection(key.get());
    data = queryOpenKey(key.get(), name);
    return true;
  });
  return data;
}

bool RegistryTool::valueExists(int root, const std::string& valuePath) {
  const auto data = is64BitWindows ? query64(root, valuePath) : query(root, valuePath);
  return data && !data->empty();
}

bool RegistryTool::deleteEntry(int root, const std::string& valuePath) {
  std::string path = valuePath;
  bool isKeyPath = false;
  splitValuePath(path, isKeyPath);
  platform::UniqueKey key;
  if (isKeyPath) {
    if (openKey(rootHandle(root), path, key) != ERROR_SUCCESS) return false;
    return ::RegDeleteValueA(key.get(), nullptr) == ERROR_SUCCESS;
  }
  const auto [parent, subkey] = splitParent(valuePath, platform::ansiLeadBytes());
  if (subkey.empty() || openKey(rootHandle(root), parent, key) != ERROR_SUCCESS) return false;
  return ::RegDeleteKeyA(key.get(), subkey.c_str()) == ERROR_SUCCESS;
}

bool RegistryTool::deleteEntry64(int root, const std::string& valuePath) {
  return with64BitView(*this, [&] {
    std::string path = valuePath;
    bool isKeyPath = false;
    splitValuePath(path, isKeyPath);
    const auto [parent, subkey] = isKeyPath ? std::pair{path, std::string()}
                                            : splitParent(valuePath, platform::ansiLeadBytes());
    if (!isKeyPath && subkey.empty()) return false;
    // Deleting needs more than the query right of openKey64.
    platform::UniqueKey key;
    if (::RegOpenKeyExA(rootHandle(root), parent.c_str(), 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                        key.put()) != ERROR_SUCCESS) {
      return false;
    }
    ReflectionOff reflection(key.get());
    if (isKeyPath) return ::RegDeleteValueA(key.get(), nullptr) == ERROR_SUCCESS;
    return ::RegDeleteKeyExA(key.get(), subkey.c_str(), KEY_WOW64_64KEY, 0) == ERROR_SUCCESS;
  });
}

std::vector<std::string> RegistryTool::read64Subkeys(int root, const std::string& keyPath) {
  std::vector<std::string> names;
  with64BitView(*this, [&] {
    platform::UniqueKey key;
    if (::RegOpenKeyExA(rootHandle(root), keyPath.c_str(), 0,
                        KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
      return false;
    }
    ReflectionOff reflection(key.get());
    // Key names are at most 255 characters.
    for (DWORD index = 0;; ++index) {
      char name[256] = {};
      DWORD length = sizeof name;
      const LONG rc =
          ::RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return true;
  });
  return names;
}

LONG RegistryTool::enumSubkey(HKEY key, int index, std::string& name) {
  char buffer[kNameBuffer] = {};
  const LONG rc = ::RegEnumKeyA(key, static_cast<DWORD>(index), buffer, kNameBuffer);
  name = rc == ERROR_SUCCESS ? std::string(buffer, ::strnlen(buffer, kNameBuffer)) : std::string();
  return rc;
}

LONG RegistryTool::enumValue(HKEY key, int index, ValueInfo& value) {
  char name[kNameBuffer] = {};
  BYTE data[kDataBuffer] = {};
  DWORD nameLength = kNameBuffer;
  DWORD dataLength = kDataBuffer;
  DWORD type = 0;
  const LONG rc = ::RegEnumValueA(key, static_cast<DWORD>(index), name, &nameLength, nullptr, &type,
                                  data, &dataLength);
  value = ValueInfo{};
  value.index = index;
  if (rc != ERROR_SUCCESS) return rc;
  value.type = static_cast<std::int32_t>(type);
  value.name.assign(name, ::strnlen(name, kNameBuffer));
  value.nameLength = static_cast<std::int32_t>(nameLength);
  value.dataLength = static_cast<std::int32_t>(dataLength);
  const bool cut = type == REG_DWORD || type == REG_MULTI_SZ;
  value.data.assign(reinterpret_cast<const char*>(data),
                    cut ? std::min<DWORD>(dataLength, kDataBuffer) : kDataBuffer);
  return rc;
}

int RegistryTool::subkeyCount(HKEY key) {
  DWORD count = 0;
  if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return static_cast<int>(count);
}

bool RegistryTool::write(int root, const std::string& valuePath, DWORD type, const Bytes& data) {
  std::string path = valuePath;
  bool isKeyPath = false;
  const std::string name = splitValuePath(path, isKeyPath);
  platform::UniqueKey key;
  if (::RegCreateKeyA(rootHandle(root), path.c_str(), key.put()) != ERROR_SUCCESS) return false;
  return ::RegSetValueExA(key.get(), name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegistryTool::writeDword(int root, const std::string& valuePath, std::uint32_t value) {
  Bytes data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return write(root, valuePath, REG_DWORD, data);
}

bool RegistryTool::writeBinary(int root, const std::string& valuePath, const Bytes& data) {
  return write(root, valuePath, REG_BINARY, data);
}

// Strings are stored with their terminating zero, as REG_SZ readers expect.
bool RegistryTool::writeString(int root, const std::string& valuePath, const std::string& text) {
  return write(root, valuePath, REG_SZ, Bytes(text.c_str(), text.size() + 1));
}

bool RegistryTool::writeMultiString(int root, const std::string& valuePath,
                                    const std::string& text) {
  return write(root, valuePath, REG_MULTI_SZ, linesToMultiString(text));
}

bool RegistryTool::writeExpandString(int root, const std::string& valuePath,
                                     const std::string& text) {
  return write(root, valuePath, REG_EXPAND_SZ, Bytes(text.c_str(), text.size() + 1));
}

std::uint32_t RegistryTool::readInt(int root, const std::string& valuePath) {
  return bytesToInt(query(root, valuePath).value_or(Bytes()));
}
Bytes RegistryTool::readBinary(int root, const std::string& valuePath) {
  return query(root, valuePath).value_or(Bytes());
}
std::string RegistryTool::readString(int root, const std::string& valuePath) {
  return platform::bytesToText(query(root, valuePath).value_or(Bytes()));
}
std::string RegistryTool::readMultiString(int root, const std::string& valuePath) {
  return multiStringToLines(query(root, valuePath).value_or(Bytes()));
}
std::string RegistryTool::readExpandString(int root, const std::string& valuePath) {
  return platform::bytesToText(query(root, valuePath).value_or(Bytes()));
}

std::uint32_t RegistryTool::read64Int(int root, const std::string& valuePath) {
  return bytesToInt(query64(root, valuePath).value_or(Bytes()));
}
Bytes RegistryTool::read64Binary(int root, const std::string& valuePath) {
  return query64(root, valuePath).value_or(Bytes());
}
std::string RegistryTool::read64String(int root, const std::string& valuePath) {
  return platform::bytesToText(query64(root, valuePath).value_or(Bytes()));
}
std::string RegistryTool::read64MultiString(int root, const std::string& valuePath) {
  return multiStringToLines(query64(root, valuePath).value_or(Bytes()));
}
std::string RegistryTool::read64ExpandString(int root, const std::string& valuePath) {
  return platform::bytesToText(query64(root, valuePath).value_or(Bytes()));
}

}  // namespace registry
