// Every control of the main window, by its design name. The layout table
// (ui/layout.h) holds one row per id, in this order, which is also the
// creation order: window, then each parent before its children.
#pragma once

namespace lanchuan {

enum class ControlId : int {
  // On the main window.
  透明标签_标题,
  设置按钮,
  图形按钮_最小化,
  图形按钮_关闭,
  图片框_正常页,
  时钟_更新,
  // On 图片框_正常页.
  标_时间服务器1,
  编辑框_服务器时间,
  标_时间服务器2,
  编辑框_系统时间,
  图形按钮_获取时间,
  图形按钮_开始校准,
  标签4,
  标_时间服务器,
  组合框1,
  选择框_自动尝试下一服务器,
  选择框_间隔校时,
  编辑框_间隔秒,
  选择框_自动校准,
  编辑框_延迟秒,
  选择框_自动退出,
  选择框_开机后自动启动,
  画板1,
  标签_底栏,
  时钟1,
  时钟_间隔校时,
  气球提示框1,
  kCount
};

constexpr int kControlCount = static_cast<int>(ControlId::kCount);

constexpr int index_of(ControlId id) { return static_cast<int>(id); }

// The parent of the controls placed directly on the main window, and the
// source of the window's own events.
constexpr ControlId kMainWindow = ControlId::kCount;

}  // namespace lanchuan
