// The sync log: every "sync" and "sync --precise" run of the console
// companion adds one line to a file (the Win32 side keeps it in the
// program-data folder, or the user's own folder for an unelevated run).
//
// A line is fields separated by tabs, ending in a line feed:
//   UTC time (2026-12-09T08:24:00.123Z)  the command line  the outcome
//   the correction ("+230 ms", "-" when none was worked out)
//   then one field per server asked, in order: "URL offset +230.1 ms +/- 0.8 ms",
//   with " (left out)" when it was too far from the others, or "URL failed: reason".
// Tabs and line ends inside a field become blanks; user information in a URL
// (a proxy's or a server's password) never reaches the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanchuan {

enum class RunOutcome {
  set,              // "set"
  under_threshold,  // "left alone under the threshold"
  step_refused,     // "refused by the step guard"
  no_right,         // "could not set: no right"
  no_server,        // "no server"
  disagreement,     // "servers disagree"
  no_network,       // "no network"
};

struct RunLogServer {
  std::string url;
  bool ok = false;
  std::int64_t offset_us = 0;  // server minus PC
  std::int64_t uncertainty_us = 0;
  bool left_out = false;
  std::string failure;  // when not ok
};

struct RunRecord {
  bool ran = false;  // false: a usage error, nothing to log
  std::string command;
  RunOutcome outcome = RunOutcome::no_server;
  bool has_correction = false;
  std::int64_t correction_us = 0;
  std::vector<RunLogServer> servers;
};

// The record as one line of the log, `utc_us` (since 1970) its time.
std::string format_log_line(const RunRecord& record, std::int64_t utc_us);

// Milliseconds, rounded half away from zero, whole or to a tenth ("+123.4");
// with the sign when asked.
std::string ms_text(std::int64_t us, bool with_sign, bool tenths = false);

// Where the log lives.
class RunLog {
 public:
  virtual ~RunLog() = default;
  virtual std::int64_t now_utc_us() = 0;
  // Adds one line, whole; false with `error` set when it could not.
  virtual bool append(const std::string& line, std::string& error) = 0;
  // The lines kept (the older file's first); none when there is no log yet.
  virtual bool read(std::string& text, std::string& error) = 0;
  // The file's name, for people.
  virtual std::string where() = 0;
};

}  // namespace lanchuan
