#include "app/main_form.h"

#include "platform/form.h"
#include "build_config.h"

namespace app {
namespace {

using K = platform::ControlKind;

// Positions in 96-DPI pixels. Controls no code uses keep their place in the
// form; the three buttons without behaviour are shown disabled.
constexpr platform::ControlSpec kControls[] = {
    {"分组框1", K::GroupBox, ids::kFirstOtherId + 0, 10, 6, 540, 52, "MorvaneAE提示", true},
    {"标签1", K::Label, ids::kFirstOtherId + 1, 22, 28, 250, 20, "支持CC2014至2026 中英文切换",
     true},
    {"超级链接框1", K::Link, ids::kFeedbackLinkId, 330, 28, 210, 20, "更多功能尚未添加 留下意见",
     true},
    {"标签20", K::Label, ids::kFirstOtherId + 2, 20, 76, 70, 20, "当前语言：", true},
    {"当前语言", K::Label, ids::kCurrentLanguageId, 90, 76, 80, 20, "", true},
    {"切换_按钮", K::Button, ids::kSwitchButtonId, 380, 66, 170, 32, "一键切换AE中英文", true},
    {"分组框2", K::GroupBox, ids::kFirstOtherId + 3, 10, 106, 540, 404, "", true},
    {"标签300", K::Label, ids::kFirstOtherId + 4, 22, 127, 72, 20, "CC2014：", true},
    {"AE2014语言", K::Label, ids::kFirstOtherId + 5, 96, 127, 50, 20, "", true},
    {"标签5", K::Label, ids::kFirstOtherId + 6, 152, 127, 40, 20, "2014", true},
    {"编辑框13", K::Edit, ids::kFirstOtherId + 7, 194, 124, 346, 22, "", true},
    {"标签301", K::Label, ids::kFirstOtherId + 8, 22, 154, 72, 20, "CC2015：", true},
    {"AE2015语言", K::Label, ids::kFirstOtherId + 9, 96, 154, 50, 20, "", true},
    {"标签6", K::Label, ids::kFirstOtherId + 10, 152, 154, 40, 20, "2015", true},
    {"编辑框14", K::Edit, ids::kFirstOtherId + 11, 194, 151, 346, 22, "", true},
    {"标签302", K::Label, ids::kFirstOtherId + 12, 22, 181, 72, 20, "CC2015.3：", true},
    {"AE2016语言", K::Label, ids::kFirstOtherId + 13, 96, 181, 50, 20, "", true},
    {"标签7", K::Label, ids::kFirstOtherId + 14, 152, 181, 40, 20, "2016", true},
    {"编辑框15", K::Edit, ids::kFirstOtherId + 15, 194, 178, 346, 22, "", true},
    {"标签303", K::Label, ids::kFirstOtherId + 16, 22, 208, 72, 20, "CC2017：", true},
    {"AE2017语言", K::Label, ids::kFirstOtherId + 17, 96, 208, 50, 20, "", true},
    {"标签8", K::Label, ids::kFirstOtherId + 18, 152, 208, 40, 20, "2017", true},
    {"编辑框16", K::Edit, ids::kFirstOtherId + 19, 194, 205, 346, 22, "", true},
    {"标签304", K::Label, ids::kFirstOtherId + 20, 22, 235, 72, 20, "CC2018：", true},
    {"AE2018语言", K::Label, ids::kFirstOtherId + 21, 96, 235, 50, 20, "", true},
    {"标签3", K::Label, ids::kFirstOtherId + 22, 152, 235, 40, 20, "2018", true},
    {"编辑框17", K::Edit, ids::kFirstOtherId + 23, 194, 232, 346, 22, "", true},
    {"标签305", K::Label, ids::kFirstOtherId + 24, 22, 262, 72, 20, "CC2019：", true},
    {"DU2019语言", K::Label, ids::kFileLanguageId, 96, 262, 50, 20, "", true},
    {"标签4", K::Label, ids::kFirstOtherId + 25, 152, 262, 40, 20, "2019", true},
    {"编辑框19", K::Edit, ids::kXmlPathEditId, 194, 259, 346, 22, "", true},
    {"标签9", K::Label, ids::kFirstOtherId + 26, 22, 289, 72, 20, "2020：", true},
    {"标签AE20", K::Label, ids::kFirstOtherId + 27, 96, 289, 50, 20, "", true},
    {"标签11", K::Label, ids::kFirstOtherId + 28, 152, 289, 40, 20, "2020", true},
    {"编辑框20", K::Edit, ids::kFirstOtherId + 29, 194, 286, 346, 22, "", true},
    {"标签306", K::Label, ids::kFirstOtherId + 44, 22, 316, 72, 20, "2021：", true},
    {"AE2021语言", K::Label, ids::kFirstOtherId + 45, 96, 316, 50, 20, "", true},
    {"标签12", K::Label, ids::kFirstOtherId + 46, 152, 316, 40, 20, "2021", true},
    {"编辑框18", K::Edit, ids::kFirstOtherId + 30, 194, 313, 346, 22, "", true},
    {"标签307", K::Label, ids::kFirstOtherId + 47, 22, 343, 72, 20, "2022：", true},
    {"AE2022语言", K::Label, ids::kFirstOtherId + 48, 96, 343, 50, 20, "", true},
    {"标签13", K::Label, ids::kFirstOtherId + 49, 152, 343, 40, 20, "2022", true},
    {"编辑框22", K::Edit, ids::kFirstOtherId + 50, 194, 340, 346, 22, "", true},
    {"标签308", K::Label, ids::kFirstOtherId + 51, 22, 370, 72, 20, "2023：", true},
    {"AE2023语言", K::Label, ids::kFirstOtherId + 52, 96, 370, 50, 20, "", true},
    {"标签14", K::Label, ids::kFirstOtherId + 53, 152, 370, 40, 20, "2023", true},
    {"编辑框23", K::Edit, ids::kFirstOtherId + 54, 194, 367, 346, 22, "", true},
    {"标签309", K::Label, ids::kFirstOtherId + 55, 22, 397, 72, 20, "2024：", true},
    {"AE2024语言", K::Label, ids::kFirstOtherId + 56, 96, 397, 50, 20, "", true},
    {"标签15", K::Label, ids::kFirstOtherId + 57, 152, 397, 40, 20, "2024", true},
    {"编辑框24", K::Edit, ids::kFirstOtherId + 58, 194, 394, 346, 22, "", true},
    {"标签310", K::Label, ids::kFirstOtherId + 59, 22, 424, 72, 20, "2025：", true},
    {"AE2025语言", K::Label, ids::kFirstOtherId + 60, 96, 424, 50, 20, "", true},
    {"标签16", K::Label, ids::kFirstOtherId + 61, 152, 424, 40, 20, "2025", true},
    {"编辑框25", K::Edit, ids::kFirstOtherId + 62, 194, 421, 346, 22, "", true},
    {"标签311", K::Label, ids::kFirstOtherId + 63, 22, 451, 72, 20, "2026：", true},
    {"AE2026语言", K::Label, ids::kFirstOtherId + 64, 96, 451, 50, 20, "", true},
    {"标签17", K::Label, ids::kFirstOtherId + 65, 152, 451, 40, 20, "2026", true},
    {"编辑框26", K::Edit, ids::kFirstOtherId + 66, 194, 448, 346, 22, "", true},
    // A version newer than the table: its caption names the year at run time.
    {"标签312", K::Label, ids::kFirstOtherId + 67, 22, 478, 72, 20, "", true},
    {"AE新版语言", K::Label, ids::kFirstOtherId + 68, 96, 478, 50, 20, "", true},
    {"编辑框27", K::Edit, ids::kFirstOtherId + 69, 194, 475, 346, 22, "", true},
    {"标签21", K::Label, ids::kFirstOtherId + 31, 20, 520, 70, 20, "当前版本：", true},
    {"当前版本标签", K::Label, ids::kFirstOtherId + 32, 90, 520, 40, 20, "1.0", true},
    {"当前版本时间标签", K::Label, ids::kFirstOtherId + 33, 132, 520, 90, 20, "2019-02-19", true},
    {"标签22", K::Label, ids::kFirstOtherId + 34, 20, 544, 70, 20, "最新版本：", true},
    {"最新版本标签", K::Label, ids::kFirstOtherId + 35, 90, 544, 40, 20, "", true},
    {"最新版本时间标签", K::Label, ids::kFirstOtherId + 36, 132, 544, 90, 20, "", true},
    {"当前版本时间标签1", K::Label, ids::kFirstOtherId + 37, 240, 520, 45, 20, "推送：", true},
    {"最新版下载地址标签", K::Label, ids::kFirstOtherId + 38, 285, 520, 265, 20, "", true},
    {"当前版本时间标签2", K::Label, ids::kFirstOtherId + 39, 240, 544, 45, 20, "推送：", true},
    {"当前版本时间标签3", K::Label, ids::kFirstOtherId + 40, 20, 568, 45, 20, "类型：", true},
    {"类型", K::Label, ids::kFirstOtherId + 41, 66, 568, 150, 20, "", true},
    {"当前版本时间标签4", K::Label, ids::kFirstOtherId + 42, 240, 568, 45, 20, "次数：", true},
    {"次数", K::Label, ids::kFirstOtherId + 43, 285, 568, 100, 20, "", true},
    {"版本号", K::Label, ids::kVersionLabelId, 500, 568, 50, 20, build_config::kVersion, true},
    {"切换_按钮1", K::Button, ids::kNetOffButtonId, 10, 598, 120, 30, "一键断网", false},
    {"切换_按钮2", K::Button, ids::kNetOnButtonId, 140, 598, 130, 30, "一键连接网络", false},
    {"切换_按钮3", K::Button, ids::kDefenderButtonId, 280, 598, 270, 30,
     "开启/关闭 Windows Defender", false},
};

constexpr platform::FormSpec kMainForm = {"Kelvora",  560,       640,
                                          "微软雅黑", kControls, ids::kSwitchButton};

}  // namespace

const platform::FormSpec& mainFormSpec() {
  return kMainForm;
}

}  // namespace app
