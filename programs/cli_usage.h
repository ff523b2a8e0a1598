// The console companion's command lines: how it reports one it cannot use (one
// line naming the fault, a pointer to the help, exit status 2) and how it
// reads the numbers of its options.
#pragma once

#include <string>
#include <vector>

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

constexpr const char* kNoProxyOption = "--no-proxy";

inline std::string proxy_option_error() {
  return std::string(kProxyOption) + " needs " + kProxyUrlForm;
}

// "--proxy URL" or "--no-proxy", taken out of `args` (after the command
// word); without either, `environment` (http_proxy, else HTTP_PROXY). `proxy`
// stays unset for none. A command line that names its proxy, or none, never
// consults the environment: a task's run does not follow what its user's
// other programs set. False with `error` on a usage error.
bool take_proxy_choice(std::vector<std::string>& args, const std::string& environment,
                       HttpProxy& proxy, std::string& error);

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
