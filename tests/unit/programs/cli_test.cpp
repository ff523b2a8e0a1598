// The console companion's argument handling and its query command, with a
// scripted time query and a fake clock.
#include "programs/cli.h"

#include <gtest/gtest.h>

#include "fakes/fake_system.h"

namespace lanchuan {
namespace {

DateTime at(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, t));
  return t;
}

// Records what would be registered; the prompt is elevated unless told.
class FakeTaskScheduler : public TaskScheduler {
 public:
  bool is_elevated() override { return elevated; }
  bool register_task(const std::string& xml, bool system, std::string&) override {
    registered.push_back(xml);
    as_system = system;
    return true;
  }
  Removal delete_task(std::string&) override { return Removal::not_found; }
  bool task_xml(std::string&) override { return false; }
  std::string program_copy_path() override { return "C:\\Program Files\\L\\Cli.exe"; }
  bool install_program_copy(std::string&) override { return true; }
  Removal remove_program_copy(std::string&) override { return Removal::not_found; }
  bool elevated = true;
  bool as_system = false;
  std::vector<std::string> registered;
};

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// The files "schedule export --out" wrote, path and text; none while it fails.
std::vector<std::pair<std::string, std::string>> g_files_written;
bool g_file_writes_fail = false;
bool write_file(const std::string& path, const std::string& text, std::string& error) {
  if (g_file_writes_fail) error = "access denied";
  if (!g_file_writes_fail) g_files_written.emplace_back(path, text);
  return !g_file_writes_fail;
}

// Keeps the lines in memory; fails when told.
class FakeRunLog : public RunLog {
 public:
  std::int64_t now_utc_us() override { return 0; }
  bool append(const std::string& line, std::string& error) override {
    if (fails) error = "access denied";
    if (!fails) text += line;
    return !fails;
  }
  bool read(std::string& out, std::string& error) override {
    if (fails) error = "access denied";
    out = text;
    return !fails;
  }
  std::string where() override { return "C:\\ProgramData\\LanchuanTimeSync\\sync.log"; }
  std::string text;
  bool fails = false;
};

// Keeps "user at host:port: password"; knows one password, for "kept".
class FakeProxyPasswords : public ProxyPasswords {
 public:
  bool store(const HttpProxy& p, std::string&) override {
    stored.push_back(p.user + " at " + p.host_port() + ": " + p.password);
    return true;
  }
  bool find(HttpProxy& p) override {
    if (p.user != "kept") return false;
    p.password = "pw";
    return true;
  }
  std::vector<std::string> stored;
};

class CliTest : public ::testing::Test {
 protected:
  CliRun run(const std::vector<std::string>& args) {
    StringSink out, err;
    SchedulePorts schedule{scheduler,  user_id,    nullptr,    nullptr,
                           write_file, &passwords, environment};
    const std::vector<std::string> servers{"http://s1", "http://s2", "http://s3"};
    CliPorts ports{query, clock,  network,     pump,       servers,   nullptr, &schedule,
                   &log,  &proxy, environment, &passwords, &user_log, elevated};
    const int status = run_cli(args, ports, out, err);
    return {status, out.str(), err.str()};
  }
  fakes::FakeTimeQuery query;
  fakes::FakeClock clock;
  fakes::FakeNetwork network;
  fakes::FakePump pump;
  FakeTaskScheduler scheduler;
  HttpProxy proxy;
  std::string environment;  // as http_proxy / HTTP_PROXY
  FakeRunLog log;
  FakeRunLog user_log;
  std::string user_id = "PC\\user";
  bool elevated = true;
  FakeProxyPasswords passwords;
};

