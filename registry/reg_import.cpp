// Writing in the 64-bit view: a one-value import file run through regedit.
#include <windows.h>

#include <cstdio>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/in_place.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "registry/reg_text.h"
#include "registry/registry_tool.h"
#include "registry/wow64.h"

namespace registry {
namespace {

unsigned g_tempCounter = 0;  // per process; UI thread only

// Claims a fresh "%x.tmp" in the temporary folder by creating it; CREATE_NEW
// makes the "is it free" test and the claim one step, and never goes
// through a link that stands at a name.
platform::UniqueFile createTempRegFile(std::string& path) {
  const std::string folder = platform::tempFolder();
  if (folder.empty()) return {};
  unsigned number = ::GetTickCount() + g_tempCounter++;
  for (int attempt = 0; attempt < 4096; ++attempt, ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "%x.tmp", number);
    path = folder + name;
    platform::UniqueFile file = platform::createInPlace(path, GENERIC_WRITE, 0);
    if (file) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  path.clear();
  return {};
}

// The system's regedit by full path: a bare name would be looked up in our
// own folder and the current one first, where anyone could plant one. With
// redirection off this is the 64-bit regedit on 64-bit Windows.
std::string regeditPath() {
  char folder[MAX_PATH] = {};
  const UINT n = ::GetSystemWindowsDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(folder, n) + "\\regedit.exe";
}

// Runs regedit silently on the file and waits for it; true when it started.
// The path is quoted so that a folder with spaces works.
bool runRegedit(const std::string& file) {
  const std::string regedit = regeditPath();
  if (regedit.empty()) return false;
  platform::UniqueKernelHandle process =
      platform::startProcess("\"" + regedit + "\" /s \"" + file + "\"", SW_HIDE, regedit);
  if (!process) return false;
  ::WaitForSingleObject(process.get(), INFINITE);
  return true;
}

}  // namespace

bool RegistryTool::importRegText(const std::string& text) {
  std::string path;
  bool started = false;
  {
    std::optional<RedirectionOff> redirection;
    if (is64BitWindows) redirection.emplace();
    // Held, readable but unchangeable, until regedit has ended: another
    // program of the user could otherwise swap what it imports.
    platform::UniqueFile file = createTempRegFile(path);
    if (!file) return false;
    platform::UniqueFile held =
        platform::sealWritten(std::move(file), path, text, FILE_ATTRIBUTE_NORMAL);
    if (!held) return false;
    started = runRegedit(path);
  }
  platform::removeInPlace(path);
  return started;
}

bool RegistryTool::importRegFile(const std::string& path) {
  if (!platform::fileExists(path)) return false;
  std::optional<RedirectionOff> redirection;
  if (is64BitWindows) redirection.emplace();
  return runRegedit(path);
}

bool RegistryTool::regWriteDword(int root, const std::string& valuePath, std::uint32_t value) {
  if (!is64BitWindows) return false;
  const auto text = regDwordText(rootName(root), valuePath, value, platform::ansiLeadBytes());
  return text && importRegText(*text);
}

bool RegistryTool::regWriteString(int root, const std::string& valuePath, const std::string& text) {
  if (!is64BitWindows) return false;
  const auto reg = regStringText(rootName(root), valuePath, text, platform::ansiLeadBytes());
  return reg && importRegText(*reg);
}

bool RegistryTool::regWriteBinary(int root, const std::string& valuePath, const Bytes& data) {
  if (!is64BitWindows) return false;
  const auto text = regBinaryText(rootName(root), valuePath, data, platform::ansiLeadBytes());
  return text && importRegText(*text);
}

bool RegistryTool::regWriteMultiString(int root, const std::string& valuePath,
                                       const std::string& text) {
  if (!is64BitWindows) return false;
  const auto reg =
      regMultiStringText(rootName(root), valuePath, ansiToUtf16(text), platform::ansiLeadBytes());
  return reg && importRegText(*reg);
}

bool RegistryTool::regWriteExpandString(int root, const std::string& valuePath,
                                        const std::string& text) {
  if (!is64BitWindows) return false;
  const auto reg =
      regExpandStringText(rootName(root), valuePath, ansiToUtf16(text), platform::ansiLeadBytes());
  return reg && importRegText(*reg);
}

}  // namespace registry
