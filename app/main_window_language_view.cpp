#include "app/main_window_language_view.h"

#include "app/main_form.h"

namespace app {

void MainWindowLanguageView::showCurrentLanguage(std::string_view word) {
  form_.setText(ids::kCurrentLanguage, word);
}

std::string MainWindowLanguageView::fileLanguage() const {
  return form_.text(ids::kFileLanguage);
}

void MainWindowLanguageView::showFileLanguage(std::string_view word) {
  form_.setText(ids::kFileLanguage, word);
}

std::string MainWindowLanguageView::xmlPath() const {
  return form_.text(ids::kXmlPathEdit);
}

void MainWindowLanguageView::showXmlPath(std::string_view path) {
  form_.setText(ids::kXmlPathEdit, path);
}

void MainWindowLanguageView::enableSwitch(bool enabled) {
  form_.setEnabled(ids::kSwitchButton, enabled);
}

void MainWindowLanguageView::showShield(bool shield) {
  form_.setShield(ids::kSwitchButton, shield);
}

void MainWindowLanguageView::tell(std::string_view text) {
  platform::messageBox(text, "切换提示", MB_OK | MB_ICONWARNING, form_.hwnd());
}

}  // namespace app
