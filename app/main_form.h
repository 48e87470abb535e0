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
