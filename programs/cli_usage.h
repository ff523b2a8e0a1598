// How the console companion reports a command line it cannot use: one line
// naming the fault, a pointer to the help, exit status 2.
#pragma once

#include <ostream>
#include <string>

namespace lanchuan {

constexpr int kUsageErrorStatus = 2;

inline int usage_error(std::ostream& err, const std::string& message) {
  err << "LanchuanTimeSyncCli: " << message << "\n";
  err << "Try 'LanchuanTimeSyncCli --help'.\n";
  return kUsageErrorStatus;
}

}  // namespace lanchuan
