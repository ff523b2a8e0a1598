#include "programs/cli_log.h"

#include "programs/cli_usage.h"

namespace lanchuan {

const char* const kLogUsage =
    "  log [--last N]\n"
    "                print the last N runs of sync and sync --precise (default\n"
    "                10) from the log in the program-data folder\n";

void log_run(RunLog* log, const RunRecord& record, TextSink& err) {
  if (!log || !record.ran) return;
  std::string error;
  if (!log->append(format_log_line(record, log->now_utc_us()), error)) {
    err << "warning: this run is not in the log " << log->where() << ": " << error << "\n";
  }
}

namespace {

// The last `count` lines of `text`, with a line end.
std::string last_lines(std::string text, int count) {
  if (text.back() != '\n') text += '\n';
  // From the start of the count-th line from the end.
  std::size_t start = 0;
  int lines = 0;
  for (std::size_t i = text.size() - 1; i-- > 0;) {
    if (text[i] == '\n' && ++lines == count) {
      start = i + 1;
      break;
    }
  }
  return text.substr(start);
}

}  // namespace

int run_log_command(const std::vector<std::string>& args, RunLog& log, RunLog* user_log,
                    TextSink& out, TextSink& err) {
  int count = kDefaultLogLines;
  if (!args.empty() && (args.size() != 2 || args[0] != "--last" ||
                        !parse_option_number(args[1], 1, kMaxLogLines, count))) {
    return usage_error(err, "log takes --last N, N from 1 to " + std::to_string(kMaxLogLines));
  }
  std::string text, error;
  if (!log.read(text, error)) {
    err << "the log " << log.where() << " could not be read: " << error << "\n";
    return 1;
  }
  if (text.empty()) {
    out << "no run in the log " << log.where() << " yet\n";
  } else {
    out << last_lines(text, count);
  }
  if (!user_log) return 0;
  std::string own;
  if (!user_log->read(own, error)) {
    err << "your own log " << user_log->where() << " could not be read: " << error << "\n";
    return 1;
  }
  if (!own.empty()) {
    out << "your own runs, unelevated, in " << user_log->where() << ":\n" << last_lines(own, count);
  }
  return 0;
}

}  // namespace lanchuan
