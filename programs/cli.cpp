#include "programs/cli.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/handlers.h"
#include "app/headless.h"
#include "programs/cli_log.h"
#include "programs/cli_update_file.h"
#include "programs/cli_usage.h"

namespace lanchuan {
namespace {

const char* const kQueryUsage =
    "  query URL     ask one web server for its time (HTTP HEAD, Date header)\n"
    "                and print it as UTC+8 local time, then the PC time and the\n"
    "                difference in seconds\n";

// "--timing" is left out of the help on purpose: it is for the benchmark, which
// compares the query's own duration with a plain HEAD to the same server.
const char* const kTimingOption = "--timing";

std::string format_query_timing(std::chrono::steady_clock::duration elapsed) {
  char line[64];
  std::snprintf(line, sizeof line, "query time: %.3f ms\n",
                std::chrono::duration<double, std::milli>(elapsed).count());
  return line;
}

const char* const kNoTimeFromServer =
    "the server did not answer in time or sent no valid Date header";

int query_command(const std::vector<std::string>& all_args, CliPorts& ports, TextSink& out,
                  TextSink& err) {
  std::vector<std::string> args;
  bool timing = false;
  for (const std::string& a : all_args) {
    if (a == kTimingOption) {
      timing = true;
    } else {
      args.push_back(a);
    }
  }
  if (args.size() != 2) return usage_error(err, "query takes exactly one URL");
  const std::string& url = args[1];
  DateTime server_time;
  const auto start = std::chrono::steady_clock::now();
  const bool answered = ports.time_query.query_server_time(url, server_time);
  const std::string timing_line =
      timing ? format_query_timing(std::chrono::steady_clock::now() - start) : std::string();
  if (!answered) {
    out << timing_line;
    const std::string failure = ports.time_query.failure();
    err << "no time from " << url << ": " << (failure.empty() ? kNoTimeFromServer : failure)
        << "\n";
    return 1;
  }
  const DateTime pc_time = ports.clock.now_local();
  const double diff_s = std::round((server_time.days - pc_time.days) * 86400.0);
  out << format_date_time(server_time) << "\n";
  out << "PC time:    " << format_date_time(pc_time) << "\n";
  out << "difference: " << static_cast<long long>(diff_s) << " s (server minus PC)\n";
  out << timing_line;
  return 0;
}

const char* const kSyncUsage =
    "  sync [URL]    one calibration as the window makes it: the time from URL\n"
    "                (or the first built-in server), the other built-in servers\n"
    "                when it fails, then the clock is set; exit status 0 only\n"
    "                when the clock was set (needs the right to change it)\n";

// The window's query and the PC clock are whole seconds: an offset and a
// correction of plain "sync" are good to a second.
constexpr std::int64_t kWholeSecondUs = 1000000;

std::int64_t us_between(DateTime later, DateTime earlier) {
  return std::llround((later.days - earlier.days) * 86400.0) * kWholeSecondUs;
}

// Remembers whether the clock was set, for the exit status, and by how much.
class RecordingClock : public Clock {
 public:
  explicit RecordingClock(Clock& inner) : inner_(inner) {}
  DateTime now_local() override { return inner_.now_local(); }
  bool set_local_time(const DateTimeParts& parts) override {
    DateTime target;
    attempted = true;
    if (make_date_time(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second,
                       target)) {
      correction_us = us_between(target, inner_.now_local());
    }
    set = inner_.set_local_time(parts);
    return set;
  }
  bool attempted = false;
  bool set = false;
  std::int64_t correction_us = 0;

 private:
  Clock& inner_;
};

// Each server asked and its answer, for the log.
class RecordingTimeQuery : public TimeQuery {
 public:
  RecordingTimeQuery(TimeQuery& inner, Clock& clock, std::vector<RunLogServer>& servers)
      : inner_(inner), clock_(clock), servers_(servers) {}
  bool query_server_time(const std::string& url, DateTime& server_time) override {
    RunLogServer s;
    s.url = url;
    s.ok = inner_.query_server_time(url, server_time);
    if (s.ok) {
      s.offset_us = us_between(server_time, clock_.now_local());
      s.uncertainty_us = kWholeSecondUs;
    } else {
      s.failure = inner_.failure();
      if (s.failure.empty()) s.failure = kNoTimeFromServer;
    }
    servers_.push_back(s);
    return s.ok;
  }

