#include "app/main_window_language_view.h"

#include "app/main_form.h"
#include "lang/installations.h"

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

void MainWindowLanguageView::showVersionRow(std::string_view row, std::string_view word,
                                            std::string_view path) {
  for (const ids::VersionRowNames& names : ids::kVersionRows) {
    if (row != names.row) continue;
    form_.setText(names.language, word);
    form_.setText(names.path, path);
    return;
  }
  if (!lang::isNewerRow(row)) return;
  // A version newer than the form's rows: its year names the row.
  const ids::VersionRowNames& newer = ids::kNewerVersionRow;
  const bool empty = word.empty() && path.empty();
  form_.setText(newer.caption, empty ? std::string() : std::string(row) + "：");
  form_.setText(newer.language, word);
  form_.setText(newer.path, path);
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
