// The console companion's command lines: how it reports one it cannot use (one
// line naming the fault, a pointer to the help, exit status 2) and how it
// reads the numbers of its options.
#pragma once

#include <string>

#include "programs/text_sink.h"
#include "timesync/proxy.h"

namespace lanchuan {

constexpr int kUsageErrorStatus = 2;

inline int usage_error(TextSink& err, const std::string& message) {
  err << "LanchuanTimeSyncCli: " << message << "\n";
  err << "Try 'LanchuanTimeSyncCli --help'.\n";
  return kUsageErrorStatus;
}

constexpr const char* kProxyOption = "--proxy";

inline std::string proxy_option_error() {
  return std::string(kProxyOption) + " needs " + kProxyUrlForm;
}

// Digits only, from `min` to `max`, and no more digits than `max` has (so
// "007" is not a number of probes up to 10); `value` is untouched otherwise.
inline bool parse_option_number(const std::string& text, int min, int max, int& value) {
  const std::size_t max_digits = std::to_string(max).size();
  if (text.empty() || text.size() > max_digits) return false;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number < min || number > max) return false;
  value = number;
  return true;
}

}  // namespace lanchuan
