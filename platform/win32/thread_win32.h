// Worker threads with a small stack, waited for through their handles (the
// time query's and the update fetch's workers keep their deadlines
// themselves). A worker whose wait runs out is left to end by its own
// deadline, so it owns or shares everything it touches.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/win32/handles_win32.h"

namespace lanchuan::win32 {

inline DWORD WINAPI run_thread_work(void* param) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(param));
  (*work)();
  return 0;
}

// The thread's handle; none when no thread could be started, and `work` then
// never runs.
inline unique_handle start_thread(std::function<void()> work) {
  constexpr SIZE_T kStackBytes = 256 * 1024;
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  unique_handle thread(CreateThread(nullptr, kStackBytes, run_thread_work, owned.get(),
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (thread) owned.release();
  return thread;
}

}  // namespace lanchuan::win32
