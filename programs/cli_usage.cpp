#include "programs/cli_usage.h"

namespace lanchuan {

bool take_proxy_choice(std::vector<std::string>& args, const std::string& environment,
                       HttpProxy& proxy, std::string& error) {
  std::string given = environment, source = "http_proxy (or HTTP_PROXY)";
  bool named = false;
  for (std::size_t i = 1; i < args.size();) {
    const bool none = args[i] == kNoProxyOption;
    if (!none && args[i] != kProxyOption) {
      ++i;
      continue;
    }
    if (named) {
      error = std::string("give ") + kProxyOption + " or " + kNoProxyOption + " once";
      return false;
    }
    if (!none && i + 1 == args.size()) {
      error = proxy_option_error();
      return false;
    }
    named = true;
    given = none ? std::string() : args[i + 1];
    source = kProxyOption;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + (none ? 1 : 2));
  }
  proxy = HttpProxy();
  if (given.empty()) return true;
  if (!parse_proxy_url(given, proxy)) {
    error = source + " is not " + kProxyUrlForm;
    return false;
  }
  return true;
}

}  // namespace lanchuan
