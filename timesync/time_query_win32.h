// The HTTP request object "WinHttp.WinHttpRequest.5.1", driven late-bound
// through IDispatch by member name. Each request runs on a thread of its own,
// which makes, opens and sends the object asynchronously and ends the wait
// for its answer at the deadline itself (the object's time-outs restart with
// every packet and do not bound a dripping server), then releases the object
// and ends. The caller's thread waits for it with its windows answering.
#pragma once

#include <memory>

#include "timesync/proxy.h"
#include "timesync/time_query.h"

namespace lanchuan::win32 {

class WinHttpRequestFactory : public HeadRequestFactory {
 public:
  // The window's requests go as the system's settings say. The companion's
  // ask caches on the way not to answer for the server, and may name a proxy
  // (read at each create(): the command line sets it after this is made):
  // the object then goes through it (https:// with CONNECT), with its
  // credentials. Wine 8 ignores the object's SetProxy.
  WinHttpRequestFactory() = default;
  explicit WinHttpRequestFactory(const HttpProxy& proxy) : proxy_(&proxy) {}
  std::unique_ptr<HeadRequest> create() override;

 private:
  const HttpProxy* proxy_ = nullptr;
};

class Win32TickCounter : public TickCounter {
 public:
  std::uint32_t tick_ms() override;
};

}  // namespace lanchuan::win32
