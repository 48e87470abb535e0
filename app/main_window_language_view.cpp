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

}  // namespace app
