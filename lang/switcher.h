// Reads and flips the two things After Effects takes its language from: the
// marker file in Documents and the token in application.xml. UI thread only;
// every failure is silent. No Windows API here: the system is handed in.
#pragma once

#include <string>
#include <string_view>

#include "lang/language_view.h"
#include "lang/switch_system.h"

namespace lang {

inline constexpr char kChineseWord[] = "中文";
inline constexpr char kEnglishWord[] = "英文";
inline constexpr char kMarkerName[] = "ae_force_english.txt";
inline constexpr char kInstallPathValue[] = "SOFTWARE\\Adobe\\After Effects\\16.0\\InstallPath";
inline constexpr char kXmlRelative[] = "AMT\\application.xml";

// Holds the install path and the application.xml path from the state display
// until the program ends. Borrows the view and the system, which must
// outlive it.
class Switcher {
 public:
  Switcher(LanguageView& view, SwitchSystem& system) : view_(view), system_(system) {}

  // At start-up: fills the two language labels and the path box; a path
  // that is not absolute stops it after the path box.
  void showState();
  // The switch button: toggles the marker, then rewrites application.xml in
  // the direction the file's label shows, then refreshes that label. A path
  // that is not absolute (no install path) is shown but never read or
  // rewritten: the click then toggles the marker alone.
  void toggle();

  const std::string& installPath() const { return installPath_; }
  const std::string& xmlPath() const { return xmlPath_; }

 private:
  // Rewrites `path` (the one in the path box) with every `from` made `to`;
  // true when the file was rewritten.
  bool rewrite(const std::string& path, std::string_view from, std::string_view to);
  std::string markerTestPath();
  std::string markerWritePath();
  // Shows the language the file holds; a file that cannot be read leaves the
  // labels as they are.
  void showFileLanguage(const std::string& path, bool alsoCurrent);

  LanguageView& view_;
  SwitchSystem& system_;
  std::string installPath_;
  std::string xmlPath_;
};

}  // namespace lang
