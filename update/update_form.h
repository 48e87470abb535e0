// The update window: its controls' names and IDs (shared with the tests that
// drive it) and its form data. No Windows API in this header.
#pragma once

namespace platform {
struct FormSpec;
}

namespace update {

const platform::FormSpec& updateFormSpec();

}  // namespace update

namespace update::ids {

inline constexpr char kTitle[] = "Kelvora 更新";
inline constexpr char kProgressBar[] = "进度条1";
inline constexpr char kStatusLabel[] = "标签2";
inline constexpr char kTimer[] = "时钟1";
inline constexpr char kCancelButton[] = "按钮1";

enum : int {
  kProgressBarId = 2001,
  kStatusLabelId = 2002,
  kTimerId = 2003,
  kCancelButtonId = 2004,
};

}  // namespace update::ids
