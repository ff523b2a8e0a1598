#include "ui/layout.h"

#include <iterator>

namespace lanchuan {

namespace {

using Id = ControlId;
using K = ControlKind;
using F = FontKind;
using P = PictureSet;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kTitleText{48, 148, 173};
constexpr Rgb kBlueText{44, 118, 158};
constexpr Rgb kButtonText{36, 58, 84};
constexpr Rgb kDivider{208, 226, 240};
constexpr Rect kNoRect{0, 0, 0, 0};
constexpr Id kPage = Id::图片框_正常页;

// One row per control; kept as rows, which read better than any formatting.
// clang-format off
const ControlRow kControls[] = {
    // id, name, kind, parent, {x, y, w, h}, caption, flags, text, back, font, pictures, period
    {Id::透明标签_标题, "透明标签_标题", K::kTransparentLabel, kMainWindow, {8, 0, 264, 32},
     "     蓝川自动校时 v 3.5", kShown, kTitleText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::设置按钮, "设置按钮", K::kImageButton, kMainWindow, {188, 1, 27, 17}, "", kShown,
     kBlack, kWhite, F::kDefaultGui, P::kSettings, 0},
    {Id::图形按钮_最小化, "图形按钮_最小化", K::kImageButton, kMainWindow, {215, 1, 26, 17}, "",
     kShown, kBlack, kWhite, F::kDefaultGui, P::kMinimise, 0},
    {Id::图形按钮_关闭, "图形按钮_关闭", K::kImageButton, kMainWindow, {240, 1, 36, 17}, "",
     kShown, kBlack, kWhite, F::kDefaultGui, P::kClose, 0},
    {Id::图片框_正常页, "图片框_正常页", K::kPanel, kMainWindow, {5, 30, 270, 327}, "", kShown,
     kBlack, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::时钟_更新, "时钟_更新", K::kTimer, kMainWindow, kNoRect, "", kEnabled, kBlack, kWhite,
     F::kDefaultGui, P::kNone, 2000},

    {Id::标_时间服务器1, "标_时间服务器1", K::kLabel, kPage, {12, 16, 60, 22}, "标准时间：",
     kVisible, kBlueText, kWhite, F::kSong14, P::kNone, 0},
    {Id::编辑框_服务器时间, "编辑框_服务器时间", K::kEditBox, kPage, {80, 16, 180, 22}, "",
     kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::标_时间服务器2, "标_时间服务器2", K::kLabel, kPage, {12, 57, 60, 22}, "本机时间：",
     kVisible, kBlueText, kWhite, F::kSong14, P::kNone, 0},
    {Id::编辑框_系统时间, "编辑框_系统时间", K::kEditBox, kPage, {80, 57, 180, 22}, "", kShown,
     kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::图形按钮_获取时间, "图形按钮_获取时间", K::kImageButton, kPage, {18, 95, 94, 28},
     "获取时间", kShown, kButtonText, kWhite, F::kDefaultGui, P::kBigButton, 0},
    {Id::图形按钮_开始校准, "图形按钮_开始校准", K::kImageButton, kPage, {164, 95, 94, 28},
     "开始校准", kShown, kButtonText, kWhite, F::kDefaultGui, P::kBigButton, 0},
    {Id::标签4, "标签4", K::kLabel, kPage, {2, 131, 264, 1}, "", kShown, kBlueText, kDivider,
     F::kDefaultGui, P::kNone, 0},
    {Id::标_时间服务器, "标_时间服务器", K::kLabel, kPage, {13, 142, 70, 20}, "时间服务器：",
     kVisible, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::组合框1, "组合框1", K::kComboBox, kPage, {91, 142, 168, 20}, "http://www.ntsc.ac.cn",
     kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::选择框_自动尝试下一服务器, "选择框_自动尝试下一服务器", K::kCheckBox, kPage,
     {14, 171, 189, 20}, "连接失败后自动尝试下一服务器", kShown | kTicked, kBlueText, kWhite,
     F::kDefaultGui, P::kNone, 0},
    {Id::选择框_间隔校时, "选择框_间隔校时", K::kCheckBox, kPage, {15, 196, 161, 20},
     "每隔     秒自动校准一次", kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::编辑框_间隔秒, "编辑框_间隔秒", K::kEditBox, kPage, {58, 196, 28, 16}, "5",
     kShown | kTabStop | kIntegerInput, kBlack, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::选择框_自动校准, "选择框_自动校准", K::kCheckBox, kPage, {15, 221, 153, 20},
     "启动     秒后自动校准", kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::编辑框_延迟秒, "编辑框_延迟秒", K::kEditBox, kPage, {58, 221, 28, 16}, "60",
     kShown | kTabStop | kIntegerInput, kBlack, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::选择框_自动退出, "选择框_自动退出", K::kCheckBox, kPage, {15, 246, 109, 20},
     "校准后自动退出", kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::选择框_开机后自动启动, "选择框_开机后自动启动", K::kCheckBox, kPage, {15, 271, 109, 20},
     "开机后自动启动", kShown, kBlueText, kWhite, F::kDefaultGui, P::kNone, 0},
    {Id::画板1, "画板1", K::kCanvas, kPage, {176, 205, 80, 80}, "", kShown, kBlack, kWhite,
     F::kDefaultGui, P::kDial, 0},
    {Id::标签_底栏, "标签_底栏", K::kLabel, kPage, {12, 303, 253, 24},
     "蓝川工作室出品，免费使用，欢迎提出建议", kShown | kHandCursor, kBlueText, kWhite,
     F::kDefaultGui, P::kNone, 0},
    {Id::时钟1, "时钟1", K::kTimer, kPage, kNoRect, "", kEnabled, kBlack, kWhite, F::kDefaultGui,
     P::kNone, 1000},
    {Id::时钟_间隔校时, "时钟_间隔校时", K::kTimer, kPage, kNoRect, "", kEnabled, kBlack, kWhite,
     F::kDefaultGui, P::kNone, 0},
    {Id::气球提示框1, "气球提示框1", K::kBalloonTip, kPage, kNoRect, "", kEnabled, kBlack,
     Rgb{255, 255, 225}, F::kDefaultGui, P::kNone, 0},
};
// clang-format on
static_assert(std::size(kControls) == static_cast<std::size_t>(kControlCount),
              "one layout row per control");

}  // namespace

const WindowRow kMainWindowRow = {"LanchuanTimeSyncMain", "蓝川自动校时v2.8", 280, 366, kWhite};

const ControlRow& control_row(ControlId id) { return kControls[index_of(id)]; }
const ControlRow* control_table_begin() { return std::begin(kControls); }
const ControlRow* control_table_end() { return std::end(kControls); }

std::optional<ControlId> control_from_window_id(int window_id) {
  const int index = window_id - control_window_id(ControlId{});
  if (index < 0 || index >= kControlCount) return std::nullopt;
  return static_cast<ControlId>(index);
}

std::optional<ControlId> next_tab_stop(std::optional<ControlId> current, bool forward,
                                       const std::function<bool(ControlId)>& usable) {
  const int n = kControlCount;
  const int step = forward ? 1 : n - 1;
  // Without a current tab stop, the search starts just outside the table so
  // that the first (or last) usable stop is found.
  int i = current ? index_of(*current) : (forward ? n - 1 : 0);
  for (int count = 0; count < n; ++count) {
    i = (i + step) % n;
    const ControlRow& row = kControls[i];
    if ((row.flags & kTabStop) && usable(row.id)) return row.id;
  }
  return std::nullopt;
}

}  // namespace lanchuan
