#include "programs/cli_offset.h"

#include <cstdio>
#include <set>

#include "base/datetime.h"
#include "programs/cli_log.h"
#include "programs/cli_usage.h"
#include "timesync/peer_voice.h"

namespace lanchuan {

const char* const kOffsetUsage =
    "  offset [--probes N] [URL...]\n"
    "                measure the PC clock against each server (or the built-in\n"
    "                list) to a fraction of a second: a first request for the\n"
    "                round trip, then N timed probes (default 3, at most 10),\n"
    "                each a few requests around one change of the server's\n"
    "                second, about a second apart; prints the offset (server\n"
    "                minus PC) of each and the combined one of those within half\n"
    "                a second of the median\n";

const char* const kPreciseSyncUsage =
    "  sync --precise [--probes N] [--threshold MS] [--max-step SECONDS] [URL...]\n"
    "                measure as 'offset' does, then set the clock to the servers'\n"
    "                GMT time + 8 hours with milliseconds; with --threshold, leave\n"
    "                it alone when the correction is smaller than MS milliseconds;\n"
    "                a correction of more than SECONDS (default 1000, 0: no limit)\n"
    "                only when 3 servers on different hosts agree, else exit\n"
    "                status 3 and the clock left alone\n";

bool parse_threshold_ms(const std::string& text, int& ms) {
  return parse_option_number(text, 0, kMaxThresholdMs, ms);
}

bool parse_max_step_seconds(const std::string& text, int& seconds) {
  return parse_option_number(text, 0, kMaxMaxStepSeconds, seconds);
}

std::string threshold_option_error() {
  return "--threshold needs a number of milliseconds, 0 to " + std::to_string(kMaxThresholdMs);
}

std::string max_step_option_error() {
  return "--max-step needs a number of seconds, 0 to " + std::to_string(kMaxMaxStepSeconds);
}

bool step_allowed(std::int64_t correction_us, int max_step_seconds, int agreeing_hosts) {
  const std::int64_t step_us = correction_us < 0 ? -correction_us : correction_us;
  return max_step_seconds == 0 || step_us <= max_step_seconds * kMicrosPerSecond ||
         agreeing_hosts >= kMinAgreeingHosts;
}

int agreeing_hosts(const std::vector<ServerOffset>& servers, const CombinedOffset& combined) {
  std::set<std::string> voices;
  for (std::size_t i = 0; i < servers.size() && i < combined.used.size(); ++i) {
    if (!combined.used[i]) continue;  // failed, or left out of the agreement
    const ServerOffset& s = servers[i];
    const std::string voice = s.voice.empty() ? url_voice(s.url) : s.voice;
    if (!voice.empty()) voices.insert(voice);
  }
  return static_cast<int>(voices.size());
}

namespace {

constexpr std::int64_t kEightHoursUs = 8LL * 3600 * kMicrosPerSecond;

struct OffsetArgs {
  int probes = kDefaultOffsetProbes;
  int threshold_ms = 0;
  int max_step_seconds = kDefaultMaxStepSeconds;
  std::vector<std::string> urls;
};

// False with `error` set on a usage error. "--precise", "--threshold" and
// "--max-step" are accepted only when `precise_allowed`.
bool parse_args(const std::vector<std::string>& args, bool precise_allowed, OffsetArgs& parsed,
                std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    std::string count;
    if (word == "--probes") {
      if (i + 1 == args.size()) {
        error = "--probes needs a number";
        return false;
      }
      count = args[++i];
    } else if (word.rfind("--probes=", 0) == 0) {
      count = word.substr(9);
    } else if (word == "--precise" && precise_allowed) {
      continue;
    } else if (word == "--threshold" && precise_allowed) {
      if (i + 1 == args.size() || !parse_threshold_ms(args[++i], parsed.threshold_ms)) {
        error = threshold_option_error();
        return false;
      }
      continue;
    } else if (word == "--max-step" && precise_allowed) {
      if (i + 1 == args.size() || !parse_max_step_seconds(args[++i], parsed.max_step_seconds)) {
        error = max_step_option_error();
        return false;
      }
      continue;
    } else if (!word.empty() && word[0] == '-') {
      error = "unknown option '" + word + "'";
      return false;
    } else {
      parsed.urls.push_back(word);
      continue;
    }
    if (!parse_option_number(count, 0, kMaxOffsetProbes, parsed.probes)) {
      error = "the number of probes must be 0 to " + std::to_string(kMaxOffsetProbes);
      return false;
    }
  }
  return true;
}

void print_server(TextSink& out, const ServerOffset& s) {
  out << s.url << "  ";
  if (!s.ok) {
    out << "failed: " << s.failure << "\n";
  } else {
    out << "round trip " << ms_text(s.round_trip_us, false) << " ms  offset "
        << ms_text(s.offset_us, true, true) << " ms +/- " << ms_text(s.uncertainty_us, false, true)
        << " ms  (" << s.probes_counted << " of " << s.probes_sent << " probes, " << s.requests_sent
        << " requests)\n";
  }
  out.flush();  // a run over the whole list takes a while: show each as it ends
}

void print_combined(TextSink& out, const std::vector<ServerOffset>& servers,
                    const CombinedOffset& combined) {
  for (std::size_t i = 0; i < servers.size(); ++i) {
    if (!servers[i].ok || combined.used[i]) continue;
    out << servers[i].url
        << "  left out: " << ms_text(servers[i].offset_us - combined.median_us, true)
        << " ms from the median\n";
  }
  if (!combined.ok()) {
    out << "combined offset: none, the servers disagree by a second or more\n";
    return;
  }
  out << "combined offset: " << ms_text(combined.offset_us, true, true) << " ms +/- "
      << ms_text(combined.uncertainty_us, false, true) << " ms (" << combined.servers_used << " of "
      << servers.size() << " servers)\n";
}

// Parses, measures every server, prints; 0 when something was measured.
int measure(const std::vector<std::string>& args, bool precise_allowed, OffsetPorts& ports,
            TextSink& out, TextSink& err, std::vector<ServerOffset>& servers,
            CombinedOffset& combined, OffsetArgs& parsed) {
  std::string error;
  if (!parse_args(args, precise_allowed, parsed, error)) return usage_error(err, error);
  if (parsed.urls.empty()) parsed.urls = ports.servers;
  if (parsed.urls.empty()) return usage_error(err, "no server URL given");

  for (const std::string& url : parsed.urls) {
    servers.push_back(measure_server_offset(url, parsed.probes, ports.prober, ports.clock));
    print_server(out, servers.back());
  }
  combined = combine_server_offsets(servers);
  if (combined.servers_answered == 0) {
    err << "no time server answered\n";
    return 1;
  }
  print_combined(out, servers, combined);
  return 0;
}

struct LocalTarget {
  DateTimeParts parts;
  int milliseconds = 0;
};

LocalTarget split_local_us(std::int64_t local_us) {
  const std::int64_t seconds = floor_div(local_us, kMicrosPerSecond);
  const std::int64_t days = floor_div(seconds, 86400);
  const std::int64_t second_of_day = seconds - days * 86400;
  LocalTarget target;
  target.parts = split_date_time(DateTime{static_cast<double>(kOleDayOfUnixEpoch + days) +
                                          static_cast<double>(second_of_day) / 86400.0});
  target.milliseconds = static_cast<int>((local_us - seconds * kMicrosPerSecond) / 1000);
  return target;
}

std::string format_target(const LocalTarget& t) {
  DateTime value;
  make_date_time(t.parts.year, t.parts.month, t.parts.day, t.parts.hour, t.parts.minute,
                 t.parts.second, value);
  char ms[8];
  std::snprintf(ms, sizeof ms, ".%03d", t.milliseconds);
  return format_date_time(value) + ms;
}

}  // namespace

