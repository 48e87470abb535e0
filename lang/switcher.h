// Reads and flips the two things After Effects takes its language from: the
// marker file in Documents and the token in application.xml. UI thread only;
// every failure is silent.
#pragma once

#include <string>
#include <string_view>

#include "lang/language_view.h"

namespace registry {
class RegistryTool;
}

namespace lang {

inline constexpr char kChineseWord[] = "中文";
inline constexpr char kEnglishWord[] = "英文";
inline constexpr char kMarkerName[] = "ae_force_english.txt";
inline constexpr char kInstallPathValue[] = "SOFTWARE\\Adobe\\After Effects\\16.0\\InstallPath";
inline constexpr char kXmlRelative[] = "AMT\\application.xml";

// Holds the install path and the application.xml path from the state display
// until the program ends. Borrows the view and the registry tool, which must
// outlive it.
class Switcher {
 public:
  Switcher(LanguageView& view, registry::RegistryTool& registry)
      : view_(view), registry_(registry) {}

  // At start-up: fills the two language labels and the path box.
  void showState();
  // The switch button: toggles the marker, then rewrites application.xml in
  // the direction the file's label shows, then refreshes that label.
  void toggle();

  const std::string& installPath() const { return installPath_; }
  const std::string& xmlPath() const { return xmlPath_; }

 private:
  // Rewrites the file named in the path box with every `from` made `to`;
  // true when the file was rewritten.
  bool rewrite(std::string_view from, std::string_view to);
  // Shows the language the file holds; a file that cannot be read leaves the
  // labels as they are.
  void showFileLanguage(const std::string& path, bool alsoCurrent);

  LanguageView& view_;
  registry::RegistryTool& registry_;
  std::string installPath_;
  std::string xmlPath_;
};

}  // namespace lang
