// The main window under Wine, driven from outside: its place and looks, the
// controls of the layout, the keys, the title-band buttons, the tray icon and
// its menu.
#include <windows.h>
// windows.h first: shellapi.h depends on it.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "e2e/support/app_driver.h"
#include "platform/win32/handles_win32.h"
#include "timesync/servers.h"
#include "ui/layout.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr UINT kTrayMessage = WM_APP + 100;
constexpr UINT kTrayIconId = 100;
// The icon goes up as the window starts, or when the shell's tray comes up
// after it ("TaskbarCreated"); the rig starts the tray before the program.
constexpr DWORD kTrayWaitMs = 5000;

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    delete_settings_file();
    ASSERT_TRUE(app.start());
  }
  void TearDown() override { app.kill(); }

  // NIM_MODIFY changing nothing succeeds only while the icon is up.
  bool tray_icon_up() const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = app.main_window();
    data.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
  }
  RECT window_rect() const {
    RECT r{};
    GetWindowRect(app.main_window(), &r);
    return r;
  }
  HWND menu_window() const { return app.top_level_window("#32768"); }

  AppDriver app;
};

void send_mouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

std::string class_of(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

bool has_form(const ControlRow& c) {
  return c.kind != ControlKind::kTimer && c.kind != ControlKind::kBalloonTip;
}

RECT expected_rect(const ControlRow& c) {
  int x = c.rect.x;
  int y = c.rect.y;
  if (c.parent != kMainWindow) {
    x += control_row(c.parent).rect.x;
    y += control_row(c.parent).rect.y;
  }
  return RECT{x, y, x + c.rect.width, y + c.rect.height};
}

bool looks_like_date_time(const std::string& s) {
  // "2026-12-08  13:36:15"
  const std::string pattern = "dddd-dd-dd  dd:dd:dd";
  if (s.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((pattern[i] == 'd') != (s[i] >= '0' && s[i] <= '9')) return false;
    if (pattern[i] != 'd' && s[i] != pattern[i]) return false;
  }
  return true;
}

TEST_F(MainWindow, CentredFramelessAndWithoutTaskbarButton) {
  const RECT r = window_rect();
  EXPECT_EQ(r.left, 372);
  EXPECT_EQ(r.top, 201);
  EXPECT_EQ(r.right - r.left, 280);
  EXPECT_EQ(r.bottom - r.top, 366);
  const HWND main = app.main_window();
  EXPECT_EQ(app.text(main), "蓝川自动校时v2.8");
  const LONG style = GetWindowLongA(main, GWL_STYLE);
  const LONG ex_style = GetWindowLongA(main, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(ex_style & (WS_EX_APPWINDOW | WS_EX_TOPMOST), 0);
  const HWND owner = GetWindow(main, GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_FALSE(IsWindowVisible(owner));
  EXPECT_TRUE(wait_until([&] { return tray_icon_up(); }, kTrayWaitMs));
  Sleep(300);  // let it paint
  EXPECT_TRUE(app.save_screenshot("main"));
}

TEST_F(MainWindow, RoundedOutline) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(app.main_window(), region), COMPLEXREGION);
  for (POINT corner : {POINT{0, 0}, POINT{279, 0}, POINT{0, 365}, POINT{279, 365}}) {
    EXPECT_FALSE(PtInRegion(region, corner.x, corner.y)) << corner.x << "," << corner.y;
  }
  for (POINT inside : {POINT{140, 0}, POINT{0, 180}, POINT{279, 180}, POINT{140, 365}}) {
    EXPECT_TRUE(PtInRegion(region, inside.x, inside.y)) << inside.x << "," << inside.y;
  }
  DeleteObject(region);
}

TEST_F(MainWindow, EveryControlAtItsPlaceWithItsCaptionAndState) {
  for (const ControlRow* c = control_table_begin(); c != control_table_end(); ++c) {
    const HWND hwnd = app.control(c->id);
    if (!has_form(*c)) {
      EXPECT_EQ(hwnd, nullptr) << c->name;
      continue;
    }
    ASSERT_NE(hwnd, nullptr) << c->name;
    const RECT want = expected_rect(*c);
    const RECT got = app.rect_in_window(c->id);
    EXPECT_TRUE(EqualRect(&want, &got)) << c->name << ": " << got.left << "," << got.top << " "
                                        << got.right - got.left << "x" << got.bottom - got.top;
    EXPECT_TRUE(IsWindowVisible(hwnd)) << c->name;
    const bool enabled = (c->flags & kEnabled) && c->id != Id::图形按钮_开始校准;
    EXPECT_EQ(app.enabled(c->id), enabled) << c->name;
    if (c->id == Id::编辑框_系统时间) {
      EXPECT_TRUE(looks_like_date_time(app.text(hwnd))) << app.text(hwnd);
    } else {
      EXPECT_EQ(app.text(hwnd), c->caption) << c->name;
    }
    if (c->kind == ControlKind::kCheckBox) {
      EXPECT_EQ(app.ticked(c->id), (c->flags & kTicked) != 0) << c->name;
    }
  }
}

TEST_F(MainWindow, StartsWithTheFocusOnGetTime) {
  EXPECT_TRUE(
      wait_until([&] { return app.focused_window() == app.control(Id::图形按钮_获取时间); }, 3000));
}

TEST_F(MainWindow, ImageButtonsShowTheirPictures) {
  const auto pixel = [&](Id id, int x, int y) {
    RECT r{};
    GetWindowRect(app.control(id), &r);
    win32::window_dc screen(nullptr);
    return GetPixel(screen.get(), r.left + x, r.top + y);
  };
  const COLORREF white = RGB(255, 255, 255);
  const COLORREF hover_face = RGB(226, 236, 247);
  ASSERT_TRUE(wait_until([&] { return pixel(Id::图形按钮_获取时间, 4, 4) == white; }, 3000));
  EXPECT_EQ(pixel(Id::图形按钮_获取时间, 47, 0), RGB(123, 158, 189));  // blue frame
  EXPECT_EQ(pixel(Id::图形按钮_开始校准, 47, 0), RGB(192, 192, 192));  // disabled: grey
  EXPECT_EQ(pixel(Id::图形按钮_开始校准, 4, 4), white);

  app.post(app.control(Id::图形按钮_获取时间), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(wait_until([&] { return pixel(Id::图形按钮_获取时间, 4, 4) == hover_face; }, 3000))
      << std::hex << pixel(Id::图形按钮_获取时间, 4, 4);
  // The disabled button takes no notice of the mouse.
  app.post(app.control(Id::图形按钮_开始校准), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  Sleep(300);
  EXPECT_EQ(pixel(Id::图形按钮_开始校准, 4, 4), white);
}

TEST_F(MainWindow, PlatformControlsHaveTheirStyles) {
  const HWND interval = app.control(Id::编辑框_间隔秒);
  EXPECT_EQ(class_of(interval), "Edit");
  EXPECT_TRUE(GetWindowLongA(interval, GWL_STYLE) & ES_CENTER);
  EXPECT_TRUE(GetWindowLongA(interval, GWL_EXSTYLE) & WS_EX_STATICEDGE);
  const HWND check = app.control(Id::选择框_自动退出);
  EXPECT_EQ(class_of(check), "Button");
  EXPECT_EQ(GetWindowLongA(check, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  const HWND combo = app.control(Id::组合框1);
  EXPECT_EQ(class_of(combo), "ComboBox");
  EXPECT_EQ(GetWindowLongA(combo, GWL_STYLE) & 3, CBS_DROPDOWN);
  EXPECT_EQ(GetWindowLongA(combo, GWL_STYLE) & CBS_SORT, 0);
}

TEST_F(MainWindow, SmallEditBoxesLieAboveTheirCheckBoxes) {
  const HWND page = app.control(Id::图片框_正常页);
  for (Id edit : {Id::编辑框_间隔秒, Id::编辑框_延迟秒}) {
    const Rect& r = control_row(edit).rect;
    const POINT centre{r.x + r.width / 2, r.y + r.height / 2};
    EXPECT_EQ(ChildWindowFromPointEx(page, centre, CWP_SKIPINVISIBLE), app.control(edit))
        << control_row(edit).name;
  }
}

TEST_F(MainWindow, ServerListInOrderAllShownWhenDroppedDown) {
  const HWND combo = app.control(Id::组合框1);
  ASSERT_EQ(app.send(combo, CB_GETCOUNT, 0, 0), kServerCount);
  for (int i = 0; i < kServerCount; ++i) {
    // Wide: Wine hands an ANSI CB_GETLBTEXT across processes back in UTF-16.
    wchar_t item[256] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
    const std::wstring want(kServerList[i], kServerList[i] + strlen(kServerList[i]));
    EXPECT_EQ(std::wstring(item), want) << i;
  }
  app.send(combo, CB_SHOWDROPDOWN, TRUE, 0);
  HWND list = nullptr;
  ASSERT_TRUE(
      wait_until([&] { return (list = app.top_level_window("ComboLBox")) != nullptr; }, 3000));
  // Room for 160 pixels of list: the seven items fit without scrolling.
  RECT r{};
  GetClientRect(list, &r);
  const LRESULT item_height = app.send(list, LB_GETITEMHEIGHT, 0, 0);
  ASSERT_GT(item_height, 0);
  EXPECT_GE(r.bottom, std::min<LRESULT>(160, kServerCount * item_height));
  EXPECT_EQ(app.send(list, LB_GETTOPINDEX, 0, 0), 0);
  app.send(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

TEST_F(MainWindow, IntervalSecondsTakeOnlyDigitsAndMinus) {
  const Id box = Id::编辑框_间隔秒;
  app.send(app.control(box), EM_SETSEL, 0, -1);
  app.post_char(box, '1');
  app.post_char(box, 'a');
  app.post_char(box, '-');
  app.post_char(box, 'x');
  app.post_char(box, '2');
  ASSERT_TRUE(wait_until([&] { return app.text(box) == "1-2"; }, 3000)) << app.text(box);
  app.post_char(box, VK_BACK);
  app.post_char(box, '.');
  app.post_char(box, '9');
  EXPECT_TRUE(wait_until([&] { return app.text(box) == "1-9"; }, 3000)) << app.text(box);
}

TEST_F(MainWindow, TabMovesOnlyBetweenTheSmallEditBoxesAndEnterDoesNothing) {
  app.mouse_click(Id::编辑框_间隔秒);
  const HWND interval = app.control(Id::编辑框_间隔秒);
  const HWND delay = app.control(Id::编辑框_延迟秒);
  ASSERT_TRUE(wait_until([&] { return app.focused_window() == interval; }, 3000));
  app.post_key(interval, VK_TAB);
  EXPECT_TRUE(wait_until([&] { return app.focused_window() == delay; }, 3000));
  app.post_key(delay, VK_TAB);
  EXPECT_TRUE(wait_until([&] { return app.focused_window() == interval; }, 3000));
  app.post_key(interval, VK_RETURN);
  app.post_char(Id::编辑框_间隔秒, '7');  // a marker: everything before it has been handled
  ASSERT_TRUE(
      wait_until([&] { return app.text(Id::编辑框_间隔秒).find('7') != std::string::npos; }, 3000));
  EXPECT_EQ(app.focused_window(), interval);
  EXPECT_TRUE(app.running());
}

TEST_F(MainWindow, EscapeInAnEditBoxEndsTheProgram) {
  const HWND interval = app.control(Id::编辑框_间隔秒);
  app.mouse_click(Id::编辑框_间隔秒);
  ASSERT_TRUE(wait_until([&] { return app.focused_window() == interval; }, 3000));
  app.post_key(interval, VK_ESCAPE);
  DWORD code = 1;
  ASSERT_TRUE(app.wait_for_exit(5000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(tray_icon_up());
}

TEST_F(MainWindow, CloseButtonEndsTheProgram) {
  app.mouse_click(Id::图形按钮_关闭);
  DWORD code = 1;
  ASSERT_TRUE(app.wait_for_exit(5000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(MainWindow, ExitFromTheMenuEndsTheProgramAndRemovesTheTrayIcon) {
  ASSERT_TRUE(wait_until([&] { return tray_icon_up(); }, kTrayWaitMs));
  app.mouse_click(Id::设置按钮);
  HWND menu = nullptr;
  ASSERT_TRUE(wait_until([&] { return (menu = menu_window()) != nullptr; }, 3000));
  app.post_key(menu, VK_UP);  // from no selection to the last item, "退出"
  app.post_key(menu, VK_RETURN);
  DWORD code = 1;
  ASSERT_TRUE(app.wait_for_exit(5000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(tray_icon_up());
}

TEST_F(MainWindow, RightClickOnThePageOpensTheMenuUpLeftOfTheMouse) {
  SetCursorPos(600, 500);
  const HWND page = app.control(Id::图片框_正常页);
  // An empty spot of the page, below the check boxes.
  app.post(page, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(150, 295));
  HWND menu = nullptr;
  ASSERT_TRUE(wait_until([&] { return (menu = menu_window()) != nullptr; }, 3000));
  RECT r{};
  GetWindowRect(menu, &r);
  EXPECT_NEAR(r.right, 595, 2);
  EXPECT_NEAR(r.top, 495, 2);
  app.post_key(menu, VK_ESCAPE);
  ASSERT_TRUE(wait_until([&] { return menu_window() == nullptr; }, 3000));
  EXPECT_TRUE(app.running());

  // On a control the press belongs to the control: no menu.
  app.post(app.control(Id::选择框_自动退出), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  Sleep(700);
  EXPECT_EQ(menu_window(), nullptr);
}

TEST_F(MainWindow, MinimiseHidesAndATrayClickBringsItBack) {
  const RECT before = window_rect();
  app.mouse_click(Id::图形按钮_最小化);
  // Minimised and moved where nothing of it is on the screen.
  EXPECT_TRUE(
      wait_until([&] { return IsIconic(app.main_window()) && window_rect().left >= 1024; }, 3000));
  EXPECT_GE(window_rect().top, 768);

  app.send(app.main_window(), kTrayMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsIconic(app.main_window()));
  app.send(app.main_window(), kTrayMessage, kTrayIconId, WM_LBUTTONUP);
  ASSERT_TRUE(wait_until([&] { return !IsIconic(app.main_window()); }, 3000));
  const RECT after = window_rect();
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(IsWindowVisible(app.main_window()));

  // Shown, a left click on the icon hides it again.
  app.send(app.main_window(), kTrayMessage, kTrayIconId, WM_LBUTTONUP);
  EXPECT_TRUE(wait_until([&] { return IsIconic(app.main_window()) != FALSE; }, 3000));
}

TEST_F(MainWindow, FailoverOptionTogglesAndLeavesTheFocusOnGetTime) {
  app.send(app.control(Id::选择框_自动尝试下一服务器), BM_CLICK, 0, 0);
  EXPECT_FALSE(app.ticked(Id::选择框_自动尝试下一服务器));
  EXPECT_TRUE(
      wait_until([&] { return app.focused_window() == app.control(Id::图形按钮_获取时间); }, 3000));
}

TEST_F(MainWindow, DisabledImageButtonIgnoresTheMouse) {
  ASSERT_FALSE(app.enabled(Id::图形按钮_开始校准));
  app.mouse_click(Id::图形按钮_开始校准);
  app.send(app.control(Id::图形按钮_开始校准), BM_CLICK, 0, 0);
  Sleep(1500);  // a click would have tried to set the clock and shown a tip
  EXPECT_EQ(app.top_level_window("LanchuanBalloonTip"), nullptr);
  EXPECT_TRUE(app.running());
}

TEST_F(MainWindow, DraggingTheTitleMovesTheWindowButNotFromATitleButton) {
  const RECT before = window_rect();
  // Real mouse input: the move loop follows the mouse itself.
  SetCursorPos(before.left + 100, before.top + 15);
  Sleep(200);
  send_mouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(300);
  for (int step = 1; step <= 10; ++step) {
    SetCursorPos(before.left + 100 + 5 * step, before.top + 15 + 3 * step);
    Sleep(40);
  }
  send_mouse(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(wait_until([&] { return window_rect().left == before.left + 50; }, 3000))
      << window_rect().left;
  EXPECT_EQ(window_rect().top, before.top + 30);

  // A press on the minimise button belongs to the button: released elsewhere,
  // it neither drags nor minimises.
  const RECT moved = window_rect();
  SetCursorPos(moved.left + 228, moved.top + 9);
  Sleep(200);
  send_mouse(MOUSEEVENTF_LEFTDOWN);
  Sleep(100);
  SetCursorPos(moved.left + 268, moved.top + 49);
  Sleep(100);
  send_mouse(MOUSEEVENTF_LEFTUP);
  Sleep(500);
  const RECT after = window_rect();
  EXPECT_TRUE(EqualRect(&moved, &after));
  EXPECT_FALSE(IsIconic(app.main_window()));
}

TEST_F(MainWindow, ServerComboBoxSavesItsTextWhenItLosesTheFocus) {
  const HWND combo = app.control(Id::组合框1);
  const HWND combo_edit = GetWindow(combo, GW_CHILD);
  ASSERT_NE(combo_edit, nullptr);
  app.post(combo_edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  app.post(combo_edit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(wait_until([&] { return app.focused_window() == combo_edit; }, 3000));
  const std::string typed = "http://time.example.org";
  app.send(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  app.mouse_click(Id::编辑框_间隔秒);
  char saved[256] = {};
  EXPECT_TRUE(wait_until(
      [&] {
        GetPrivateProfileStringA("lx", "fuwuqi", "", saved, sizeof(saved), kSettingsFile);
        return typed == saved;
      },
      3000))
      << saved;
}

}  // namespace
}  // namespace lanchuan::e2e
