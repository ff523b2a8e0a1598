// One line of the sync log for each kind of run.
#include "unattended/sync_log.h"

#include <gtest/gtest.h>

namespace lanchuan {
namespace {

constexpr std::int64_t kAt = 1796804640123456;  // 2026-12-09 08:24:00.123456 UTC

TEST(LogLine, OneTabSeparatedLinePerRun) {
  const RunLogServer a{"http://a/", true, 230140, 850, false, ""};
  const RunLogServer far{"http://b/", true, -7500000, 12000, true, ""};
  const RunLogServer down{"http://c/", false, 0, 0, false, "connection refused\tor\r\nreset"};
  const struct {
    RunRecord record;
    std::int64_t utc_us;
    const char* line;
  } cases[] = {
      {{true, "sync --precise http://a/", RunOutcome::set, true, 230140, {a, far, down}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync --precise http://a/\tset\t+230 ms\t"
       "http://a/ offset +230.1 ms +/- 0.9 ms\thttp://b/ offset -7500.0 ms +/- 12.0 ms (left "
       "out)\thttp://c/ failed: connection refused or  reset\n"},
      {{true, "sync --precise --threshold 50", RunOutcome::under_threshold, true, -29600, {a}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync --precise --threshold 50\tleft alone under the "
       "threshold\t-30 ms\thttp://a/ offset +230.1 ms +/- 0.9 ms\n"},
      {{true, "sync --precise", RunOutcome::step_refused, true, 2000000000, {}},
       0,
       "1970-01-01T00:00:00.000Z\tsync --precise\trefused by the step guard\t+2000000 ms\n"},
      {{true, "sync", RunOutcome::no_right, true, -3000000, {}},
       -1000,  // a millisecond before 1970
       "1969-12-31T23:59:59.999Z\tsync\tcould not set: no right\t-3000 ms\n"},
      {{true, "sync", RunOutcome::no_server, false, 0, {down}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync\tno server\t-\thttp://c/ failed: connection refused or  "
       "reset\n"},
      {{true, "sync --precise", RunOutcome::disagreement, false, 0, {}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync --precise\tservers disagree\t-\n"},
      {{true, "sync", RunOutcome::no_network, false, 0, {}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync\tno network\t-\n"},
      // Users may read the log: no URL's user information reaches it.
      {{true,
        "sync --proxy http://u:s%40cret@p:1 http://v:pw@s/",
        RunOutcome::no_server,
        false,
        0,
        {{"http://v:pw@s/", false, 0, 0, false, "refused by http://w@s/"}}},
       kAt,
       "2026-12-09T08:24:00.123Z\tsync --proxy http://p:1 http://s/\tno server\t-\t"
       "http://s/ failed: refused by http://s/\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, format_log_line(c.record, c.utc_us));
}

}  // namespace
}  // namespace lanchuan
