// The language switch's view of the main window: the current language, and
// each version's row (its language label and path box), addressed by the
// form's control names.
#pragma once

#include "lang/language_view.h"
#include "platform/form.h"

namespace app {

// Borrows the form, which must outlive it.
class MainWindowLanguageView final : public lang::LanguageView {
 public:
  explicit MainWindowLanguageView(platform::Form& form) : form_(form) {}

  void showCurrentLanguage(std::string_view word) override;
  std::string fileLanguage() const override;
  void showFileLanguage(std::string_view word) override;
  std::string xmlPath() const override;
  void showXmlPath(std::string_view path) override;
  void showVersionRow(std::string_view row, std::string_view word, std::string_view path) override;
  void enableSwitch(bool enabled) override;
  void showShield(bool shield) override;
  void tell(std::string_view text) override;

 private:
  platform::Form& form_;
};

}  // namespace app
