#include "lang/switcher.h"

#include "app/control_ids.h"
#include "lang/tokens.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/pause.h"
#include "platform/shell.h"
#include "registry/registry_tool.h"

namespace lang {
namespace {

namespace ids = app::ids;

// The existence test and the create/delete use different separators; both
// name the same file.
std::string markerTestPath() {
  return platform::documentsFolder() + "\\" + kMarkerName;
}
std::string markerWritePath() {
  return platform::documentsFolder() + "/" + kMarkerName;
}

}  // namespace

void Switcher::showFileLanguage(const std::string& path, bool alsoCurrent) {
  const platform::Bytes contents = platform::readFile(path);
  const char* word = containsToken(contents, kChineseToken) ? kChineseWord : kEnglishWord;
  if (alsoCurrent) form_.setText(ids::kCurrentLanguage, word);
  form_.setText(ids::kFileLanguage, word);
}

void Switcher::showState() {
  form_.setText(ids::kCurrentLanguage,
                platform::fileExists(markerTestPath()) ? kEnglishWord : kChineseWord);
  installPath_ = registry_.read64String(registry::kLocalMachine, kInstallPathValue);
  xmlPath_ = installPath_ + kXmlRelative;
  form_.setText(ids::kXmlPathEdit, xmlPath_);
  if (!platform::fileExists(xmlPath_)) return;
  // The file's token wins over the marker.
  showFileLanguage(xmlPath_, true);
}

void Switcher::toggle() {
  if (platform::fileExists(markerTestPath())) {
    platform::deleteFile(markerWritePath());
    form_.setText(ids::kCurrentLanguage, kChineseWord);
  } else {
    platform::writeFile(markerWritePath(), {});
    form_.setText(ids::kCurrentLanguage, kEnglishWord);
  }
  bool rewritten = false;
  if (form_.text(ids::kFileLanguage) == kEnglishWord) {
    rewritten |= rewrite(kEnglishToken, kChineseToken);
  }
  if (form_.text(ids::kFileLanguage) == kChineseWord) {
    rewritten |= rewrite(kChineseToken, kEnglishToken);
  }
  // Refreshed only now: between the two tests it would undo the switch.
  const std::string path = form_.text(ids::kXmlPathEdit);
  if (platform::fileExists(path)) showFileLanguage(path, false);
  if (rewritten) platform::pause(1000);
}

bool Switcher::rewrite(std::string_view from, std::string_view to) {
  const std::string path = form_.text(ids::kXmlPathEdit);
  const platform::Bytes contents = platform::readFile(path);
  // An unreadable or empty file is never replaced by a rewrite of nothing.
  if (contents.empty()) return false;
  int count = 0;
  const std::string changed = replaceToken(contents, from, to, &count);
  if (count == 0) return false;
  return platform::replaceFile(path, changed);
}

}  // namespace lang
