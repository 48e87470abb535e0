#include "update/update_form.h"

#include "platform/form.h"

namespace update {
namespace {

using K = platform::ControlKind;

constexpr platform::ControlSpec kControls[] = {
    {ids::kProgressBar, K::ProgressBar, ids::kProgressBarId, 16, 16, 368, 22, ""},
    {ids::kStatusLabel, K::Label, ids::kStatusLabelId, 16, 48, 368, 20, ""},
    {ids::kTimer, K::Timer, ids::kTimerId, 0, 0, 0, 0, ""},
    {ids::kCancelButton, K::Button, ids::kCancelButtonId, 294, 76, 90, 28, "取消(&Q)"},
};
constexpr platform::FormSpec kUpdateForm = {ids::kTitle, 400,       116,
                                            "微软雅黑",  kControls, ids::kCancelButton};

}  // namespace

const platform::FormSpec& updateFormSpec() {
  return kUpdateForm;
}

}  // namespace update
