#include "lang/set_language.h"

#include "lang/switcher.h"
#include "lang/tokens.h"
#include "platform/path.h"
#include "platform/text.h"

namespace lang {
namespace {

enum class Outcome { Switched, AlreadyThere, Failed };

Outcome setFile(SwitchSystem& system, const std::string& path, std::string_view token) {
  const auto contents = system.readFile(path);
  // Never replaced by a rewrite of nothing.
  if (!contents || contents->empty()) return Outcome::Failed;
  const std::string_view from = token == kEnglishToken ? kChineseToken : kEnglishToken;
  int count = 0;
  const std::string changed = replaceToken(*contents, from, token, system.leadBytes(), &count);
  if (count == 0) return Outcome::AlreadyThere;
  return system.replaceFile(path, changed) == ReplaceResult::Replaced ? Outcome::Switched
                                                                      : Outcome::Failed;
}

}  // namespace

std::vector<std::string> machineXmlPaths(SwitchSystem& system) {
  std::vector<std::string> paths;
  const std::string install = system.installPath();
  // Relative would mean the current folder's file, which is nobody's
  // installation. So would a value without its last backslash: "AMT" glued
  // to the folder's name names a folder beside it, which anyone who may
  // make folders there could make.
  const std::size_t slash = platform::findLastOf(install, "\\/", system.leadBytes());
  std::string cc2019;
  if (!install.empty() && platform::isAbsolutePath(install) && slash == install.size() - 1) {
    cc2019 = install + kXmlRelative;
    if (system.fileExists(cc2019)) {
      paths.push_back(cc2019);
    } else {
      cc2019.clear();
    }
  }
  const auto exists = [&system](const std::string& path) { return system.fileExists(path); };
  for (const Installation& other : findInstallations(system.registeredVersions(), exists,
                                                     system.leadBytes(), kCc2019Row, cc2019)) {
    paths.push_back(other.xmlPath);
  }
  return paths;
}

SetLanguageCode setMachineLanguage(SwitchSystem& system, std::string_view token) {
  if (token != kEnglishToken && token != kChineseToken) return kRefused;
  const std::vector<std::string> paths = machineXmlPaths(system);
  if (paths.empty()) return kNoFile;
  bool switched = false, failed = false;
  // Each file on its own: one that fails stops none of the others.
  for (const std::string& path : paths) {
    switch (setFile(system, path, token)) {
      case Outcome::Switched:
        switched = true;
        break;
      case Outcome::Failed:
        failed = true;
        break;
      case Outcome::AlreadyThere:
        break;
    }
  }
  if (failed) return kFailed;
  return switched ? kSwitched : kAlreadyThere;
}

}  // namespace lang
