// A detached worker thread with a small stack, for a blocking call that the
// caller may stop waiting for at its deadline (a time query, the update fetch,
// a name resolution): the thread ends on its own when the call returns.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

namespace lanchuan::win32 {

inline DWORD WINAPI run_detached_work(void* param) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(param));
  (*work)();
  return 0;
}

// False when no thread could be started; `work` then never runs.
inline bool start_detached_thread(std::function<void()> work) {
  constexpr SIZE_T kStackBytes = 256 * 1024;
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  const HANDLE thread = CreateThread(nullptr, kStackBytes, run_detached_work, owned.get(),
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!thread) return false;
  owned.release();
  CloseHandle(thread);
  return true;
}

}  // namespace lanchuan::win32
