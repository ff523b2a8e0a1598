// The console companion's sub-second commands: "offset" measures the PC
// clock against web servers by timing several requests to each, and
// "sync --precise" sets the clock to the combined result with milliseconds.
#pragma once

#include <string>
#include <vector>

#include "programs/cli_log.h"
#include "programs/text_sink.h"
#include "timesync/offset.h"

namespace lanchuan {

struct OffsetPorts {
  HighResClock& clock;
  OffsetProber& prober;
  PreciseLocalClock& local_clock;    // only "sync --precise" touches it
  std::vector<std::string> servers;  // the built-in list, used when no URL is given
};

// "--threshold MS" of "sync --precise": a correction smaller than this many
// milliseconds leaves the clock alone.
constexpr int kMaxThresholdMs = 3600000;
// Digits only, 0 to kMaxThresholdMs.
bool parse_threshold_ms(const std::string& text, int& ms);
// The usage error of a "--threshold" without such a number.
std::string threshold_option_error();

// The step guard of "sync --precise": a correction of more than "--max-step
// SECONDS" (kDefaultMaxStepSeconds unless given; 0 lifts the limit) is made
// only when at least kMinAgreeingHosts servers on different hosts (told apart
// by the address that answered, see agreeing_hosts) answered and agree within
// half a second; else the clock is left alone and the
// command ends with kStepRefusedStatus. One server's word (a captive portal,
// a cache, a server set wrong) never moves the clock far.
constexpr int kMaxMaxStepSeconds = 999999999;
constexpr int kMinAgreeingHosts = 3;
constexpr int kStepRefusedStatus = 3;
// Digits only, 0 to kMaxMaxStepSeconds.
bool parse_max_step_seconds(const std::string& text, int& seconds);
// The usage error of a "--max-step" without such a number.
std::string max_step_option_error();
// Whether the clock may be moved by `correction_us`.
bool step_allowed(std::int64_t correction_us, int max_step_seconds, int agreeing_hosts);
// How many different voices (peer_voice.h) the servers in `combined` (those
// it used) spoke with: the addresses they answered from, one for all behind
// a proxy; a server whose prober could not tell counts by its URL's host.
int agreeing_hosts(const std::vector<ServerOffset>& servers, const CombinedOffset& combined);

// Help texts, in the shape of the other commands' lines.
extern const char* const kOffsetUsage;
extern const char* const kPreciseSyncUsage;

// `args` are the words after "offset": [--probes N] [URL...]. Exit status 0
// when at least one server answered, 1 when none did, 2 on a usage error.
int run_offset_command(const std::vector<std::string>& args, OffsetPorts& ports, TextSink& out,
                       TextSink& err);

// `args` are the words after "sync": --precise (optional here) [--probes N]
// [--threshold MS] [--max-step SECONDS] [URL...]. Exit status 0 when the
// clock was set or was left alone within the threshold, 1 when no usable
// offset was measured or the clock refused it, 2 on a usage error,
// kStepRefusedStatus when the step guard left the clock alone. The run's
// servers, correction and outcome go to `log_record` when given.
int run_precise_sync_command(const std::vector<std::string>& args, OffsetPorts& ports,
                             TextSink& out, TextSink& err, RunRecord* log_record = nullptr);

}  // namespace lanchuan
