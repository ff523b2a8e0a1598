// The HTTP request object "WinHttp.WinHttpRequest.5.1", driven late-bound
// through IDispatch by member name.
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
