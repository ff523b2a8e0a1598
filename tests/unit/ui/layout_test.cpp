#include "ui/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/events.h"
#include "timesync/servers.h"

namespace lanchuan {
namespace {

using Id = ControlId;

std::vector<ControlRow> rows() { return {control_table_begin(), control_table_end()}; }
std::vector<EventBinding> bindings() { return {event_table_begin(), event_table_end()}; }

bool has_form(const ControlRow& c) {
  return c.kind != ControlKind::kTimer && c.kind != ControlKind::kBalloonTip;
}

Rect parent_rect(const ControlRow& c) {
  if (c.parent == kMainWindow) return {0, 0, kMainWindowRow.width, kMainWindowRow.height};
  return control_row(c.parent).rect;
}

bool overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

TEST(Layout, RowsFollowTheEnumOrder) {
  const auto all = rows();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kControlCount));
  for (int i = 0; i < kControlCount; ++i) EXPECT_EQ(index_of(all[i].id), i) << all[i].name;
}

TEST(Layout, NamesAreUniqueAndTellTheKind) {
  // The design names carry the kind in their prefix; a row whose kind does not
  // match its name has been copied from the wrong line.
  const std::vector<std::pair<std::string, ControlKind>> prefixes = {
      {"透明标签_", ControlKind::kTransparentLabel},
      {"图形按钮_", ControlKind::kImageButton},
      {"设置按钮", ControlKind::kImageButton},
      {"图片框_", ControlKind::kPanel},
      {"时钟", ControlKind::kTimer},
      {"标签", ControlKind::kLabel},
      {"标_", ControlKind::kLabel},
      {"编辑框_", ControlKind::kEditBox},
      {"组合框", ControlKind::kComboBox},
      {"选择框_", ControlKind::kCheckBox},
      {"画板", ControlKind::kCanvas},
      {"气球提示框", ControlKind::kBalloonTip},
  };
  std::set<std::string> seen;
  for (const ControlRow& c : rows()) {
    EXPECT_TRUE(seen.insert(c.name).second) << "duplicate " << c.name;
    int matches = 0;
    for (const auto& [prefix, kind] : prefixes) {
      if (starts_with(c.name, prefix)) {
        ++matches;
        EXPECT_EQ(kind, c.kind) << c.name;
      }
    }
    EXPECT_EQ(matches, 1) << c.name;
  }
}

TEST(Layout, ParentsAreCreatedBeforeTheirChildren) {
  for (const ControlRow& c : rows()) {
    if (c.parent == kMainWindow) continue;
    EXPECT_LT(index_of(c.parent), index_of(c.id)) << c.name;
    EXPECT_EQ(control_row(c.parent).kind, ControlKind::kPanel) << c.name;
  }
}

TEST(Layout, EveryControlLiesInsideItsParent) {
  for (const ControlRow& c : rows()) {
    if (!has_form(c)) {
      EXPECT_EQ(c.rect.width, 0) << c.name;
      continue;
    }
    const Rect p = parent_rect(c);
    EXPECT_GT(c.rect.width, 0) << c.name;
    EXPECT_GT(c.rect.height, 0) << c.name;
    EXPECT_GE(c.rect.x, 0) << c.name;
    EXPECT_GE(c.rect.y, 0) << c.name;
    EXPECT_LE(c.rect.x + c.rect.width, p.width) << c.name;
    EXPECT_LE(c.rect.y + c.rect.height, p.height) << c.name;
  }
}

TEST(Layout, OnlyTheIntendedSiblingsOverlapAndTheUpperOneComesLater) {
  // The later control of an overlapping pair lies above the earlier one: the
  // small edit boxes sit in the gaps of their check boxes' captions, the
  // title-band buttons on the title label.
  const std::set<std::pair<Id, Id>> expected = {
      {Id::透明标签_标题, Id::设置按钮},        {Id::透明标签_标题, Id::图形按钮_最小化},
      {Id::透明标签_标题, Id::图形按钮_关闭},   {Id::透明标签_标题, Id::图片框_正常页},
      {Id::图形按钮_最小化, Id::图形按钮_关闭}, {Id::选择框_间隔校时, Id::编辑框_间隔秒},
      {Id::选择框_自动校准, Id::编辑框_延迟秒},
  };
  std::set<std::pair<Id, Id>> found;
  const auto all = rows();
  for (std::size_t i = 0; i < all.size(); ++i) {
    for (std::size_t j = i + 1; j < all.size(); ++j) {
      const ControlRow& lower = all[i];
      const ControlRow& upper = all[j];
      if (!has_form(lower) || !has_form(upper) || lower.parent != upper.parent) continue;
      if (overlap(lower.rect, upper.rect)) found.insert({lower.id, upper.id});
    }
  }
  EXPECT_EQ(found, expected);
}

TEST(Layout, DesignTimeStates) {
  int disabled = 0;
  for (const ControlRow& c : rows()) {
    if (!(c.flags & kEnabled)) {
      ++disabled;
      EXPECT_TRUE(starts_with(c.name, "标_时间服务器")) << c.name;
    }
    if (has_form(c)) {
      EXPECT_TRUE(c.flags & kVisible) << c.name;
    }
    if (c.flags & kTicked) {
      EXPECT_EQ(c.kind, ControlKind::kCheckBox) << c.name;
    }
    if (c.flags & (kTabStop | kIntegerInput)) {
      EXPECT_EQ(c.kind, ControlKind::kEditBox) << c.name;
    }
    if (c.kind != ControlKind::kTimer) {
      EXPECT_EQ(c.timer_period_ms, 0) << c.name;
    }
    if (c.kind == ControlKind::kImageButton) {
      EXPECT_NE(c.pictures, PictureSet::kNone) << c.name;
    }
  }
  EXPECT_EQ(disabled, 3);
  EXPECT_STREQ(control_row(Id::组合框1).caption, kServerList[0]);
}

