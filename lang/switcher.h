// Reads and flips the two things After Effects takes its language from: the
// marker file in Documents and the token in each installation's
// application.xml. UI thread only. No Windows API here: the system is
// handed in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lang/installations.h"
#include "lang/language_view.h"
#include "lang/switch_system.h"

namespace lang {

inline constexpr char kChineseWord[] = "中文";
inline constexpr char kEnglishWord[] = "英文";
inline constexpr char kMarkerName[] = "ae_force_english.txt";
inline constexpr char kInstallPathValue[] = "SOFTWARE\\Adobe\\After Effects\\16.0\\InstallPath";
inline constexpr char kXmlRelative[] = "AMT\\application.xml";
inline constexpr char kDeclinedText[] = "没有获得管理员权限，application.xml 未修改。";
inline constexpr char kNotChangedText[] = "application.xml 未能修改。";
// After the versions named, joined by "、".
inline constexpr char kLeftAsItWasText[] = " 的 application.xml 只读或正在使用，未修改。";
inline constexpr char kVersionsNotChangedText[] = " 的 application.xml 未能修改。";
inline constexpr char kRestartText[] = "After Effects 正在运行，重启 After Effects 后生效。";

// Holds the install path, the application.xml path and the other
// installations from the state display until the program ends. Borrows the
// view and the system, which must outlive it.
class Switcher {
 public:
  Switcher(LanguageView& view, SwitchSystem& system) : view_(view), system_(system) {}

  // At start-up: fills the current language, CC 2019's label and path box
  // (a path that is not absolute is shown and no more) and the row of every
  // other installation. CC 2019's file overrules the marker in the current
  // language; without that file, the newest installation's does.
  void showState();
  // The switch button: toggles the marker, rewrites CC 2019's file in the
  // direction its label shows and every other installation's to the
  // language the marker now says, asks the elevated step once for whatever
  // Windows refused, refreshes every label from its file and says in one
  // box what could not be done and whether After Effects must restart. A
  // path that is not absolute (no install path) is shown but never read or
  // rewritten.
  void toggle();

  const std::string& installPath() const { return installPath_; }
  const std::string& xmlPath() const { return xmlPath_; }

 private:
  struct Click;
  struct Row {
    Installation installation;
    bool shown = false;  // one installation per row of the window
  };
  enum class Outcome { Rewritten, AlreadyThere, Unreadable, Empty, Failed, Denied };

  // Rewrites `path` with every `from` made `to`, never with less than it read.
  Outcome rewrite(const std::string& path, std::string_view from, std::string_view to);
  void rewriteCc2019(const std::string& path, Click& click);
  void rewriteOther(const Row& row, std::string_view to, Click& click);
  void runElevated(Click& click);
  std::string markerTestPath();
  std::string markerWritePath();
  // "中文" or "英文" as the file holds; empty when it cannot be read.
  std::string languageOf(const std::string& path);
  // Shows the language the file holds; a file that cannot be read leaves the
  // labels as they are.
  void showFileLanguage(const std::string& path, bool alsoCurrent);
  // Finds the other installations and fills their rows; with `alsoCurrent`
  // the newest one's language goes to the current language as well.
  void showRows(bool alsoCurrent);
  void refreshRows();

  LanguageView& view_;
  SwitchSystem& system_;
  std::string installPath_;
  std::string xmlPath_;
  std::vector<Row> rows_;
};

}  // namespace lang
