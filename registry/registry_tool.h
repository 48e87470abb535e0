// The registry toolkit: reads, writes, enumerates and deletes keys and values
// in the 32-bit view (plain advapi32 calls) and the 64-bit view (KEY_WOW64_64KEY,
// file-system redirection off around each access, writes through regedit).
//
// Root keys are RootKind numbers (1..5). Values are addressed by a value path
// "Key\Path\Name"; a trailing backslash names the key's default value. No
// operation throws: failures give the empty result (false, 0, empty text or
// bytes). Every key opened is closed and redirection restored before return.
// Not thread-safe; the program uses it from the UI thread.
//
// The virtual operations stand in a fixed order; keep it when adding.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/text.h"
#include "registry/array.h"
#include "platform/handles.h"
#include "registry/value_path.h"

namespace registry {

class RedirectionOff;
using platform::Bytes;

struct ValueInfo {
  std::int32_t index = 0;
  std::int32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, REG_MULTI_SZ 7
  std::string name;
  std::int32_t nameLength = 0;
  Bytes data;
  std::int32_t dataLength = 0;
};

struct TreeEntry {
  enum Kind : std::int32_t { kKey = 1, kValue = 2 };
  std::int32_t kind = kKey;
  std::string path;  // below the root; for a value, the key that holds it
  ValueInfo value;   // empty for a key
};

// Progress routine of the listings: called with the number of entries so far.
#if defined(__i386__)
#define KELVORA_STDCALL __attribute__((stdcall))
#else
#define KELVORA_STDCALL
#endif
using ProgressRoutine = std::uint32_t(KELVORA_STDCALL*)(std::uint32_t count);

class RegistryTool {
 public:
  RegistryTool() = default;
  RegistryTool(const RegistryTool&) = delete;
  RegistryTool& operator=(const RegistryTool&) = delete;

  // Sets is64BitWindows: kernel32 exports GetSystemWow64DirectoryA and it
  // returns more than 0 for a 255-byte buffer. Run once after creation.
  void probe64BitWindows() noexcept;

