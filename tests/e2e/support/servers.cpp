#include "e2e/support/servers.h"

#include <gtest/gtest.h>

namespace lanchuan::e2e {

std::vector<std::unique_ptr<FakeHttpServer>> builtin_servers(int count) {
  std::vector<std::unique_ptr<FakeHttpServer>> servers;
  for (int i = 0; i < count; ++i) {
    servers.push_back(std::make_unique<FakeHttpServer>(builtin_server_ip(i), 80));
    EXPECT_TRUE(servers.back()->listening()) << builtin_server_ip(i);
  }
  return servers;
}

FakeResponse no_date() {
  FakeResponse r;
  r.date.clear();
  return r;
}

}  // namespace lanchuan::e2e
