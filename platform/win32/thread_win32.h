// Worker threads with a small stack. A joinable one is waited for through its
// handle (the time query's and the update fetch's workers, which keep their
// deadlines themselves). A detached one must own or share everything it
// touches, since nobody waits for its end.
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

// False when no thread could be started; `work` then never runs.
inline bool start_detached_thread(std::function<void()> work) {
  return static_cast<bool>(start_thread(std::move(work)));
}

}  // namespace lanchuan::win32
