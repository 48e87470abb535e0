#include "lang/switcher.h"

#include <algorithm>

#include "lang/set_language.h"
#include "lang/tokens.h"
#include "platform/path.h"

namespace lang {

// What one click did and could not do: said in one box at its end.
struct Switcher::Click {
  // A file Windows refused this process, for the elevated step: `row` is
  // empty for CC 2019's, `to` the language it was to get.
  struct Refused {
    std::string path;
    std::string row;
    std::string_view to;
  };
  std::string_view target;  // the language the marker now says
  bool rewritten = false;
  bool declined = false;
  bool cc2019NotChanged = false;
  std::vector<Refused> refused;
  std::vector<std::string> leftAsItWas;  // rows whose file is read-only or in use
  std::vector<std::string> notChanged;   // rows whose file could not be switched

  static void name(std::vector<std::string>& rows, const std::string& row) {
    if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
  }
};

namespace {

std::string_view otherToken(std::string_view token) {
  return token == kEnglishToken ? kChineseToken : kEnglishToken;
}

std::string joined(const std::vector<std::string>& parts, std::string_view between) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += between;
    text += part;
  }
  return text;
}

}  // namespace

// The existence test and the create/delete use different separators after
// the folder's own trailing one; both name the same file.
std::string Switcher::markerTestPath() {
  return platform::joinPathAsIs(system_.documentsFolder(), '\\', kMarkerName);
}
std::string Switcher::markerWritePath() {
  return platform::joinPathAsIs(system_.documentsFolder(), '/', kMarkerName);
}

std::string Switcher::languageOf(const std::string& path) {
  // Held by another program without sharing: what it says is unknown, and a
  // guess would send the next click the wrong way.
  if (system_.isOversized(path)) return {};
  const auto contents = system_.readFile(path);
  if (!contents) return {};
  return containsToken(*contents, kChineseToken, system_.leadBytes()) ? kChineseWord : kEnglishWord;
}

void Switcher::showFileLanguage(const std::string& path, bool alsoCurrent) {
  const std::string word = languageOf(path);
  if (word.empty()) return;
  if (alsoCurrent) view_.showCurrentLanguage(word);
  view_.showFileLanguage(word);
}

void Switcher::showRows(bool alsoCurrent) {
  for (const Row& row : rows_) {
    if (row.shown) view_.showVersionRow(row.installation.row, "", "");
  }
  rows_.clear();
  const auto exists = [this](const std::string& path) { return system_.fileExists(path); };
  std::vector<Installation> found =
      findInstallations(system_.registeredVersions(), exists, system_.leadBytes(), kCc2019Row,
                        platform::isAbsolutePath(xmlPath_) ? xmlPath_ : std::string());
  bool newerShown = false;
  for (Installation& installation : found) {
    Row row{std::move(installation), false};
    const std::string word = languageOf(row.installation.xmlPath);
    // The newest installation's file, where CC 2019 has none.
    if (alsoCurrent && rows_.empty() && !word.empty()) view_.showCurrentLanguage(word);
    const bool newer = isNewerRow(row.installation.row);
    const bool taken =
        newer ? newerShown : std::any_of(rows_.begin(), rows_.end(), [&](const Row& earlier) {
          return earlier.shown && earlier.installation.row == row.installation.row;
        });
    if (!taken) {
      view_.showVersionRow(row.installation.row, word, row.installation.xmlPath);
      row.shown = true;
      newerShown |= newer;
    }
    rows_.push_back(std::move(row));
  }
}

void Switcher::refreshRows() {
  for (const Row& row : rows_) {
    if (!row.shown) continue;
    const std::string word = languageOf(row.installation.xmlPath);
    if (!word.empty()) view_.showVersionRow(row.installation.row, word, row.installation.xmlPath);
  }
}

void Switcher::showState() {
  view_.showCurrentLanguage(system_.fileExists(markerTestPath()) ? kEnglishWord : kChineseWord);
  installPath_ = system_.installPath();
  xmlPath_ = installPath_ + kXmlRelative;
  view_.showXmlPath(xmlPath_);
  // Without the registry value the path is relative, and would be read in
  // the current folder (the program's own, Downloads typically): a file
  // there is not After Effects' own, and is never read or rewritten.
  const bool cc2019 = platform::isAbsolutePath(xmlPath_) && system_.fileExists(xmlPath_);
  bool shield = false;
  if (cc2019) {
    // The file's token wins over the marker.
    showFileLanguage(xmlPath_, true);
    shield = !system_.canOpenForWriting(xmlPath_);
  }
  showRows(!cc2019);
  // A click will ask for administrator rights: say so before it does.
  for (const Row& row : rows_) shield |= !system_.canOpenForWriting(row.installation.xmlPath);
  if (cc2019 || !rows_.empty()) view_.showShield(shield);
}

