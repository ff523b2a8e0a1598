// LanchuanTimeSyncCli.exe: the console companion of the window program.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/system_ports_win32.h"
#include "platform/win32/com_win32.h"
#include "platform/win32/fatal_win32.h"
#include "programs/cli.h"
#include "timesync/offset_probe.h"
#include "timesync/offset_probe_win32.h"
#include "timesync/proxy_win32.h"
#include "timesync/servers.h"
#include "timesync/socket_probe_win32.h"
#include "timesync/time_query_win32.h"
#include "unattended/logon_task_win32.h"
#include "unattended/sync_log_win32.h"

int main(int argc, char** argv) {
  using namespace lanchuan;
  win32::restrict_library_search();
  win32::ComApartment com;
  HttpProxy proxy;  // set by run_cli from the command line or the environment
  win32::WinHttpRequestFactory factory(proxy);
  win32::Win32Clock clock;
  win32::Win32NetworkState network;
  SleepingPump pump;
  const std::vector<std::string> servers(kServerList, kServerList + kServerCount);
  win32::PreciseUtcClock precise_clock;
  HttpOffsetProber https_prober(factory, precise_clock, &proxy);
  win32::SocketOffsetProber prober(precise_clock, https_prober, proxy);
  // query and sync: the window's request, whose answers the companion also
  // takes only when fresh and whose failures it names; over sockets through
  // a proxy. Their round trips are timed on the tick counter, which setting
  // the clock does not move.
  win32::Win32TickCounter ticks;
  ProbeTimeQuery usual_query(https_prober, precise_clock, ticks);
  ProbeTimeQuery socket_query(prober, precise_clock, ticks);
  ProxyChoosingTimeQuery query(proxy, usual_query, socket_query);
  win32::Win32PreciseLocalClock local_clock;
  OffsetPorts offset_ports{precise_clock, prober, local_clock, servers};
  const std::string environment_proxy =
      proxy_from_environment([](const char* name) -> const char* { return std::getenv(name); });
  win32::CredentialProxyPasswords passwords;
  win32::ComTaskScheduler scheduler;
  SchedulePorts schedule_ports{scheduler,           win32::current_user_utf8(), win32::ansi_to_utf8,
                               win32::utf8_to_ansi, win32::write_utf16_file,    &passwords,
                               environment_proxy};
  win32::FileRunLog machine_log(precise_clock, win32::FileRunLog::Place::machine);
  win32::FileRunLog user_log(precise_clock, win32::FileRunLog::Place::user);
  CliPorts ports{query,
                 clock,
                 network,
                 pump,
                 servers,
                 &offset_ports,
                 &schedule_ports,
                 &machine_log,
                 &proxy,
                 environment_proxy,
                 &passwords,
                 &user_log,
                 win32::process_is_elevated()};

  std::vector<std::string> args(argv + 1, argv + argc);
  StdioSink out(stdout);
  StdioSink err(stderr);
  const int status = run_cli(args, ports, out, err);
  out.flush();
  return status;
}
