// How long the program may wait on the network. The per-step time-outs are
// what the platform's request objects enforce, but they restart with every
// packet: a server that drips its answer a byte at a time, or never finishes
// its headers, would hold a request for as long as it likes. Every request
// therefore also has a deadline for the whole exchange, after which it is
// abandoned and counts as failed.
#pragma once

namespace lanchuan {

// The time query's request object (per step).
constexpr int kResolveTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 10000;
constexpr int kReceiveTimeoutMs = 5000;

// One time query, from the send to the last header: the sum of its time-outs.
constexpr int kTimeQueryDeadlineMs =
    kResolveTimeoutMs + kConnectTimeoutMs + kSendTimeoutMs + kReceiveTimeoutMs;

// One request of the offset measurement over its own socket, from the moment
// it is due (or asked for, when later): name resolution and connecting when
// needed, sending, and reading the answer's head.
constexpr int kSocketProbeTimeoutMs = 3000;

// The update check's fetch of the update file, from the connection to the
// last byte of the body.
constexpr int kUpdateFetchDeadlineMs = 30000;

}  // namespace lanchuan
