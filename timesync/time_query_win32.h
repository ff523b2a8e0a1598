// The HTTP request object "WinHttp.WinHttpRequest.5.1", driven late-bound
// through IDispatch by member name. Each request runs on a thread of its own,
// which makes, opens and sends the object asynchronously and ends the wait
// for its answer at the deadline itself (the object's time-outs restart with
// every packet and do not bound a dripping server), then releases the object
// and ends. The caller's thread waits for it with its windows answering.
#pragma once

#include <memory>

#include "timesync/time_query.h"

namespace lanchuan::win32 {

class WinHttpRequestFactory : public HeadRequestFactory {
 public:
  std::unique_ptr<HeadRequest> create() override;
};

class Win32TickCounter : public TickCounter {
 public:
  std::uint32_t tick_ms() override;
};

}  // namespace lanchuan::win32
