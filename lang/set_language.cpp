#include "lang/set_language.h"

#include "lang/switcher.h"
#include "lang/tokens.h"
#include "platform/path.h"

namespace lang {

SetLanguageCode setMachineLanguage(SwitchSystem& system, std::string_view token) {
  if (token != kEnglishToken && token != kChineseToken) return kRefused;
  const std::string install = system.installPath();
  // Relative would mean the current folder's file, which is nobody's
  // installation.
  if (install.empty() || !platform::isAbsolutePath(install)) return kNoFile;
  const std::string path = install + kXmlRelative;
  if (!system.fileExists(path)) return kNoFile;
  const auto contents = system.readFile(path);
  // Never replaced by a rewrite of nothing.
  if (!contents || contents->empty()) return kFailed;
  const std::string_view from = token == kEnglishToken ? kChineseToken : kEnglishToken;
  int count = 0;
  const std::string changed = replaceToken(*contents, from, token, system.leadBytes(), &count);
  if (count == 0) return kAlreadyThere;
  return system.replaceFile(path, changed) == ReplaceResult::Replaced ? kSwitched : kFailed;
}

}  // namespace lang