TEST(Layout, WindowIdsRoundTrip) {
  for (const ControlRow& c : rows()) {
    EXPECT_EQ(control_from_window_id(control_window_id(c.id)), c.id) << c.name;
  }
  EXPECT_FALSE(control_from_window_id(control_window_id(Id::透明标签_标题) - 1));
  EXPECT_FALSE(control_from_window_id(control_window_id(Id::透明标签_标题) + kControlCount));
}

bool event_fits(ControlId control, Event event) {
  if (control == kMainWindow) {
    return event == Event::kCreated || event == Event::kDestroying || event == Event::kTrayIcon ||
           event == Event::kEscape;
  }
  switch (control_row(control).kind) {
    case ControlKind::kImageButton:
    case ControlKind::kCheckBox:
      return event == Event::kClicked;
    case ControlKind::kTimer:
      return event == Event::kElapsed;
    case ControlKind::kComboBox:
      return event == Event::kLostFocus;
    case ControlKind::kPanel:
      return event == Event::kRightPressed;
    case ControlKind::kLabel:
    case ControlKind::kTransparentLabel:
      return event == Event::kLeftPressed || event == Event::kLeftReleased;
    default:
      return false;
  }
}

TEST(EventTable, NamesExistingControlsWithFittingEvents) {
  std::set<std::pair<int, int>> seen;
  for (const EventBinding& b : bindings()) {
    const int control = index_of(b.control);
    ASSERT_LE(control, kControlCount);
    EXPECT_TRUE(event_fits(b.control, b.event)) << "control " << control;
    EXPECT_TRUE(seen.insert({control, static_cast<int>(b.event)}).second) << control;
    EXPECT_EQ(handler_for(b.control, b.event), b.handler);
  }
}

TEST(EventTable, EveryClickableControlAndTimerHasAHandler) {
  for (const ControlRow& c : rows()) {
    if (c.kind == ControlKind::kCheckBox || c.kind == ControlKind::kImageButton) {
      EXPECT_TRUE(handler_for(c.id, Event::kClicked)) << c.name;
    }
    if (c.kind == ControlKind::kTimer) {
      EXPECT_TRUE(handler_for(c.id, Event::kElapsed)) << c.name;
    }
  }
  EXPECT_FALSE(handler_for(Id::编辑框_间隔秒, Event::kClicked));
}

TEST(EventTable, EveryHandlerIsReachedExactlyOnce) {
  // The handlers of app/handlers.h that an event or a menu item runs.
  constexpr std::size_t kHandlersRunByEvents = 23;
  std::set<EventHandler> seen;
  for (const EventBinding& b : bindings()) {
    ASSERT_NE(b.handler, nullptr);
    EXPECT_TRUE(seen.insert(b.handler).second) << "control " << index_of(b.control);
  }
  for (const MenuItemRow* m = tray_menu_begin(); m != tray_menu_end(); ++m) {
    EXPECT_EQ(m->text == nullptr, m->handler == nullptr);  // separators run nothing
    if (m->handler) {
      EXPECT_TRUE(seen.insert(m->handler).second) << m->text;
    }
  }
  EXPECT_EQ(seen.size(), kHandlersRunByEvents);
}

TEST(ServerList, PlainHttpAddressesWithoutPath) {
  std::set<std::string> seen;
  for (const char* server : kServerList) {
    const std::string s = server;
    ASSERT_TRUE(starts_with(s, "http://")) << s;
    const std::string host = s.substr(7);
    EXPECT_GE(host.size(), 4u) << s;
    EXPECT_EQ(host.find_first_of("/ :?#"), std::string::npos) << s;
    EXPECT_NE(host.find('.'), std::string::npos) << s;
    EXPECT_NE(host.back(), '.') << s;
    EXPECT_TRUE(seen.insert(s).second) << s;
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(TabOrder, MovesOnlyBetweenTheTwoSmallEditBoxes) {
  const auto all = [](ControlId) { return true; };
  struct Case {
    std::optional<Id> from;
    bool forward;
    std::optional<Id> to;
  };
  const Case cases[] = {
      {Id::编辑框_间隔秒, true, Id::编辑框_延迟秒},
      {Id::编辑框_延迟秒, true, Id::编辑框_间隔秒},
      {Id::编辑框_延迟秒, false, Id::编辑框_间隔秒},
      {Id::编辑框_间隔秒, false, Id::编辑框_延迟秒},
      {Id::图形按钮_获取时间, true, Id::编辑框_间隔秒},
      {Id::画板1, true, Id::编辑框_间隔秒},
      {std::nullopt, true, Id::编辑框_间隔秒},
      {std::nullopt, false, Id::编辑框_延迟秒},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(next_tab_stop(c.from, c.forward, all), c.to)
        << (c.from ? index_of(*c.from) : -1) << (c.forward ? " forward" : " backward");
  }
}

TEST(TabOrder, SkipsUnusableStops) {
  const auto no_delay = [](ControlId id) { return id != Id::编辑框_延迟秒; };
  EXPECT_EQ(next_tab_stop(Id::编辑框_间隔秒, true, no_delay), Id::编辑框_间隔秒);
  EXPECT_EQ(next_tab_stop(std::nullopt, false, no_delay), Id::编辑框_间隔秒);
  EXPECT_EQ(next_tab_stop(Id::编辑框_间隔秒, true, [](ControlId) { return false; }), std::nullopt);
}

}  // namespace
}  // namespace lanchuan