int run_offset_command(const std::vector<std::string>& args, OffsetPorts& ports, TextSink& out,
                       TextSink& err) {
  std::vector<ServerOffset> servers;
  CombinedOffset combined;
  OffsetArgs parsed;
  return measure(args, false, ports, out, err, servers, combined, parsed);
}

namespace {

// The servers measured, for the log.
RunRecord& record_servers(RunRecord& record, const std::vector<ServerOffset>& servers,
                          const CombinedOffset& combined) {
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const ServerOffset& s = servers[i];
    record.servers.push_back({s.url, s.ok, s.offset_us, s.uncertainty_us,
                              s.ok && i < combined.used.size() && !combined.used[i], s.failure});
  }
  return record;
}

}  // namespace

int run_precise_sync_command(const std::vector<std::string>& args, OffsetPorts& ports,
                             TextSink& out, TextSink& err, RunRecord* log_record) {
  std::vector<ServerOffset> servers;
  CombinedOffset combined;
  OffsetArgs parsed;
  RunRecord unused;
  RunRecord& record = log_record ? *log_record : unused;
  const int status = measure(args, true, ports, out, err, servers, combined, parsed);
  record.ran = status != kUsageErrorStatus;
  record_servers(record, servers, combined).outcome = RunOutcome::no_server;
  if (status != 0) return status;
  if (!combined.ok()) {
    err << "the clock was not set: the servers disagree by a second or more\n";
    record.outcome = RunOutcome::disagreement;
    return 1;
  }
  // As the window does: the servers' GMT time + 8 hours becomes the local
  // time, whatever the PC's own zone. The correction is what that moves the
  // PC's local clock by.
  const std::int64_t zone_us = ports.local_clock.local_minus_utc_us();
  const std::int64_t utc_now = ports.clock.now_utc_us();
  const std::int64_t target_local = utc_now + combined.offset_us + kEightHoursUs;
  const std::int64_t correction = target_local - (utc_now + zone_us);
  record.has_correction = true;
  record.correction_us = correction;
  if ((correction < 0 ? -correction : correction) < parsed.threshold_ms * 1000LL) {
    out << "clock left alone: the correction of " << ms_text(correction, true)
        << " ms is smaller than the threshold of " << parsed.threshold_ms << " ms\n";
    record.outcome = RunOutcome::under_threshold;
    return 0;
  }
  const int hosts = agreeing_hosts(servers, combined);
  if (!step_allowed(correction, parsed.max_step_seconds, hosts)) {
    err << "the clock was left alone: a step of " << ms_text(correction / 1000, true, true)
        << " s is more than --max-step " << parsed.max_step_seconds << " s and needs "
        << kMinAgreeingHosts << " servers on different hosts in agreement; " << hosts
        << " agreed\n";
    record.outcome = RunOutcome::step_refused;
    return kStepRefusedStatus;
  }
  const LocalTarget target = split_local_us(target_local);
  if (!ports.local_clock.set_local_time(target.parts, target.milliseconds)) {
    err << "the clock could not be set (correction " << ms_text(correction, true)
        << " ms): changing the system time needs that right (run as administrator), or "
           "security software refused it\n";
    record.outcome = RunOutcome::no_right;
    return 1;
  }
  out << "clock set to " << format_target(target) << ", correction " << ms_text(correction, true)
      << " ms\n";
  record.outcome = RunOutcome::set;
  return 0;
}

}  // namespace lanchuan
