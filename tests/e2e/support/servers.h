// The built-in time servers as the Wine tests see them: the private hosts file
// (tests/e2e/hosts) puts server k of the list at 127.0.0.(11 + k), port 80.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "e2e/support/fake_http_server.h"

namespace lanchuan::e2e {

inline std::string builtin_server_ip(int index) { return "127.0.0." + std::to_string(11 + index); }

constexpr const char* kUpdateHostIp = "127.0.0.20";

// Fake servers standing in for the first `count` built-in servers.
std::vector<std::unique_ptr<FakeHttpServer>> builtin_servers(int count);

// An answer without a Date header.
FakeResponse no_date();

}  // namespace lanchuan::e2e
