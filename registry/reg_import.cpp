// Writing in the 64-bit view: a one-value import file run through regedit.
#include <windows.h>

#include <cstdio>
#include <optional>

#include "platform/code_page.h"
#include "platform/handles.h"
#include "platform/in_place.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/system_library.h"
#include "platform/shell.h"
#include "registry/reg_import.h"
#include "registry/reg_text.h"
#include "registry/registry_tool.h"
#include "registry/wow64.h"

namespace registry {
namespace {

unsigned g_tempCounter = 0;            // per process; UI thread only
std::optional<unsigned> g_nextNumber;  // set by tests, used once

// Claims a fresh "%x.tmp" in the temporary folder by creating it; CREATE_NEW
// makes the "is it free" test and the claim one step, and never goes
// through a link that stands at a name.
platform::UniqueFile createTempRegFile(std::string& path) {
  const std::string folder = platform::tempFolder();
  if (folder.empty()) return {};
  unsigned number = g_nextNumber ? *g_nextNumber : ::GetTickCount() + g_tempCounter++;
  g_nextNumber.reset();
  for (int attempt = 0; attempt < 4096; ++attempt, ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "%x.tmp", number);
    path = platform::joinPath(folder, name, platform::ansiLeadBytes());
    platform::UniqueFile file = platform::createInPlace(path, GENERIC_WRITE, 0);
    if (file) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  path.clear();
  return {};
}

// With redirection off this is the 64-bit regedit on 64-bit Windows.
std::string regeditPath() {
  return platform::systemFilePath(platform::SystemFolder::Windows, "regedit.exe");
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

void setNextImportNumber(unsigned number) {
  g_nextNumber = number;
}

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
  std::optional<RedirectionOff> redirection;
  if (is64BitWindows) redirection.emplace();
  // Held as the toolkit's own import files are, until regedit has ended:
  // readable, but nobody writes, swaps or deletes it meanwhile. A link at
  // the name, leading elsewhere, is refused.
  const platform::UniqueFile held = platform::openInPlace(path, GENERIC_READ, FILE_SHARE_READ);
  if (!held) return false;
  return runRegedit(path);
}

// The writes go to the 64-bit view through regedit; on 32-bit Windows there
// is none. `text` makes the .reg text, or nothing for a path it cannot name.
template <typename MakeText>
bool RegistryTool::writeThroughRegedit(MakeText text) {
  if (!is64BitWindows) return false;
  const std::optional<std::string> reg = text(platform::ansiLeadBytes());
  return reg && importRegText(*reg);
}

bool RegistryTool::regWriteDword(int root, const std::string& valuePath, std::uint32_t value) {
  return writeThroughRegedit(
      [&](const auto& lead) { return regDwordText(rootName(root), valuePath, value, lead); });
}

bool RegistryTool::regWriteString(int root, const std::string& valuePath, const std::string& text) {
  return writeThroughRegedit(
      [&](const auto& lead) { return regStringText(rootName(root), valuePath, text, lead); });
}

bool RegistryTool::regWriteBinary(int root, const std::string& valuePath, const Bytes& data) {
  return writeThroughRegedit(
      [&](const auto& lead) { return regBinaryText(rootName(root), valuePath, data, lead); });
}

bool RegistryTool::regWriteMultiString(int root, const std::string& valuePath,
                                       const std::string& text) {
  return writeThroughRegedit([&](const auto& lead) {
    return regMultiStringText(rootName(root), valuePath, ansiToUtf16(text), lead);
  });
}

bool RegistryTool::regWriteExpandString(int root, const std::string& valuePath,
                                        const std::string& text) {
  return writeThroughRegedit([&](const auto& lead) {
    return regExpandStringText(rootName(root), valuePath, ansiToUtf16(text), lead);
  });
}

}  // namespace registry