  virtual void initialise() {}             // 0
  virtual void destroy() {}                // 1
  virtual void reserved2() {}              // 2
  virtual HKEY rootHandle(int root);       // 3
  virtual const char* rootName(int root);  // 4
  // `key` always gets a handle of its own, also for an empty path (where
  // RegOpenKeyA hands back `root` itself); the caller's handle stays its own.
  virtual LONG openKey(HKEY root, const std::string& path, platform::UniqueKey& key);  // 5
  virtual std::string splitValuePath(std::string& path, bool& isKeyPath);              // 6
  virtual std::string bytesToHex(const Bytes& bytes, std::optional<int> start,
                                 std::optional<int> count, bool commaSeparated);  // 7
  // UTF-16LE with its terminating zero character; empty text gives no bytes.
  virtual Bytes ansiToUtf16(const std::string& text);  // 8
  // Up to the first zero character; empty or odd trailing byte ignored.
  virtual std::string utf16ToAnsi(const Bytes& utf16);  // 9
  // Calls the code at `address` with the given 32-bit arguments (at most 15),
  // callee-cleans unless `callerCleans`; the result lands in `result`. False
  // for a null address or too many arguments. The caller vouches that the
  // code takes exactly these arguments.
  virtual bool callAddress(std::uintptr_t address, bool callerCleans, std::uint32_t& result,
                           std::span<const std::uint32_t> args);  // 10
  virtual void reserved11() {}                                    // 11
  virtual bool is64Bit() { return is64BitWindows != 0; }          // 12
  // On 64-bit Windows this looks in the 64-bit view.
  virtual bool valueExists(int root, const std::string& valuePath);  // 13
  // Runs regedit silently on the caller's .reg file (the 64-bit one on 64-bit
  // Windows). The file is opened in place and held, readable but not
  // writable or deletable, until regedit has ended; a link at `path` that
  // leads elsewhere is refused. False when the file is missing, refused,
  // held by a writer, or regedit did not start.
  virtual bool importRegFile(const std::string& path);  // 14
  virtual bool importRegText(const std::string& text);  // 15
  virtual void reserved16() {}                          // 16
  // "Key\" deletes the key's default value; "Key\Sub" deletes the subkey Sub.
  virtual bool deleteEntry(int root, const std::string& valuePath);  // 17
  virtual std::size_t listTree(Array<TreeEntry>& result, int root, std::string& keyPath, int mode,
                               ProgressRoutine progress);                                     // 18
  virtual LONG enumSubkey(HKEY key, int index, std::string& name);                            // 19
  virtual LONG enumValue(HKEY key, int index, ValueInfo& value);                              // 20
  virtual int subkeyCount(HKEY key);                                                          // 21
  virtual bool writeDword(int root, const std::string& valuePath, std::uint32_t value);       // 22
  virtual bool writeBinary(int root, const std::string& valuePath, const Bytes& data);        // 23
  virtual bool writeString(int root, const std::string& valuePath, const std::string& text);  // 24
  // One string per line ("\r\n" between them).
  virtual bool writeMultiString(int root, const std::string& valuePath, const std::string& text);
  virtual bool writeExpandString(int root, const std::string& valuePath,
                                 const std::string& text);                 // 26
  virtual std::uint32_t readInt(int root, const std::string& valuePath);   // 27
  virtual Bytes readBinary(int root, const std::string& valuePath);        // 28
  virtual std::string readString(int root, const std::string& valuePath);  // 29
  // Each string followed by "\r\n"; the list's closing zero adds one more.
  virtual std::string readMultiString(int root, const std::string& valuePath);   // 30
  virtual std::string readExpandString(int root, const std::string& valuePath);  // 31
  virtual void reserved32() {}                                                   // 32
  virtual bool deleteEntry64(int root, const std::string& valuePath);            // 33
  virtual std::size_t listTree64(Array<TreeEntry>& result, int root, std::string& keyPath, int mode,
                                 ProgressRoutine progress);                                 // 34
  virtual LONG openKey64(HKEY root, const std::string& path, platform::UniqueKey& key);     // 35
  virtual std::uint32_t read64Int(int root, const std::string& valuePath);                  // 36
  virtual Bytes read64Binary(int root, const std::string& valuePath);                       // 37
  virtual std::string read64String(int root, const std::string& valuePath);                 // 38
  virtual std::string read64MultiString(int root, const std::string& valuePath);            // 39
  virtual std::string read64ExpandString(int root, const std::string& valuePath);           // 40
  virtual bool regWriteDword(int root, const std::string& valuePath, std::uint32_t value);  // 41
  virtual bool regWriteString(int root, const std::string& valuePath,
                              const std::string& text);                                    // 42
  virtual bool regWriteBinary(int root, const std::string& valuePath, const Bytes& data);  // 43
  virtual bool regWriteMultiString(int root, const std::string& valuePath,
                                   const std::string& text);  // 44
  virtual bool regWriteExpandString(int root, const std::string& valuePath,
                                    const std::string& text);  // 45
  // The names of `keyPath`'s direct subkeys in the 64-bit view, in the
  // registry's order; none for a missing key and on 32-bit Windows.
  virtual std::vector<std::string> read64Subkeys(int root, const std::string& keyPath);  // 46
  // After the last slot, so that the operations keep slots 0 to 46.
  virtual ~RegistryTool() = default;

  std::int32_t is64BitWindows = 0;

 private:
  // The two-step query of one value; nullopt when the key or value cannot be read.
  std::optional<Bytes> query(int root, const std::string& valuePath);
  std::optional<Bytes> query64(int root, const std::string& valuePath);
  bool write(int root, const std::string& valuePath, DWORD type, const Bytes& data);
  // The listing needs to enumerate subkeys, which openKey64's query-only
  // access does not allow.
  LONG openKey64ForListing(HKEY root, const std::string& path, platform::UniqueKey& key);
  using Opener = LONG (RegistryTool::*)(HKEY, const std::string&, platform::UniqueKey&);
  template <typename MakeText>
  bool writeThroughRegedit(MakeText text);
  // `redirection`: switched off for the 64-bit listing (which also turns
  // reflection off), null for the plain one.
  std::size_t walkTree(Array<TreeEntry>& result, int root, const std::string& keyPath, int mode,
                       ProgressRoutine progress, Opener open, RedirectionOff* redirection);
};

}  // namespace registry
