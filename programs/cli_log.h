// The console companion's "log [--last N]": prints the last runs of sync
// from the sync log.
#pragma once

#include <string>
#include <vector>

#include "programs/text_sink.h"
#include "unattended/sync_log.h"

namespace lanchuan {

// Adds the record's line when it ran; a log that cannot be written is one
// warning on `err`, never a failed run.
void log_run(RunLog* log, const RunRecord& record, TextSink& err);

constexpr int kDefaultLogLines = 10;
constexpr int kMaxLogLines = 99999;
extern const char* const kLogUsage;

// `args` are the words after "log": [--last N]. The machine's log first, then
// the runs in `user_log` (an unelevated user's own), when it has any. Exit status 0 when the log
// was read (or there is none yet), 1 when it could not be, 2 on a usage error.
int run_log_command(const std::vector<std::string>& args, RunLog& log, RunLog* user_log,
                    TextSink& out, TextSink& err);

}  // namespace lanchuan
