#include "lang/switcher.h"

#include "lang/tokens.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
#include "platform/path.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "registry/registry_tool.h"

namespace lang {
namespace {

// The existence test and the create/delete use different separators after
// the folder's own trailing one; both name the same file.
std::string markerTestPath() {
  return platform::joinPathAsIs(platform::documentsFolder(), '\\', kMarkerName);
}
std::string markerWritePath() {
  return platform::joinPathAsIs(platform::documentsFolder(), '/', kMarkerName);
}

}  // namespace

void Switcher::showFileLanguage(const std::string& path, bool alsoCurrent) {
  // Held by another program without sharing: what it says is unknown, and a
  // guess would send the next click the wrong way.
  const auto contents = platform::tryReadFile(path);
  if (!contents) return;
  const char* word = containsToken(*contents, kChineseToken, platform::ansiLeadBytes())
                         ? kChineseWord
                         : kEnglishWord;
  if (alsoCurrent) view_.showCurrentLanguage(word);
  view_.showFileLanguage(word);
}

void Switcher::showState() {
  view_.showCurrentLanguage(platform::fileExists(markerTestPath()) ? kEnglishWord : kChineseWord);
  installPath_ = registry_.read64String(registry::kLocalMachine, kInstallPathValue);
  xmlPath_ = installPath_ + kXmlRelative;
  view_.showXmlPath(xmlPath_);
  if (!platform::fileExists(xmlPath_)) return;
  // The file's token wins over the marker.
  showFileLanguage(xmlPath_, true);
}

void Switcher::toggle() {
  if (platform::fileExists(markerTestPath())) {
    // A link someone left at the marker's name is left alone, and so is
    // whatever it leads to.
    platform::removeInPlace(markerWritePath());
    view_.showCurrentLanguage(kChineseWord);
  } else {
    platform::createInPlace(markerWritePath(), GENERIC_WRITE, 0);  // empty, closed at once
    view_.showCurrentLanguage(kEnglishWord);
  }
  bool rewritten = false;
  if (view_.fileLanguage() == kEnglishWord) rewritten |= rewrite(kEnglishToken, kChineseToken);
  if (view_.fileLanguage() == kChineseWord) rewritten |= rewrite(kChineseToken, kEnglishToken);
  // Refreshed only now: between the two tests it would undo the switch.
  const std::string path = view_.xmlPath();
  if (platform::fileExists(path)) showFileLanguage(path, false);
  if (rewritten) platform::pause(1000);
}

bool Switcher::rewrite(std::string_view from, std::string_view to) {
  const std::string path = view_.xmlPath();
  const platform::Bytes contents = platform::readFile(path);
  // An unreadable or empty file is never replaced by a rewrite of nothing.
  if (contents.empty()) return false;
  int count = 0;
  const std::string changed = replaceToken(contents, from, to, platform::ansiLeadBytes(), &count);
  if (count == 0) return false;
  return platform::replaceFile(path, changed);
}

}  // namespace lang
