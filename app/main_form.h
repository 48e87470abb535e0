// The main window: its controls' names and IDs (shared with the tests that
// drive the real window) and its form data. No Windows API in this header.
#pragma once

namespace platform {
struct FormSpec;
}

namespace app {

const platform::FormSpec& mainFormSpec();

}  // namespace app

namespace app::ids {

// Names the program's code uses (GBK, the form's own names).
inline constexpr char kSwitchButton[] = "切换_按钮";
inline constexpr char kCurrentLanguage[] = "当前语言";
inline constexpr char kFileLanguage[] = "DU2019语言";
inline constexpr char kXmlPathEdit[] = "编辑框19";
inline constexpr char kVersionLabel[] = "版本号";
inline constexpr char kFeedbackLink[] = "超级链接框1";

// One row of the form per After Effects version: its caption, the label
// that shows its file's language and the box that shows its file's path.
// `row` names the row as the switch does ("CC2014" ... "2026").
struct VersionRowNames {
  const char* row;
  const char* caption;
  const char* language;
  const char* path;
};
inline constexpr VersionRowNames kVersionRows[] = {
    {"CC2014", "标签300", "AE2014语言", "编辑框13"},
    {"CC2015", "标签301", "AE2015语言", "编辑框14"},
    {"CC2015.3", "标签302", "AE2016语言", "编辑框15"},
    {"CC2017", "标签303", "AE2017语言", "编辑框16"},
    {"CC2018", "标签304", "AE2018语言", "编辑框17"},
    {"CC2019", "标签305", kFileLanguage, kXmlPathEdit},
    {"2020", "标签9", "标签AE20", "编辑框20"},
    {"2021", "标签306", "AE2021语言", "编辑框18"},
    {"2022", "标签307", "AE2022语言", "编辑框22"},
    {"2023", "标签308", "AE2023语言", "编辑框23"},
    {"2024", "标签309", "AE2024语言", "编辑框24"},
    {"2025", "标签310", "AE2025语言", "编辑框25"},
    {"2026", "标签311", "AE2026语言", "编辑框26"},
};
// The row for a version newer than the table: its caption is set to the
// version's year ("2027：") when one is installed; empty by design.
inline constexpr VersionRowNames kNewerVersionRow = {"", "标签312", "AE新版语言", "编辑框27"};

// A property of the main window, set once the start-up version check has
// run its last step: what the window shows from then on is settled, which
// automation (our tests among it) can wait for.
inline constexpr char kCheckDoneProperty[] = "Kelvora.UpdateCheckDone";

// Control IDs of the controls the tests read or click.
enum : int {
  kSwitchButtonId = 1001,
  kCurrentLanguageId = 1002,
  kFileLanguageId = 1003,
  kXmlPathEditId = 1004,
  kVersionLabelId = 1005,
  kFeedbackLinkId = 1006,
  kNetOffButtonId = 1007,
  kNetOnButtonId = 1008,
  kDefenderButtonId = 1009,
  kFirstOtherId = 1100,  // the rest of the form counts up from here
};

}  // namespace app::ids