 private:
  TimeQuery& inner_;
  Clock& clock_;
  std::vector<RunLogServer>& servers_;
};

std::string command_line(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
  return line;
}

int plain_sync(const std::vector<std::string>& args, CliPorts& ports, TextSink& out, TextSink& err,
               RunRecord& record) {
  if (args.size() > 2) return usage_error(err, "sync takes at most one URL");
  record.ran = true;
  HeadlessControls controls;
  controls.set_items(ControlId::组合框1, ports.servers);
  const std::string first =
      args.size() == 2 ? args[1] : (ports.servers.empty() ? std::string() : ports.servers[0]);
  controls.set_text(ControlId::组合框1, first);
  controls.set_ticked(ControlId::选择框_自动尝试下一服务器, true);
  controls.set_ticked(ControlId::选择框_自动校准, true);  // a successful run sets the clock

  HeadlessBalloon balloon;
  NullCanvas canvas;
  NullScreen screen;
  NullMainWindow window;
  NullSettings settings;
  NullLogonShortcuts logon;
  NullUpdatePorts update;
  RecordingClock clock(ports.clock);
  RecordingTimeQuery query(ports.time_query, ports.clock, record.servers);
  App app(AppPorts{controls, balloon, canvas, clock, ports.network, ports.pump, settings, screen,
                   window, query, logon, update, update, update, update});
  run_calibration(app);

  record.has_correction = clock.attempted;
  record.correction_us = clock.correction_us;
  if (controls.text(ControlId::编辑框_服务器时间) == kNoNetworkText) {
    err << "no network connection\n";
    record.outcome = RunOutcome::no_network;
    return 1;
  }
  if (!app.state.server_time_valid) {
    err << "no time server answered (last tried: " << controls.text(ControlId::组合框1) << ")\n";
    record.outcome = RunOutcome::no_server;
    return 1;
  }
  out << format_date_time(app.state.server_time) << "\n";
  out << "server:     " << controls.text(ControlId::组合框1) << "\n";
  if (!clock.set) {
    err << "the clock could not be set: changing the system time needs that right "
           "(run as administrator), or security software refused it\n";
    record.outcome = RunOutcome::no_right;
    return 1;
  }
  out << "clock set\n";
  record.outcome = RunOutcome::set;
  return 0;
}

// Both kinds of sync add a line to the log.
int sync_command(const std::vector<std::string>& args, CliPorts& ports, TextSink& out,
                 TextSink& err) {
  RunRecord record;
  record.command = command_line(args);
  int status = 0;
  bool precise = false;
  for (const std::string& a : args) precise = precise || a == "--precise";
  if (precise && !ports.offset) return usage_error(err, "sync --precise is not available here");
  if (precise) {
    status =
        run_precise_sync_command({args.begin() + 1, args.end()}, *ports.offset, out, err, &record);
  } else {
    status = plain_sync(args, ports, out, err, record);
  }
  out.flush();
  log_run(log_for_run(ports), record, err);
  return status;
}

int log_command(const std::vector<std::string>& args, CliPorts& ports, TextSink& out,
                TextSink& err) {
  if (!ports.log) return usage_error(err, "log is not available here");
  return run_log_command({args.begin() + 1, args.end()}, *ports.log, ports.user_log, out, err);
}

int offset_command(const std::vector<std::string>& args, CliPorts& ports, TextSink& out,
                   TextSink& err) {
  if (!ports.offset) return usage_error(err, "offset is not available here");
  return run_offset_command({args.begin() + 1, args.end()}, *ports.offset, out, err);
}

int schedule_command(const std::vector<std::string>& args, CliPorts& ports, TextSink& out,
                     TextSink& err) {
  if (!ports.schedule) return usage_error(err, "schedule is not available here");
  return run_schedule_command({args.begin() + 1, args.end()}, *ports.schedule, out, err);
}

int update_file_command(const std::vector<std::string>& args, CliPorts&, TextSink& out,
                        TextSink& err) {
  return run_update_file_command(args, out, err);
}

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const std::vector<std::string>& args, CliPorts& ports, TextSink& out, TextSink& err);
  bool asks_servers;  // takes --proxy (schedule reads its own)
};

// One row per command; args passed on include the command word.
const Command kCommands[] = {
    {"query", kQueryUsage, query_command, true},
    {"sync", kSyncUsage, sync_command, true},
    {"sync --precise", kPreciseSyncUsage, nullptr, true},  // help only; "sync" handles it
    {"offset", kOffsetUsage, offset_command, true},
    {"schedule", kScheduleUsage, schedule_command, false},
    {"update-file", kUpdateFileUsage, update_file_command, false},
    {"log", kLogUsage, log_command, false},
};

// "--proxy URL" or "--no-proxy" of the commands that ask servers (schedule
// reads its own), taken out of `args`; without either, the environment's. A
// proxy named with its user but no password ("http://user@host:port", as a
// task's command line names it) takes the password kept for it. False with
// `error`.
bool take_proxy(std::vector<std::string>& args, CliPorts& ports, TextSink& err,
                std::string& error) {
  HttpProxy chosen;
  if (!take_proxy_choice(args, ports.environment_proxy, chosen, error)) return false;
  if (!chosen.set()) return true;
  if (ports.proxy == nullptr) {
    error = "proxies are not available here";
    return false;
  }
  if (!chosen.user.empty() && !chosen.password_given &&
      (ports.proxy_passwords == nullptr || !ports.proxy_passwords->find(chosen))) {
    err << "warning: no password is kept for the proxy " << proxy_url_without_password(chosen)
        << "; asking it without one\n";
  }
  *ports.proxy = chosen;
  return true;
}

void print_usage(TextSink& out) {
  out << "Usage: LanchuanTimeSyncCli COMMAND [ARGS]\n\nCommands:\n";
  for (const Command& c : kCommands) out << c.usage;
  out << "  " << kProxyOption << " " << kProxyUrlForm << " | " << kNoProxyOption
      << "\n"
         "                with query, sync, offset and schedule install|export: ask\n"
         "                the servers through this HTTP proxy (https:// ones with\n"
         "                CONNECT), or through none; without either, the one in\n"
         "                http_proxy or HTTP_PROXY\n"
         "  --help        show this text\n"
         "\n"
         "Exit status: 0 on success, 1 when the command failed, 2 on a usage error,\n"
      << kStepRefusedStatus
      << " when sync --precise refused a step too large for the servers that agreed.\n";
}

}  // namespace

RunLog* log_for_run(const CliPorts& ports) {
  return !ports.elevated && ports.user_log ? ports.user_log : ports.log;
}

int run_cli(const std::vector<std::string>& args, CliPorts& ports, TextSink& out, TextSink& err) {
  if (args.empty()) return usage_error(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    print_usage(out);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (!c.run || command != c.name) continue;
    if (!c.asks_servers) return c.run(args, ports, out, err);
    std::vector<std::string> rest = args;
    std::string error;
    if (!take_proxy(rest, ports, err, error)) return usage_error(err, error);
    return c.run(rest, ports, out, err);
  }
  return usage_error(err, "unknown command '" + command + "'");
}

}  // namespace lanchuan
