// The built-in time servers, in the order the failover tries them.
#pragma once

namespace lanchuan {

constexpr int kServerCount = 7;
extern const char* const kServerList[kServerCount];

}  // namespace lanchuan