TEST_F(CliTest, QueryPrintsServerTimeFirstThenPcTimeAndDifference) {
  query.answers["http://a"] = at(2026, 12, 8, 13, 36, 15);
  clock.now = at(2026, 12, 8, 13, 36, 5);
  const CliRun r = run({"query", "http://a"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "2026-12-08  13:36:15\n"
      "PC time:    2026-12-08  13:36:05\n"
      "difference: 10 s (server minus PC)\n",
      r.out);
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(std::vector<std::string>{"http://a"}, query.tried);
}

TEST_F(CliTest, QueryFailureIsOneLineOnStandardErrorAndStatusOne) {
  const CliRun r = run({"query", "http://down"});
  EXPECT_EQ(1, r.status);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(std::string::npos, r.err.find("http://down"));
  EXPECT_EQ(r.err.size() - 1, r.err.find('\n'));  // exactly one line
}

TEST_F(CliTest, UsageErrorsAreStatusTwoAndNameTheProblem) {
  const struct {
    std::vector<std::string> args;
    const char* mentions;
  } cases[] = {
      {{}, "no command"},
      {{"frobnicate"}, "frobnicate"},
      {{"query"}, "query"},
      {{"query", "http://a", "http://b"}, "query"},
      {{"schedule"}, "schedule"},
      {{"schedule", "install", "--every", "4"}, "--every"},
      {{"schedule", "export", "--every", "1441"}, "--every"},
      {{"schedule", "install", "--every"}, "--every"},
      {{"schedule", "install", "--threshold", "50ms"}, "--threshold"},
      {{"schedule", "export", "--max-step", "-1"}, "--max-step"},
      {{"schedule", "show", "now"}, "show"},
  };
  for (const auto& c : cases) {
    const CliRun r = run(c.args);
    EXPECT_EQ(2, r.status) << c.mentions;
    EXPECT_NE(std::string::npos, r.err.find(c.mentions)) << r.err;
    EXPECT_TRUE(query.tried.empty());
  }
  EXPECT_TRUE(scheduler.registered.empty());
}

TEST_F(CliTest, ScheduleInstallFromAPromptThatIsNotElevatedRegistersNothing) {
  scheduler.elevated = false;
  CliRun r = run({"schedule", "install", "--every", "60"});
  EXPECT_EQ(1, r.status);
  EXPECT_TRUE(scheduler.registered.empty());
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(std::string::npos, r.err.find("elevated"));
  EXPECT_EQ(r.err.size() - 1, r.err.find('\n'));  // exactly one line

  scheduler.elevated = true;
  r = run({"schedule", "install", "--every", "60"});
  EXPECT_EQ(0, r.status) << r.err;
  ASSERT_EQ(1u, scheduler.registered.size());
  EXPECT_NE(std::string::npos, scheduler.registered[0].find("<UserId>PC\\user</UserId>"));
  EXPECT_FALSE(scheduler.as_system);

  // A package's installer runs it as the system: any user's logon starts the
  // task, which runs as the system, a service account with no logon type.
  user_id = kSystemUserId;
  ASSERT_EQ(0, run({"schedule", "install"}).status);
  const std::string& xml = scheduler.registered.at(1);
  EXPECT_TRUE(scheduler.as_system);
  EXPECT_EQ(xml.find("<UserId>"), xml.find("<UserId>S-1-5-18</UserId>\n      <RunLevel>")) << xml;
  EXPECT_EQ(std::string::npos, xml.find("InteractiveToken")) << xml;
}

// The task's command passes the step guard's limit on when it is not the default.
TEST_F(CliTest, ScheduleExportPassesTheMaxStepOn) {
  CliRun r = run({"schedule", "export", "--max-step", "0", "http://a"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("sync --precise --max-step 0 --no-proxy http://a<"))
      << r.out;
  r = run({"schedule", "export", "--max-step", "1000"});
  EXPECT_NE(std::string::npos, r.out.find("sync --precise --no-proxy<")) << r.out;
}

// --out writes the task as the scheduler exports one: declared UTF-16 (the
// port writes it so, with a byte-order mark).
TEST_F(CliTest, ScheduleExportWritesTheTaskFileWhenAsked) {
  g_files_written.clear();
  CliRun r = run({"schedule", "export", "--out", "D:\\task.xml", "--every", "60"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("wrote the task to D:\\task.xml (UTF-16)\n", r.out);
  ASSERT_EQ(1u, g_files_written.size());
  EXPECT_EQ("D:\\task.xml", g_files_written[0].first);
  EXPECT_EQ(0u,
            g_files_written[0].second.rfind("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n", 0));
  EXPECT_NE(std::string::npos, g_files_written[0].second.find("<Interval>PT1H</Interval>"));

  g_file_writes_fail = true;
  r = run({"schedule", "export", "--out", "D:\\task.xml"});
  g_file_writes_fail = false;
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("the task could not be written to D:\\task.xml: access denied\n", r.err);
  EXPECT_EQ(2, run({"schedule", "install", "--out", "D:\\task.xml"}).status);
  EXPECT_EQ(2, run({"schedule", "export", "--out"}).status);
  EXPECT_EQ(1u, g_files_written.size());
}

// --proxy, else the environment's proxy, for the requests; passed on to the
// task as given; one the program cannot use is a usage error.
TEST_F(CliTest, TakesTheProxyFromTheCommandLineElseTheEnvironment) {
  query.answers["http://a"] = at(2026, 12, 8, 13, 36, 15);
  const struct {
    const char* environment;
    std::vector<std::string> args;
    int status;
    const char* host_port;  // of the proxy taken; "" for none
    const char* err;        // in standard error
  } cases[] = {
      {"", {"query", "--proxy", "http://p:3128", "http://a"}, 0, "p:3128", ""},
      {"http://e:1", {"query", "http://a"}, 0, "e:1", ""},
      {"http://e:1", {"query", "http://a", "--proxy", "http://p:2"}, 0, "p:2", ""},
      {"", {"query", "http://a"}, 0, "", ""},
      {"e:1", {"query", "http://a"}, 2, "", "http_proxy (or HTTP_PROXY) is not http://"},
      {"", {"offset", "--proxy"}, 2, "", "--proxy needs http://[user:password@]host:port"},
      {"", {"sync", "--proxy", "http://p"}, 2, "", "--proxy is not http://"},
      {"", {"schedule", "export", "--proxy", "ftp://p:1"}, 2, "", "--proxy is not"},
      {"http://e:1", {"query", "--no-proxy", "http://a"}, 0, "", ""},
      {"", {"query", "--no-proxy", "--proxy", "http://p:2", "http://a"}, 2, "", "once"},
      // A task's proxy names its user only: the password kept for it is used.
      {"", {"query", "--proxy", "http://kept@p:2", "http://a"}, 0, "p:2", ""},
      {"", {"query", "--proxy", "http://lost@p:2", "http://a"}, 0, "p:2", "no password is kept"},
  };
  for (const auto& c : cases) {
    proxy = HttpProxy();
    environment = c.environment;
    const CliRun r = run(c.args);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(c.host_port, proxy.set() ? proxy.host_port() : "") << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.err)) << r.err;
    EXPECT_EQ(c.host_port == std::string("p:2") && c.args[2] == "http://kept@p:2" ? "pw" : "",
              proxy.password);
  }
}

// The task names its proxy, or none, so that its runs never read the
// environment; a password goes to the system's store, never into the task.
TEST_F(CliTest, TheTaskNamesItsProxyWithoutThePassword) {
  const struct {
    const char* environment;
    std::vector<std::string> args;
    const char* arguments;
  } cases[] = {
      {"", {"schedule", "export"}, "sync --precise --no-proxy<"},
      {"http://e:1", {"schedule", "export"}, "sync --precise --proxy http://e:1<"},
      {"http://e:1", {"schedule", "export", "--no-proxy"}, "sync --precise --no-proxy<"},
      {"",
       {"schedule", "install", "--proxy", "http://u%3A1:s3cret@h:1"},
       "sync --precise --proxy http://u%3A1@h:1<"},
      {"http://me:s3cret@e:1", {"schedule", "install"}, "sync --precise --proxy http://me@e:1<"},
  };
  for (const auto& c : cases) {
    environment = c.environment;
    scheduler.registered.clear();
    const CliRun r = run(c.args);
    const std::string xml = c.args[1] == "install" ? scheduler.registered.at(0) : r.out;
    EXPECT_NE(std::string::npos, xml.find(c.arguments)) << xml;
    EXPECT_EQ(std::string::npos, (xml + r.out + r.err).find("s3cret")) << r.out << r.err;
  }
  EXPECT_EQ((std::vector<std::string>{"u:1 at h:1: s3cret", "me at e:1: s3cret"}),
            passwords.stored);
}

// Elevated runs (the task's) write the machine's log; others the user's own.
TEST_F(CliTest, AnUnelevatedRunLogsToTheUsersOwnLog) {
  query.answers["http://s1"] = at(2026, 12, 8, 13, 36, 15);
  elevated = false;
  run({"sync"});
  EXPECT_TRUE(log.text.empty());
  EXPECT_NE(std::string::npos, user_log.text.find("\tsync\t")) << user_log.text;
  log.text = "a machine run\n";
  EXPECT_EQ(
      "a machine run\nyour own runs, unelevated, in " + user_log.where() + ":\n" + user_log.text,
      run({"log"}).out);
  elevated = true;
  run({"sync"});
  EXPECT_NE(std::string::npos, log.text.find("\tsync\t")) << log.text;
}

// Arguments as CommandLineToArgvW reads them back; durations as Windows writes them.
TEST(ScheduleTest, ArgumentsAndDurationsInTheTasksOwnForms) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://a/?x=1&y=2", "http://a/?x=1&y=2"},
      {"", "\"\""},
      {"C:\\My Tools\\", "\"C:\\My Tools\\\\\""},
      {"a \\\"b", "\"a \\\\\\\"b\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, quote_argument(c.first)) << c.first;
  EXPECT_EQ("PT5M", iso_duration_minutes(5));
  EXPECT_EQ("PT1H30M", iso_duration_minutes(90));
  EXPECT_EQ("P1D", iso_duration_minutes(1440));
}

TEST_F(CliTest, SyncSetsTheClockFromTheFirstServerThatAnswers) {
  const DateTime t = at(2026, 12, 8, 13, 36, 15);
  query.answers["http://s2"] = t;
  const CliRun r = run({"sync"});
  EXPECT_EQ(0, r.status) << r.err;
  // The window's failover order: the chosen server, then the list from the top.
  EXPECT_EQ((std::vector<std::string>{"http://s1", "http://s1", "http://s2"}), query.tried);
  ASSERT_EQ(1u, clock.set_calls.size());
  EXPECT_EQ(36, clock.set_calls[0].minute);
  EXPECT_EQ("2026-12-08  13:36:15\nserver:     http://s2\nclock set\n", r.out);
}

TEST_F(CliTest, SyncWithAUrlTriesItFirst) {
  query.answers["http://mine"] = at(2026, 12, 8, 13, 36, 15);
  const CliRun r = run({"sync", "http://mine"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::vector<std::string>{"http://mine"}, query.tried);
}

TEST_F(CliTest, SyncExitsOneUnlessTheClockWasSet) {
  query.answers["http://s1"] = at(2026, 12, 8, 13, 36, 15);
  clock.set_result = false;  // no right to change the time
  CliRun r = run({"sync"});
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("could not be set"));
  EXPECT_EQ(1u, clock.set_calls.size());

  query.answers.clear();
  query.tried.clear();
  r = run({"sync"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(4u, query.tried.size());  // n + 1 tries
  EXPECT_NE(std::string::npos, r.err.find("no time server answered"));

  network.is_connected = false;
  query.tried.clear();
  r = run({"sync"});
  EXPECT_EQ(1, r.status);
  EXPECT_TRUE(query.tried.empty());
  EXPECT_NE(std::string::npos, r.err.find("no network"));
}

// Each run is one line; the server's word is good to a second here.
TEST_F(CliTest, SyncLogsEveryRunAndALogThatFailsIsOnlyAWarning) {
  query.answers["http://s2"] = at(2026, 12, 8, 13, 36, 15);
  clock.now = at(2026, 12, 8, 13, 36, 5);
  run({"sync"});
  clock.now = at(2026, 12, 8, 13, 36, 5);  // the fake clock was set
  clock.set_result = false;
  run({"sync", "http://s2"});
  query.answers.clear();
  run({"sync", "http://s3"});
  network.is_connected = false;
  run({"sync"});
  run({"sync", "a", "b"});  // a usage error is no run
  const char* const start = "1970-01-01T00:00:00.000Z\tsync";
  const char* const failed =
      " failed: the server did not answer in time or sent no valid Date header";
  EXPECT_EQ(std::string(start) + "\tset\t+10000 ms\thttp://s1" + failed + "\thttp://s1" + failed +
                "\thttp://s2 offset +10000.0 ms +/- 1000.0 ms\n" + start +
                " http://s2\tcould not set: no right\t+10000 ms\thttp://s2 offset +10000.0 ms +/- "
                "1000.0 ms\n" +
                start + " http://s3\tno server\t-\thttp://s3" + failed + "\thttp://s1" + failed +
                "\thttp://s2" + failed + "\thttp://s3" + failed + "\n" + start +
                "\tno network\t-\n",
            log.text);

  network.is_connected = true;
  clock.set_result = true;
  query.answers["http://s1"] = at(2026, 12, 8, 13, 36, 15);
  log.fails = true;
  const CliRun r = run({"sync"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("warning: this run is not in the log " + log.where() + ": access denied\n", r.err);
}

TEST_F(CliTest, LogPrintsTheLastRuns) {
  EXPECT_EQ("no run in the log C:\\ProgramData\\LanchuanTimeSync\\sync.log yet\n",
            run({"log"}).out);
  for (int i = 1; i <= 12; ++i) log.text += "run " + std::to_string(i) + "\n";
  EXPECT_EQ(0u, run({"log"}).out.rfind("run 3\nrun 4\n", 0));  // the last 10
  EXPECT_EQ("run 11\nrun 12\n", run({"log", "--last", "2"}).out);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"log", "--last", "0"}, {"log", "--last"}, {"log", "2"}}) {
    EXPECT_EQ(2, run(args).status) << args.size();
  }
  log.fails = true;
  const CliRun r = run({"log"});
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("could not be read: access denied")) << r.err;
}

TEST_F(CliTest, HelpListsEveryCommand) {
  const CliRun r = run({"--help"});
  EXPECT_EQ(0, r.status);
  for (const char* command :
       {"query URL", "sync [URL]", "update-file pack", "update-file unpack", "schedule install",
        "schedule export", "--threshold MS", "--max-step SECONDS", "log [--last N]"}) {
    EXPECT_NE(std::string::npos, r.out.find(command)) << command;
  }
}

}  // namespace
}  // namespace lanchuan