void Switcher::toggle() {
  const bool markerWas = system_.fileExists(markerTestPath());
  if (markerWas) {
    // A link someone left at the marker's name is left alone, and so is
    // whatever it leads to.
    system_.removeFile(markerWritePath());
    view_.showCurrentLanguage(kChineseWord);
  } else {
    system_.createEmptyFile(markerWritePath());
    view_.showCurrentLanguage(kEnglishWord);
  }
  Click click;
  click.target = markerWas ? kChineseToken : kEnglishToken;
  const std::string path = view_.xmlPath();
  rewriteCc2019(path, click);
  for (const Row& row : rows_) rewriteOther(row, click.target, click);
  runElevated(click);
  // Refreshed only now: between CC 2019's two tests it would undo the switch.
  if (platform::isAbsolutePath(path) && system_.fileExists(path)) showFileLanguage(path, false);
  refreshRows();

  std::vector<std::string> said;
  if (click.declined) said.push_back(kDeclinedText);
  if (click.cc2019NotChanged) said.push_back(kNotChangedText);
  if (!click.leftAsItWas.empty())
    said.push_back(joined(click.leftAsItWas, "、") + kLeftAsItWasText);
  if (!click.notChanged.empty()) {
    said.push_back(joined(click.notChanged, "、") + kVersionsNotChangedText);
  }
  const bool changed = click.rewritten || system_.fileExists(markerTestPath()) != markerWas;
  if (changed && system_.afterEffectsRunning()) said.push_back(kRestartText);
  // One box per click, however many installations.
  if (!said.empty()) view_.tell(joined(said, "\n"));
  if (click.rewritten) system_.pause(1000);
}

void Switcher::rewriteCc2019(const std::string& path, Click& click) {
  if (!platform::isAbsolutePath(path)) return;
  if (system_.fileExists(path) && system_.isOversized(path)) {
    click.cc2019NotChanged = true;
    return;
  }
  const auto handle = [&](Outcome outcome, std::string_view to) {
    if (outcome == Outcome::Rewritten) click.rewritten = true;
    // Only the installation's own file goes to the elevated step, which
    // finds it by itself: a path typed into the box is the user's to write.
    // Read-only or in use: no rights would help, and nothing is said.
    if (outcome == Outcome::Denied && path == xmlPath_) click.refused.push_back({path, {}, to});
  };
  // Two tests on fresh reads of the label: the first never writes it, so at
  // most one of them runs.
  if (view_.fileLanguage() == kEnglishWord) {
    handle(rewrite(path, kEnglishToken, kChineseToken), kChineseToken);
  }
  if (view_.fileLanguage() == kChineseWord) {
    handle(rewrite(path, kChineseToken, kEnglishToken), kEnglishToken);
  }
}

void Switcher::rewriteOther(const Row& row, std::string_view to, Click& click) {
  const std::string& path = row.installation.xmlPath;
  const std::string& name = row.installation.row;
  if (!system_.fileExists(path)) return;  // uninstalled since
  if (system_.isOversized(path)) {
    Click::name(click.notChanged, name);
    return;
  }
  switch (rewrite(path, otherToken(to), to)) {
    case Outcome::Rewritten:
      click.rewritten = true;
      break;
    case Outcome::AlreadyThere:
      break;
    case Outcome::Unreadable:
    case Outcome::Failed:
      Click::name(click.leftAsItWas, name);
      break;
    case Outcome::Empty:
      Click::name(click.notChanged, name);
      break;
    case Outcome::Denied:
      click.refused.push_back({path, name, to});
      break;
  }
}

Switcher::Outcome Switcher::rewrite(const std::string& path, std::string_view from,
                                    std::string_view to) {
  const auto contents = system_.readFile(path);
  if (!contents) return Outcome::Unreadable;
  // An empty file is never replaced by a rewrite of nothing.
  if (contents->empty()) return Outcome::Empty;
  int count = 0;
  const std::string changed = replaceToken(*contents, from, to, system_.leadBytes(), &count);
  if (count == 0) return Outcome::AlreadyThere;
  switch (system_.replaceFile(path, changed)) {
    case ReplaceResult::Replaced:
      return Outcome::Rewritten;
    case ReplaceResult::Failed:
      return Outcome::Failed;  // read-only or in use: no rights would help
    case ReplaceResult::Denied:
      break;
  }
  return Outcome::Denied;
}

void Switcher::runElevated(Click& click) {
  if (click.refused.empty()) return;
  // One consent prompt per click, however many files Windows refused. The
  // step sets every installation to one language: CC 2019's direction where
  // its file is among them, as it always was; the marker's otherwise.
  std::string_view token = click.target;
  for (const Click::Refused& refused : click.refused) {
    if (refused.row.empty()) token = refused.to;
  }
  view_.enableSwitch(false);
  const ElevatedRun run = system_.setLanguageElevated(token);
  view_.enableSwitch(true);
  if (run.kind == ElevatedRun::Declined) {
    click.declined = true;
    return;
  }
  const bool ran = run.kind == ElevatedRun::Ran;
  if (ran && run.exitCode == kSwitched) {
    click.rewritten = true;
    return;
  }
  if (ran && run.exitCode == kAlreadyThere) return;
  // Partly or not at all: each file as it now stands says which.
  for (const Click::Refused& refused : click.refused) {
    bool switched = false;
    if (ran) {
      const auto contents = system_.readFile(refused.path);
      switched = contents && !contents->empty() &&
                 !containsToken(*contents, otherToken(token), system_.leadBytes());
    }
    if (switched) {
      click.rewritten = true;
    } else if (refused.row.empty()) {
      click.cc2019NotChanged = true;
    } else {
      Click::name(click.notChanged, refused.row);
    }
  }
}

}  // namespace lang
