#include "lang/switcher.h"

#include "lang/set_language.h"
#include "lang/tokens.h"
#include "platform/path.h"

namespace lang {

// The existence test and the create/delete use different separators after
// the folder's own trailing one; both name the same file.
std::string Switcher::markerTestPath() {
  return platform::joinPathAsIs(system_.documentsFolder(), '\\', kMarkerName);
}
std::string Switcher::markerWritePath() {
  return platform::joinPathAsIs(system_.documentsFolder(), '/', kMarkerName);
}

void Switcher::showFileLanguage(const std::string& path, bool alsoCurrent) {
  // Held by another program without sharing: what it says is unknown, and a
  // guess would send the next click the wrong way.
  const auto contents = system_.readFile(path);
  if (!contents) return;
  const char* word =
      containsToken(*contents, kChineseToken, system_.leadBytes()) ? kChineseWord : kEnglishWord;
  if (alsoCurrent) view_.showCurrentLanguage(word);
  view_.showFileLanguage(word);
}

void Switcher::showState() {
  view_.showCurrentLanguage(system_.fileExists(markerTestPath()) ? kEnglishWord : kChineseWord);
  installPath_ = system_.installPath();
  xmlPath_ = installPath_ + kXmlRelative;
  view_.showXmlPath(xmlPath_);
  // Without the registry value the path is relative, and would be read in
  // the current folder (the program's own, Downloads typically): a file
  // there is not After Effects' own, and is never read or rewritten.
  if (!platform::isAbsolutePath(xmlPath_) || !system_.fileExists(xmlPath_)) return;
  // The file's token wins over the marker.
  showFileLanguage(xmlPath_, true);
  // A click will ask for administrator rights: say so before it does.
  view_.showShield(!system_.canOpenForWriting(xmlPath_));
}

void Switcher::toggle() {
  if (system_.fileExists(markerTestPath())) {
    // A link someone left at the marker's name is left alone, and so is
    // whatever it leads to.
    system_.removeFile(markerWritePath());
    view_.showCurrentLanguage(kChineseWord);
  } else {
    system_.createEmptyFile(markerWritePath());
    view_.showCurrentLanguage(kEnglishWord);
  }
  const std::string path = view_.xmlPath();
  if (!platform::isAbsolutePath(path)) return;
  bool rewritten = false;
  if (view_.fileLanguage() == kEnglishWord) {
    rewritten |= rewrite(path, kEnglishToken, kChineseToken);
  }
  if (view_.fileLanguage() == kChineseWord) {
    rewritten |= rewrite(path, kChineseToken, kEnglishToken);
  }
  // Refreshed only now: between the two tests it would undo the switch.
  if (system_.fileExists(path)) showFileLanguage(path, false);
  if (rewritten) system_.pause(1000);
}

bool Switcher::rewrite(const std::string& path, std::string_view from, std::string_view to) {
  const std::string contents = system_.readFile(path).value_or(std::string());
  // An unreadable or empty file is never replaced by a rewrite of nothing.
  if (contents.empty()) return false;
  int count = 0;
  const std::string changed = replaceToken(contents, from, to, system_.leadBytes(), &count);
  if (count == 0) return false;
  switch (system_.replaceFile(path, changed)) {
    case ReplaceResult::Replaced:
      return true;
    case ReplaceResult::Failed:
      return false;  // read-only or in use: no rights would help
    case ReplaceResult::Denied:
      break;
  }
  // Only the installation's own file goes to the elevated step, which finds
  // it by itself: a path typed into the box is the user's to write.
  if (path != xmlPath_) return false;
  return rewriteElevated(to);
}

bool Switcher::rewriteElevated(std::string_view to) {
  view_.enableSwitch(false);
  const ElevatedRun run = system_.setLanguageElevated(to);
  view_.enableSwitch(true);
  if (run.kind == ElevatedRun::Ran && run.exitCode == kSwitched) return true;
  if (run.kind == ElevatedRun::Declined) {
    view_.tell(kDeclinedText);
  } else if (run.kind != ElevatedRun::Ran || run.exitCode != kAlreadyThere) {
    view_.tell(kNotChangedText);
  }
  return false;
}

}  // namespace lang
