// The console companion's commands, against the same ports as the window, so
// that they run and are tested natively with fakes.
#pragma once

#include <string>
#include <vector>

#include "app/ports.h"
#include "programs/cli_log.h"
#include "programs/cli_offset.h"
#include "programs/cli_schedule.h"
#include "programs/text_sink.h"
#include "timesync/proxy.h"
#include "timesync/time_query.h"

namespace lanchuan {

struct CliPorts {
  TimeQuery& time_query;
  Clock& clock;
  NetworkState& network;
  MessagePump& pump;
  std::vector<std::string> servers;   // the built-in server list, in order
  OffsetPorts* offset = nullptr;      // sub-second measuring; null: not available
  SchedulePorts* schedule = nullptr;  // the Task Scheduler; null: not available
  RunLog* log = nullptr;              // where sync runs are logged; null: nowhere
  // Where the requests' proxy goes ("--proxy", else `environment_proxy`);
  // null: proxies are not available.
  HttpProxy* proxy = nullptr;
  std::string environment_proxy{};  // http_proxy, else HTTP_PROXY (proxy_from_environment)
  ProxyPasswords* proxy_passwords = nullptr;  // kept passwords; null: none
  // An unelevated run's own log; null: every run logs to `log`. Elevated runs
  // (the logon task's) log to `log`, the machine's.
  RunLog* user_log = nullptr;
  bool elevated = true;
};

// Where this run's line goes: the machine's log when elevated, else the
// user's own.
RunLog* log_for_run(const CliPorts& ports);

// Runs one command line (without the program name); returns the exit status.
int run_cli(const std::vector<std::string>& args, CliPorts& ports, TextSink& out, TextSink& err);

}  // namespace lanchuan
