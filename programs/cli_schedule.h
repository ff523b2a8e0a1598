// The console companion's "schedule" command: registers, removes, shows or
// exports the logon task.
#pragma once

#include <string>
#include <vector>

#include "programs/text_sink.h"
#include "timesync/proxy.h"
#include "unattended/logon_task.h"

namespace lanchuan {

struct SchedulePorts {
  TaskScheduler& scheduler;
  std::string user_id;  // DOMAIN\user of the caller, UTF-8; empty when unknown
  // The command line and the console use the ANSI code page (GBK), the task
  // UTF-8, so that any path survives. Null: the texts are taken as they are.
  std::string (*ansi_to_utf8)(const std::string&) = nullptr;
  std::string (*utf8_to_ansi)(const std::string&) = nullptr;
  // Writes `text` (UTF-8) to the file at `path` (UTF-8) as UTF-16 LE with a
  // byte-order mark, replacing it; false with a reason.
  bool (*write_utf16_file)(const std::string& path, const std::string& text,
                           std::string& error) = nullptr;
  // Where "schedule install" keeps the proxy's password; null: nowhere.
  ProxyPasswords* passwords = nullptr;
  std::string environment_proxy{};  // http_proxy, else HTTP_PROXY, at install time
};

extern const char* const kScheduleUsage;

// `args` are the words after "schedule". Exit status 0 on success, 1 when the
// task could not be registered, removed or found, or the prompt is not
// elevated, 2 on a usage error.
int run_schedule_command(const std::vector<std::string>& args, SchedulePorts& ports, TextSink& out,
                         TextSink& err);

}  // namespace lanchuan
