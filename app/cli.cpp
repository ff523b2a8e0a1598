#include "app/cli.h"

#include <cmath>

#include "app/cli_update_file.h"

namespace lanchuan {
namespace {

const char* const kQueryUsage =
    "  query URL     ask one web server for its time (HTTP HEAD, Date header)\n"
    "                and print it as UTC+8 local time, then the PC time and the\n"
    "                difference in seconds\n";

int usage_error(std::ostream& err, const std::string& message) {
  err << "LanchuanTimeSyncCli: " << message << "\n";
  err << "Try 'LanchuanTimeSyncCli --help'.\n";
  return 2;
}

int query_command(const std::vector<std::string>& args, CliPorts& ports, std::ostream& out,
                  std::ostream& err) {
  if (args.size() != 2) return usage_error(err, "query takes exactly one URL");
  const std::string& url = args[1];
  DateTime server_time;
  if (!ports.time_query.query_server_time(url, server_time)) {
    err << "no time from " << url
        << ": the server did not answer in time or sent no valid Date header\n";
    return 1;
  }
  const DateTime pc_time = ports.clock.now_local();
  const double diff_s = std::round((server_time.days - pc_time.days) * 86400.0);
  out << format_date_time(server_time) << "\n";
  out << "PC time:    " << format_date_time(pc_time) << "\n";
  out << "difference: " << static_cast<long long>(diff_s) << " s (server minus PC)\n";
  return 0;
}

int update_file_command(const std::vector<std::string>& args, CliPorts&, std::ostream& out,
                        std::ostream& err) {
  return run_update_file_command(args, out, err);
}

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const std::vector<std::string>& args, CliPorts& ports, std::ostream& out,
             std::ostream& err);
};

// One row per command; args passed on include the command word.
const Command kCommands[] = {
    {"query", kQueryUsage, query_command},
    {"update-file", kUpdateFileUsage, update_file_command},
};

void print_usage(std::ostream& out) {
  out << "Usage: LanchuanTimeSyncCli COMMAND [ARGS]\n\nCommands:\n";
  for (const Command& c : kCommands) out << c.usage;
  out << "  --help        show this text\n"
         "\n"
         "Exit status: 0 on success, 1 when the command failed, 2 on a usage error.\n";
}

}  // namespace

int run_cli(const std::vector<std::string>& args, CliPorts& ports, std::ostream& out,
            std::ostream& err) {
  if (args.empty()) return usage_error(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    print_usage(out);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (command == c.name) return c.run(args, ports, out, err);
  }
  return usage_error(err, "unknown command '" + command + "'");
}

}  // namespace lanchuan
