#include "app/events.h"

#include <iterator>

#include "app/handlers.h"

namespace lanchuan {

namespace {

using Id = ControlId;

// A handler without an argument, in the table's shape.
template <void (*Handler)(App&)>
void run(App& app, int) {
  Handler(app);
}

const EventBinding kEvents[] = {
    {kMainWindow, Event::kCreated, run<on_main_window_created>},
    {kMainWindow, Event::kTrayIcon, on_tray_event},
    {kMainWindow, Event::kDestroying, run<on_main_window_destroying>},
    {kMainWindow, Event::kEscape, run<on_escape_pressed>},
    {Id::透明标签_标题, Event::kLeftPressed, run<on_title_pressed>},
    {Id::设置按钮, Event::kClicked, run<on_settings_clicked>},
    {Id::图形按钮_最小化, Event::kClicked, run<on_minimise_clicked>},
    {Id::图形按钮_关闭, Event::kClicked, run<on_close_clicked>},
    {Id::图片框_正常页, Event::kRightPressed, run<on_page_right_pressed>},
    {Id::图形按钮_获取时间, Event::kClicked, run<run_calibration>},
    {Id::图形按钮_开始校准, Event::kClicked, run<set_clock_from_server_time>},
    {Id::组合框1, Event::kLostFocus, run<save_server_choice>},
    {Id::选择框_自动尝试下一服务器, Event::kClicked, run<on_failover_option_clicked>},
    {Id::选择框_间隔校时, Event::kClicked, run<on_interval_option_clicked>},
    {Id::选择框_自动校准, Event::kClicked, run<on_delayed_option_clicked>},
    {Id::选择框_自动退出, Event::kClicked, run<on_exit_option_clicked>},
    {Id::选择框_开机后自动启动, Event::kClicked, run<on_logon_option_clicked>},
    {Id::标签_底栏, Event::kLeftReleased, run<on_bottom_bar_clicked>},
    {Id::时钟1, Event::kElapsed, run<on_second_tick>},
    {Id::时钟_间隔校时, Event::kElapsed, run<on_interval_tick>},
    {Id::时钟_更新, Event::kElapsed, run<on_update_timer>},
};

const MenuItemRow kTrayMenu[] = {
    {"更多软件", run<open_more_software_page>},
    {nullptr, nullptr},
    {"退出", run<on_exit_chosen>},
};

}  // namespace

const char* const kTrayMenuCaption = "右键";

const EventBinding* event_table_begin() { return std::begin(kEvents); }
const EventBinding* event_table_end() { return std::end(kEvents); }

EventHandler handler_for(ControlId control, Event event) {
  for (const EventBinding& b : kEvents) {
    if (b.control == control && b.event == event) return b.handler;
  }
  return nullptr;
}

const MenuItemRow* tray_menu_begin() { return std::begin(kTrayMenu); }
const MenuItemRow* tray_menu_end() { return std::end(kTrayMenu); }

}  // namespace lanchuan
