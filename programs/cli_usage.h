// How the console companion reports a command line it cannot use: one line
// naming the fault, a pointer to the help, exit status 2.
#pragma once

#include <string>

#include "programs/text_sink.h"

namespace lanchuan {

constexpr int kUsageErrorStatus = 2;

inline int usage_error(TextSink& err, const std::string& message) {
  err << "LanchuanTimeSyncCli: " << message << "\n";
  err << "Try 'LanchuanTimeSyncCli --help'.\n";
  return kUsageErrorStatus;
}

}  // namespace lanchuan
