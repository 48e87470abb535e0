// What the language switch reads and shows, and nothing more: it knows no
// window and no control name. The program's main window implements it.
// UI thread only.
#pragma once

#include <string>
#include <string_view>

namespace lang {

class LanguageView {
 public:
  virtual ~LanguageView() = default;

  // The current language, "中文" or "英文".
  virtual void showCurrentLanguage(std::string_view word) = 0;
  // The language found in application.xml, as shown: what a click goes by.
  virtual std::string fileLanguage() const = 0;
  virtual void showFileLanguage(std::string_view word) = 0;
  // The path of application.xml, as shown: the file a click rewrites.
  virtual std::string xmlPath() const = 0;
  virtual void showXmlPath(std::string_view path) = 0;
  // The row of one other installation, by its name ("CC2014" ... "2026", or
  // a newer version's year, "2027", for the row kept for those): the
  // language its file holds ("中文", "英文", or empty when unknown) and the
  // file's path. Both empty empty the row. CC 2019's row is the two above.
  virtual void showVersionRow(std::string_view row, std::string_view word,
                              std::string_view path) = 0;
  // The switch button: off while the elevated step runs.
  virtual void enableSwitch(bool enabled) = 0;
  // The shield on the switch button: a click will ask for administrator rights.
  virtual void showShield(bool shield) = 0;
  // Says what a click could not do, and that After Effects must restart, in
  // one box captioned "切换提示"; lines are separated by "\n".
  virtual void tell(std::string_view text) = 0;
};

}  // namespace lang
