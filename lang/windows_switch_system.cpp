#include "lang/windows_switch_system.h"

#include <windows.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/shell.h"

namespace lang {

std::string WindowsSwitchSystem::documentsFolder() {
  return platform::documentsFolder();
}

bool WindowsSwitchSystem::fileExists(const std::string& path) {
  return platform::fileExists(path);
}

std::optional<std::string> WindowsSwitchSystem::readFile(const std::string& path) {
  if (links_ == platform::Links::Follow) return platform::tryReadXml(path);
  // Held before the read: from here on the folder read is the folder written.
  heldFolder_ = platform::holdFolder(path, links_);
  if (!heldFolder_) return std::nullopt;
  return platform::tryReadXmlInPlace(path);
}

bool WindowsSwitchSystem::isOversized(const std::string& path) {
  return platform::isOversizedXml(path);
}

void WindowsSwitchSystem::createEmptyFile(const std::string& path) {
  platform::createInPlace(path, GENERIC_WRITE, 0);  // closed at once
}

void WindowsSwitchSystem::removeFile(const std::string& path) {
  platform::removeInPlace(path);
}

ReplaceResult WindowsSwitchSystem::replaceFile(const std::string& path, std::string_view bytes) {
  const platform::ReplaceResult result = platform::replaceFile(path, bytes, links_);
  if (result) return ReplaceResult::Replaced;
  return result.denied ? ReplaceResult::Denied : ReplaceResult::Failed;
}

bool WindowsSwitchSystem::canOpenForWriting(const std::string& path) {
  return platform::canOpenForWriting(path);
}

void WindowsSwitchSystem::pause(unsigned milliseconds) {
  platform::pause(milliseconds);
}

const platform::LeadBytes& WindowsSwitchSystem::leadBytes() {
  return platform::ansiLeadBytes();
}

bool WindowsSwitchSystem::afterEffectsRunning() {
  return platform::isProgramRunning({"AfterFX.exe", "AfterFX (Beta).exe"});
}

}  // namespace lang
