// The built-in time servers as the Wine tests see them: the private hosts file
// (tests/e2e/hosts) puts server k of the list at 127.0.0.(11 + k), port 80.
#pragma once

#include <string>

namespace lanchuan::e2e {

inline std::string builtin_server_ip(int index) { return "127.0.0." + std::to_string(11 + index); }

constexpr const char* kUpdateHostIp = "127.0.0.20";

}  // namespace lanchuan::e2e
