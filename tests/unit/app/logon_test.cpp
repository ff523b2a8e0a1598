#include "app/logon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_update_ports.h"

namespace lanchuan {
namespace {

using fakes::UpdateFakeApp;
using Calls = std::vector<std::string>;

constexpr ControlId kOption = ControlId::选择框_开机后自动启动;
const std::string kFolder = "C:\\Users\\me\\Start Menu\\Programs\\Startup";
const std::string kShortcut = kFolder + "\\蓝川自动校时.lnk";

TEST(LogonPath, FolderFollowedByTheFixedName) {
  EXPECT_EQ(logon_shortcut_path(kFolder), kShortcut);
  EXPECT_EQ(logon_shortcut_path(""), "\\蓝川自动校时.lnk");
}

class LogonOption : public ::testing::Test {
 protected:
  LogonOption() {
    t.logon.folder = kFolder;
    t.logon.program_dir = "D:\\Tools\\校时";
    t.logon.program_file = "蓝川自动校时.exe";
  }
  // A click on the check box: the state toggles before the handler runs.
  void click() {
    t.controls.set_ticked(kOption, !t.controls.ticked(kOption));
    on_logon_option_clicked(t.app);
  }
  bool ticked() { return t.controls.ticked(kOption); }

  UpdateFakeApp t;
};

TEST_F(LogonOption, TickCreatesTheShortcutWithItsFields) {
  click();
  EXPECT_EQ(t.logon.calls, (Calls{"startup_folder", "program_folder", "program_file_name",
                                  "create " + kShortcut, "startup_folder", "exists " + kShortcut}));
  ASSERT_EQ(t.logon.created.size(), 1u);
  const ShortcutFields& f = t.logon.created[0].fields;
  EXPECT_EQ(f.target, "D:\\Tools\\校时\\蓝川自动校时.exe");
  EXPECT_EQ(f.arguments, "auto");
  EXPECT_EQ(f.description, "可以自动校时。");
  EXPECT_EQ(f.working_directory, "D:\\Tools\\校时");
  EXPECT_EQ(f.show_command, 5);
  EXPECT_TRUE(ticked());
  EXPECT_EQ(t.controls.focus_history, std::vector<ControlId>{ControlId::图形按钮_获取时间});
}

TEST_F(LogonOption, UntickDeletesTheShortcut) {
  t.logon.files.insert(kShortcut);
  t.controls.set_ticked(kOption, true);
  click();
  EXPECT_EQ(t.logon.calls, (Calls{"startup_folder", "delete " + kShortcut, "startup_folder",
                                  "exists " + kShortcut}));
  EXPECT_TRUE(t.logon.files.empty());
  EXPECT_FALSE(ticked());
  EXPECT_EQ(t.controls.focused(), ControlId::图形按钮_获取时间);
}

TEST_F(LogonOption, TickStateFollowsWhatIsReallyThere) {
  struct Case {
    const char* what;
    bool ticked_before;
    bool file_before;
    bool create_works;
    bool delete_works;
    bool ticked_after;
  };
  const Case cases[] = {
      {"creation fails", false, false, false, true, false},
      {"deletion fails", true, true, true, false, true},
      {"deleted by hand, then unticked", true, false, true, true, false},
      {"created by someone else, then ticked again", false, true, true, true, true},
  };
  for (const Case& c : cases) {
    UpdateFakeApp app;
    app.logon.folder = kFolder;
    app.logon.create_result = c.create_works;
    app.logon.delete_result = c.delete_works;
    if (c.file_before) app.logon.files.insert(kShortcut);
    app.controls.set_ticked(kOption, !c.ticked_before);  // the click toggles it
    on_logon_option_clicked(app.app);
    EXPECT_EQ(app.controls.ticked(kOption), c.ticked_after) << c.what;
    EXPECT_EQ(app.controls.focused(), ControlId::图形按钮_获取时间) << c.what;
  }
}

TEST_F(LogonOption, RegistryIsReadAgainAfterTheChange) {
  // The Startup folder moves between the creation and the check.
  t.logon.next_folders = {"C:\\Old", "C:\\New"};
  click();
  EXPECT_EQ(t.logon.created.at(0).path, "C:\\Old\\蓝川自动校时.lnk");
  EXPECT_EQ(t.logon.existence_checks, Calls{"C:\\New\\蓝川自动校时.lnk"});
  EXPECT_FALSE(ticked());
}

TEST_F(LogonOption, MissingStartupFolderActsOnTheDriveRoot) {
  t.logon.folder = "";
  click();
  EXPECT_EQ(t.logon.created.at(0).path, "\\蓝川自动校时.lnk");
  EXPECT_TRUE(ticked());
}

TEST_F(LogonOption, StartUpTicksExactlyWhenTheShortcutExists) {
  restore_logon_option(t.app);
  EXPECT_FALSE(ticked());
  t.logon.files.insert(kShortcut);
  restore_logon_option(t.app);
  EXPECT_TRUE(ticked());
  t.logon.files.clear();
  restore_logon_option(t.app);
  EXPECT_FALSE(ticked());
  // Nothing is created or deleted at start, and the focus stays where it is.
  EXPECT_TRUE(t.logon.created.empty());
  EXPECT_TRUE(t.logon.deleted.empty());
  EXPECT_TRUE(t.controls.focus_history.empty());
}

}  // namespace
}  // namespace lanchuan
