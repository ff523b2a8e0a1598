// The console companion's sub-second commands: "offset" measures the PC
// clock against web servers by timing several requests to each, and
// "sync --precise" sets the clock to the combined result with milliseconds.
#pragma once

#include <string>
#include <vector>

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

// Help texts, in the shape of the other commands' lines.
extern const char* const kOffsetUsage;
extern const char* const kPreciseSyncUsage;

// `args` are the words after "offset": [--probes N] [URL...]. Exit status 0
// when at least one server answered, 1 when none did, 2 on a usage error.
int run_offset_command(const std::vector<std::string>& args, OffsetPorts& ports, TextSink& out,
                       TextSink& err);

// `args` are the words after "sync": --precise (optional here) [--probes N]
// [--threshold MS] [URL...]. Exit status 0 when the clock was set or was left
// alone within the threshold, 1 when no usable offset was measured or the
// clock refused it, 2 on a usage error.
int run_precise_sync_command(const std::vector<std::string>& args, OffsetPorts& ports,
                             TextSink& out, TextSink& err);

}  // namespace lanchuan
