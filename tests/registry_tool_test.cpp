#include "registry/registry_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/wow64.h"
#include "support/scratch_key.h"

namespace {

using registry::RegistryTool;
using testing_support::ScratchKey;
using testing_support::uniqueName;

constexpr int kCu = registry::kCurrentUser;
constexpr int kLm = registry::kLocalMachine;

class RegistryToolTest : public ::testing::Test {
 protected:
  RegistryToolTest() { tool.probe64BitWindows(); }
  RegistryTool tool;
};

TEST_F(RegistryToolTest, ProbeFindsA64BitSystem) {
  // The test prefix is 64-bit: both builds must see it.
  EXPECT_EQ(tool.is64BitWindows, 1);
  EXPECT_TRUE(tool.is64Bit());
}

TEST_F(RegistryToolTest, RootsByNumber) {
  EXPECT_EQ(tool.rootHandle(1), HKEY_CLASSES_ROOT);
  EXPECT_EQ(tool.rootHandle(2), HKEY_CURRENT_CONFIG);
  EXPECT_EQ(tool.rootHandle(3), HKEY_CURRENT_USER);
  EXPECT_EQ(tool.rootHandle(4), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(tool.rootHandle(5), HKEY_USERS);
  EXPECT_EQ(tool.rootHandle(6), nullptr);
  EXPECT_EQ(tool.rootName(0), nullptr);
  EXPECT_STREQ(tool.rootName(4), "HKEY_LOCAL_MACHINE");
}

TEST_F(RegistryToolTest, RoundTripsEveryTypeInThe32BitView) {
  ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraRoundTrip"));
  const std::string base = scratch.path() + "\\";

  for (std::uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    ASSERT_TRUE(tool.writeDword(kCu, base + "Dword", value));
    EXPECT_EQ(tool.readInt(kCu, base + "Dword"), value);
  }
  const std::string binary("\x00\x01\x00\xFF\x00", 5);
  ASSERT_TRUE(tool.writeBinary(kCu, base + "Binary", binary));
  EXPECT_EQ(tool.readBinary(kCu, base + "Binary"), binary);

  ASSERT_TRUE(tool.writeString(kCu, base + "中文名", "中文 text"));
  EXPECT_EQ(tool.readString(kCu, base + "中文名"), "中文 text");

  ASSERT_TRUE(tool.writeMultiString(kCu, base + "Multi", "one\r\n中文\r\nthree"));
  EXPECT_EQ(tool.readMultiString(kCu, base + "Multi"), "one\r\n中文\r\nthree\r\n\r\n");
  // What the reader gives back writes back unchanged.
  ASSERT_TRUE(tool.writeMultiString(kCu, base + "Multi", "one\r\n中文\r\nthree\r\n\r\n"));
  EXPECT_EQ(tool.readMultiString(kCu, base + "Multi"), "one\r\n中文\r\nthree\r\n\r\n");

  ASSERT_TRUE(tool.writeExpandString(kCu, base + "Expand", "%SystemRoot%\\x"));
  EXPECT_EQ(tool.readExpandString(kCu, base + "Expand"), "%SystemRoot%\\x");  // not expanded

  // The key's default value, through a trailing backslash.
  ASSERT_TRUE(tool.writeString(kCu, base + "Sub\\", "default"));
  EXPECT_EQ(tool.readString(kCu, base + "Sub\\"), "default");

  EXPECT_EQ(tool.readString(kCu, base + "Missing"), "");
  EXPECT_EQ(tool.readInt(kCu, base + "Missing"), 0u);
  EXPECT_EQ(tool.readString(kCu, "Software\\NoSuchKelvoraKey\\X"), "");
}

TEST_F(RegistryToolTest, ConvertsWhateverTypeIsStored) {
  ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraTypes"));
  const std::string base = scratch.path() + "\\";
  scratch.set("", "Text", REG_SZ, std::string("AB\0", 3));
  scratch.set("", "Short", REG_BINARY, std::string("\x01\x02", 2));
  scratch.set("", "Number", REG_DWORD, std::string("\x41\x42\x00\x00", 4));
  EXPECT_EQ(tool.readInt(kCu, base + "Text"), 0x4241u);
  EXPECT_EQ(tool.readInt(kCu, base + "Short"), 0x0201u);  // missing bytes are zero
  EXPECT_EQ(tool.readString(kCu, base + "Number"), "AB");
  EXPECT_EQ(tool.readBinary(kCu, base + "Number"), std::string("AB\0\0", 4));
}

TEST_F(RegistryToolTest, KeepsTheTwoViewsApart) {
  testing_support::ScratchKeys keys("SOFTWARE\\" + uniqueName("KelvoraViews"));
  const std::string& path = keys.path();
  keys.view64.set("", "Where", REG_SZ, std::string("64\0", 3));

  EXPECT_EQ(tool.read64String(kLm, path + "\\Where"), "64");
  EXPECT_TRUE(tool.valueExists(kLm, path + "\\Where"));
  // The subkey listing: the 64-bit view alone, whichever build asks.
  keys.view64.makeKey("16.0");
  keys.view32.makeKey("14.0");
  EXPECT_EQ(tool.read64Subkeys(kLm, path), std::vector<std::string>{"16.0"})
      << "a key only under Wow6432Node is never seen";

  ASSERT_TRUE(tool.writeString(kLm, path + "\\Written", "by the plain writer"));
  if (registry::isWow64Process()) {
    // The 32-bit build's plain calls go to Wow6432Node.
    EXPECT_EQ(tool.readString(kLm, path + "\\Where"), "");
    EXPECT_EQ(tool.read64String(kLm, path + "\\Written"), "");
    platform::UniqueKey wow;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                              KEY_QUERY_VALUE | KEY_WOW64_32KEY, wow.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueExA(wow.get(), "Written", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
  } else {
    // The 64-bit build's plain calls are the 64-bit view.
    EXPECT_EQ(tool.readString(kLm, path + "\\Where"), "64");
    EXPECT_EQ(tool.read64String(kLm, path + "\\Written"), "by the plain writer");
  }
}

TEST_F(RegistryToolTest, SixtyFourBitReadsOfEveryType) {
  const std::string path = "SOFTWARE\\" + uniqueName("KelvoraRead64");
  ScratchKey key(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
  key.set("", "D", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4));
  key.set("", "B", REG_BINARY, std::string("\x00\x01", 2));
  key.set("", "M", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
  key.set("", "E", REG_EXPAND_SZ, std::string("%X%\0", 4));
  key.makeKey("Leaf");
  const std::string base = path + "\\";
  EXPECT_EQ(tool.read64Int(kLm, base + "D"), 0xFFFFFFFFu);
  EXPECT_EQ(tool.read64Binary(kLm, base + "B"), std::string("\x00\x01", 2));
  EXPECT_EQ(tool.read64MultiString(kLm, base + "M"), "a\r\nb\r\n\r\n");
  EXPECT_EQ(tool.read64ExpandString(kLm, base + "E"), "%X%");

  // On 32-bit Windows every 64-bit operation gives its empty result at once.
  RegistryTool on32;
  on32.is64BitWindows = 0;
  EXPECT_EQ(on32.read64Int(kLm, base + "D"), 0u);
  EXPECT_EQ(on32.read64Binary(kLm, base + "B"), "");
  EXPECT_EQ(on32.read64String(kLm, base + "E"), "");
  EXPECT_EQ(on32.read64MultiString(kLm, base + "M"), "");
  EXPECT_EQ(on32.read64ExpandString(kLm, base + "E"), "");
  EXPECT_EQ(tool.read64Subkeys(kLm, path), std::vector<std::string>{"Leaf"});
  EXPECT_EQ(tool.read64Subkeys(kLm, base + "Missing"), std::vector<std::string>{});
  EXPECT_EQ(on32.read64Subkeys(kLm, path), std::vector<std::string>{});
  EXPECT_FALSE(on32.deleteEntry64(kLm, base + "Leaf"));
  EXPECT_TRUE(testing_support::keyExists(HKEY_LOCAL_MACHINE, base + "Leaf", KEY_WOW64_64KEY))
      << "an existing subkey stays";
}

TEST_F(RegistryToolTest, ValueExistsNeedsDataOfSomeSize) {
  const std::string path = "SOFTWARE\\" + uniqueName("KelvoraExists");
  ScratchKey key(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
  key.set("", "Full", REG_SZ, std::string("x\0", 2));
  key.set("", "Empty", REG_BINARY, std::string());
  EXPECT_TRUE(tool.valueExists(kLm, path + "\\Full"));
  EXPECT_FALSE(tool.valueExists(kLm, path + "\\Empty"));
  EXPECT_FALSE(tool.valueExists(kLm, path + "\\Missing"));
  EXPECT_FALSE(tool.valueExists(kLm, path + "Nope\\Full"));
}

TEST_F(RegistryToolTest, DeletesDefaultValuesAndSubkeys) {
  ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraDelete"));
  const std::string base = scratch.path() + "\\";
  scratch.set("Child", "", REG_SZ, std::string("d\0", 2));
  scratch.set("Child", "Named", REG_SZ, std::string("n\0", 2));
  scratch.makeKey("Gone");

  EXPECT_TRUE(tool.deleteEntry(kCu, base + "Child\\"));  // default value only
  EXPECT_EQ(tool.readString(kCu, base + "Child\\"), "");
  EXPECT_EQ(tool.readString(kCu, base + "Child\\Named"), "n");
  EXPECT_TRUE(tool.deleteEntry(kCu, base + "Gone"));  // the subkey
  EXPECT_FALSE(testing_support::keyExists(HKEY_CURRENT_USER, base + "Gone", 0));
  EXPECT_FALSE(tool.deleteEntry(kCu, base + "Gone"));
  EXPECT_FALSE(tool.deleteEntry(kCu, ""));

  const std::string path64 = "SOFTWARE\\" + uniqueName("KelvoraDelete64");
  ScratchKey key64(HKEY_LOCAL_MACHINE, path64, KEY_WOW64_64KEY);
  key64.set("Sub", "", REG_SZ, std::string("d\0", 2));
  key64.makeKey("Leaf");
  EXPECT_TRUE(tool.deleteEntry64(kLm, path64 + "\\Sub\\"));
  EXPECT_EQ(tool.read64String(kLm, path64 + "\\Sub\\"), "");
  EXPECT_TRUE(tool.deleteEntry64(kLm, path64 + "\\Leaf"));
  EXPECT_FALSE(testing_support::keyExists(HKEY_LOCAL_MACHINE, path64 + "\\Leaf", KEY_WOW64_64KEY));
}

// 誠 is D5 5C and 乗 81 5C in GBK: the second byte of each is the backslash byte.
TEST_F(RegistryToolTest, NamesWithABackslashByteInsideACharacter) {
  ScratchKey plain(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraDbcs"));
  const std::string path64 = "SOFTWARE\\" + uniqueName("KelvoraDbcs64");
  ScratchKey wide(HKEY_LOCAL_MACHINE, path64, KEY_WOW64_64KEY);
  auto rawValue = [](HKEY key, const std::string& name) {
    char data[64] = {};
    DWORD size = sizeof data - 1;
    return ::RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                              &size) == ERROR_SUCCESS
               ? std::string(data)
               : std::string("(missing)");
  };
  for (const std::string name : {"誠", "乗", "A乗B"}) {
    SCOPED_TRACE(name);
    // The 32-bit view, through the plain calls.
    const std::string base = plain.path() + "\\";
    ASSERT_TRUE(tool.writeString(kCu, base + name, "value"));
    EXPECT_EQ(rawValue(plain.get(), name), "value") << "a value of that name, in the key itself";
    EXPECT_EQ(tool.readString(kCu, base + name), "value");
    ASSERT_TRUE(tool.writeString(kCu, base + name + "\\", "default"));
    EXPECT_TRUE(testing_support::keyExists(HKEY_CURRENT_USER, base + name, 0));
    EXPECT_EQ(tool.readString(kCu, base + name + "\\"), "default");
    EXPECT_TRUE(tool.deleteEntry(kCu, base + name)) << "the subkey, not a default value";
    EXPECT_FALSE(testing_support::keyExists(HKEY_CURRENT_USER, base + name, 0));
    EXPECT_EQ(rawValue(plain.get(), name), "value");

    // The 64-bit view, written through regedit.
    const std::string base64 = path64 + "\\";
    ASSERT_TRUE(tool.regWriteString(kLm, base64 + name, "value64"));
    EXPECT_EQ(rawValue(wide.get(), name), "value64");
    EXPECT_EQ(tool.read64String(kLm, base64 + name), "value64");
    ASSERT_TRUE(tool.regWriteString(kLm, base64 + name + "\\", "default64"));
    EXPECT_EQ(tool.read64String(kLm, base64 + name + "\\"), "default64");
    EXPECT_TRUE(tool.deleteEntry64(kLm, base64 + name));
    EXPECT_FALSE(testing_support::keyExists(HKEY_LOCAL_MACHINE, base64 + name, KEY_WOW64_64KEY));
    EXPECT_EQ(rawValue(wide.get(), name), "value64");
  }
}

TEST_F(RegistryToolTest, EnumeratesUntilTheErrorCode) {
  ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraEnum"));
  scratch.makeKey("A");
  scratch.makeKey("B");
  scratch.makeKey("中文");
  scratch.set("", "s", REG_SZ, std::string("text\0", 5));
  scratch.set("", "d", REG_DWORD, std::string("\x07\0\0\0", 4));
  scratch.set("", "m", REG_MULTI_SZ, std::string("x\0\0", 3));

  EXPECT_EQ(tool.subkeyCount(scratch.get()), 3);
  {
    // An empty path opens the caller's key again; its owner closes only its own handle.
    platform::UniqueKey again;
    ASSERT_EQ(tool.openKey(scratch.get(), "", again), ERROR_SUCCESS);
    EXPECT_NE(again.get(), scratch.get());
    EXPECT_EQ(tool.subkeyCount(again.get()), 3);
  }
  EXPECT_EQ(tool.subkeyCount(scratch.get()), 3) << "the caller's handle is still open";
  std::vector<std::string> names;
  std::string name;
  LONG rc = 0;
  for (int i = 0; (rc = tool.enumSubkey(scratch.get(), i, name)) == ERROR_SUCCESS; ++i) {
    names.push_back(name);
  }
  EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names.size(), 3u);

  std::map<std::string, registry::ValueInfo> values;
  registry::ValueInfo info;
  for (int i = 0; tool.enumValue(scratch.get(), i, info) == ERROR_SUCCESS; ++i) {
    EXPECT_EQ(info.index, i);
    values[info.name] = info;
  }
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values["d"].type, REG_DWORD);
  EXPECT_EQ(values["d"].data, std::string("\x07\0\0\0", 4));  // cut to its length
  EXPECT_EQ(values["m"].data, std::string("x\0\0", 3));
  EXPECT_EQ(values["s"].type, REG_SZ);
  EXPECT_EQ(values["s"].dataLength, 5);
  EXPECT_EQ(values["s"].data.size(), 255u);  // other types keep the whole buffer
  EXPECT_EQ(values["s"].data.substr(0, 5), std::string("text\0", 5));
  EXPECT_EQ(values["s"].nameLength, 1);
}

TEST_F(RegistryToolTest, OversizedNamesAndDataEndWithTheErrorCode) {
  ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraOversize"));
  scratch.set("", std::string(255, 'n'), REG_SZ, std::string("x\0", 2));
  registry::ValueInfo info;
  EXPECT_NE(tool.enumValue(scratch.get(), 0, info), ERROR_SUCCESS);
  EXPECT_TRUE(info.name.empty());
  EXPECT_TRUE(info.data.empty());

  ScratchKey big(HKEY_CURRENT_USER, "Software\\" + uniqueName("KelvoraBigData"));
  big.set("", "big", REG_BINARY, std::string(4096, 'x'));
  EXPECT_NE(tool.enumValue(big.get(), 0, info), ERROR_SUCCESS);
  EXPECT_TRUE(info.data.empty());
  // The two-step read has no such limit.
  EXPECT_EQ(tool.readBinary(kCu, big.path() + "\\big").size(), 4096u);

  big.makeKey(std::string(255, 'k'));
  std::string name = "stale";
  EXPECT_NE(tool.enumSubkey(big.get(), 0, name), ERROR_SUCCESS);
  EXPECT_TRUE(name.empty());
}

TEST_F(RegistryToolTest, ConvertsBetweenAnsiAndUtf16) {
  const registry::Bytes wide = tool.ansiToUtf16("A中");
  EXPECT_EQ(wide, std::string("A\0\x2D\x4E\0\0", 6));  // U+4E2D and the terminator
  EXPECT_EQ(tool.utf16ToAnsi(wide), "A中");
  EXPECT_EQ(tool.ansiToUtf16(""), "");
  EXPECT_EQ(tool.utf16ToAnsi(""), "");
  EXPECT_EQ(tool.utf16ToAnsi(std::string("B\0\0\0C\0", 6)), "B");  // up to the first zero
}

// The slot of a virtual operation in the table of operations (GCC's ABI: a
// pointer to a virtual member holds 1 + its byte offset in the table).
template <typename Method>
std::size_t slotOf(Method method) {
  std::uintptr_t raw = 0;
  std::memcpy(&raw, &method, sizeof raw);
  return (raw - 1) / sizeof(void*);
}

TEST_F(RegistryToolTest, OperationsHoldTheirSlots) {
  using T = RegistryTool;
  const std::size_t slots[] = {slotOf(&T::initialise),
                               slotOf(&T::destroy),
                               slotOf(&T::reserved2),
                               slotOf(&T::rootHandle),
                               slotOf(&T::rootName),
                               slotOf(&T::openKey),
                               slotOf(&T::splitValuePath),
                               slotOf(&T::bytesToHex),
                               slotOf(&T::ansiToUtf16),
                               slotOf(&T::utf16ToAnsi),
                               slotOf(&T::callAddress),
                               slotOf(&T::reserved11),
                               slotOf(&T::is64Bit),
                               slotOf(&T::valueExists),
                               slotOf(&T::importRegFile),
                               slotOf(&T::importRegText),
                               slotOf(&T::reserved16),
                               slotOf(&T::deleteEntry),
                               slotOf(&T::listTree),
                               slotOf(&T::enumSubkey),
                               slotOf(&T::enumValue),
                               slotOf(&T::subkeyCount),
                               slotOf(&T::writeDword),
                               slotOf(&T::writeBinary),
                               slotOf(&T::writeString),
                               slotOf(&T::writeMultiString),
                               slotOf(&T::writeExpandString),
                               slotOf(&T::readInt),
                               slotOf(&T::readBinary),
                               slotOf(&T::readString),
                               slotOf(&T::readMultiString),
                               slotOf(&T::readExpandString),
                               slotOf(&T::reserved32),
                               slotOf(&T::deleteEntry64),
                               slotOf(&T::listTree64),
                               slotOf(&T::openKey64),
                               slotOf(&T::read64Int),
                               slotOf(&T::read64Binary),
                               slotOf(&T::read64String),
                               slotOf(&T::read64MultiString),
                               slotOf(&T::read64ExpandString),
                               slotOf(&T::regWriteDword),
                               slotOf(&T::regWriteString),
                               slotOf(&T::regWriteBinary),
                               slotOf(&T::regWriteMultiString),
                               slotOf(&T::regWriteExpandString),
                               slotOf(&T::read64Subkeys)};
  ASSERT_EQ(std::size(slots), 47u);
  for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], i) << "operation " << i;
}

// Called through callAddress; both conventions, with a record of what arrived.
std::uint32_t g_seen[16];
std::uint32_t g_seenCount;

std::uint32_t KELVORA_STDCALL stdcall0() {
  return 42;
}
std::uint32_t KELVORA_STDCALL stdcall1(std::uint32_t a) {
  return a * 2;
}
std::uint32_t stdcall15Impl(const std::uint32_t* a) {
  std::uint32_t sum = 0;
  for (int i = 0; i < 15; ++i) {
    g_seen[i] = a[i];
    sum += a[i] * (i + 1);
  }
  g_seenCount = 15;
  return sum;
}
#define ARGS15                                                                                  \
  std::uint32_t a0, std::uint32_t a1, std::uint32_t a2, std::uint32_t a3, std::uint32_t a4,     \
      std::uint32_t a5, std::uint32_t a6, std::uint32_t a7, std::uint32_t a8, std::uint32_t a9, \
      std::uint32_t a10, std::uint32_t a11, std::uint32_t a12, std::uint32_t a13,               \
      std::uint32_t a14
#define LIST15 \
  { a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14 }
std::uint32_t KELVORA_STDCALL stdcall15(ARGS15) {
  const std::uint32_t a[] = LIST15;
  return stdcall15Impl(a);
}
std::uint32_t cdecl0() {
  return 7;
}
std::uint32_t cdecl1(std::uint32_t a) {
  return a + 1;
}
std::uint32_t cdecl15(ARGS15) {
  const std::uint32_t a[] = LIST15;
  return stdcall15Impl(a);
}

TEST_F(RegistryToolTest, CallsCodeByAddressInBothConventions) {
  std::vector<std::uint32_t> fifteen;
  std::uint32_t expected15 = 0;
  for (std::uint32_t i = 0; i < 15; ++i) {
    fifteen.push_back(1000 + i);
    expected15 += (1000 + i) * (i + 1);
  }
  const std::uint32_t one = 21;
  struct Case {
    const char* what;
    std::uintptr_t address;
    bool callerCleans;
    std::span<const std::uint32_t> args;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"stdcall 0", reinterpret_cast<std::uintptr_t>(&stdcall0), false, {}, 42},
      {"stdcall 1", reinterpret_cast<std::uintptr_t>(&stdcall1), false, {&one, 1}, 42},
      {"stdcall 15", reinterpret_cast<std::uintptr_t>(&stdcall15), false, fifteen, expected15},
      {"cdecl 0", reinterpret_cast<std::uintptr_t>(&cdecl0), true, {}, 7},
      {"cdecl 1", reinterpret_cast<std::uintptr_t>(&cdecl1), true, {&one, 1}, 22},
      {"cdecl 15", reinterpret_cast<std::uintptr_t>(&cdecl15), true, fifteen, expected15},
  };
  // A local kept across the calls shows that the stack is balanced afterwards.
  volatile std::uint32_t guard = 0xC0FFEE;
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : cases) {
      std::uint32_t result = 0;
      ASSERT_TRUE(tool.callAddress(c.address, c.callerCleans, result, c.args)) << c.what;
      EXPECT_EQ(result, c.expected) << c.what;
    }
  }
  EXPECT_EQ(guard, 0xC0FFEEu);
  EXPECT_EQ(g_seen[14], 1014u);
  std::uint32_t result = 5;
  EXPECT_FALSE(tool.callAddress(0, false, result, {}));
  const std::vector<std::uint32_t> sixteen(16, 0);
  EXPECT_FALSE(tool.callAddress(reinterpret_cast<std::uintptr_t>(&cdecl0), true, result, sixteen));
  EXPECT_EQ(result, 5u);
}

}  // namespace
