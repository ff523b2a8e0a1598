#include "unattended/sync_log.h"

#include <cstdio>

#include "base/datetime.h"
#include "timesync/proxy.h"

namespace lanchuan {

namespace {

const char* outcome_text(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::set:
      return "set";
    case RunOutcome::under_threshold:
      return "left alone under the threshold";
    case RunOutcome::step_refused:
      return "refused by the step guard";
    case RunOutcome::no_right:
      return "could not set: no right";
    case RunOutcome::no_server:
      return "no server";
    case RunOutcome::disagreement:
      return "servers disagree";
    case RunOutcome::no_network:
      return "no network";
  }
  return "";
}

// A field never holds the separators of fields or lines, nor the user
// information of a URL (a password, of a server or of the proxy): users may
// read the log.
std::string field(const std::string& raw) {
  std::string text = without_user_info(raw);
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string utc_text(std::int64_t utc_us) {
  const std::int64_t seconds = floor_div(utc_us, 1000000);
  const std::int64_t days = floor_div(seconds, 86400);
  const DateTimeParts p =
      split_date_time(DateTime{static_cast<double>(kOleDayOfUnixEpoch + days) +
                               static_cast<double>(seconds - days * 86400) / 86400.0});
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", p.year, p.month, p.day,
                p.hour, p.minute, p.second, static_cast<int>((utc_us - seconds * 1000000) / 1000));
  return text;
}

}  // namespace

std::string ms_text(std::int64_t us, bool with_sign, bool tenths) {
  const std::int64_t unit = tenths ? 100 : 1000;
  const std::int64_t count = ((us < 0 ? -us : us) + unit / 2) / unit;
  const std::string digits = tenths ? std::to_string(count / 10) + "." + std::to_string(count % 10)
                                    : std::to_string(count);
  if (count == 0) return digits;
  if (us < 0) return "-" + digits;
  return with_sign ? "+" + digits : digits;
}

std::string format_log_line(const RunRecord& record, std::int64_t utc_us) {
  std::string line = utc_text(utc_us);
  line += '\t';
  line += field(record.command);
  line += '\t';
  line += outcome_text(record.outcome);
  line += '\t';
  line += record.has_correction ? ms_text(record.correction_us, true) + " ms" : "-";
  for (const RunLogServer& s : record.servers) {
    line += '\t';
    line += field(s.url);
    if (!s.ok) {
      line += " failed: ";
      line += field(s.failure);
      continue;
    }
    line += " offset ";
    line += ms_text(s.offset_us, true, true);
    line += " ms +/- ";
    line += ms_text(s.uncertainty_us, false, true);
    line += s.left_out ? " ms (left out)" : " ms";
  }
  line += '\n';
  return line;
}

}  // namespace lanchuan
