// Waiting on a worker without freezing the thread's windows. The calling
// thread keeps answering while it waits: messages that other threads and
// processes send to its windows are handled (so the system never takes the
// window for hung) and its windows are painted. Timers, input and posted
// messages stay queued until the thread's own loop takes them, so no handler
// starts in the middle of the wait.
#pragma once

#include <windows.h>

namespace lanchuan::win32 {

// Handles what was sent to the thread's windows and paints those that need it.
inline void answer_sent_and_paint() {
  MSG msg;
  // PeekMessage "dispatches incoming nonqueued messages" before it looks at
  // the queue, and PM_QS_SENDMESSAGE limits it to "all sent messages"
  // (Microsoft's PeekMessage reference): this one delivers them and returns
  // nothing. PM_QS_PAINT likewise limits the next one to paint messages.
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // Each paint validates its window; the bound keeps a window that never
  // does from holding the wait.
  constexpr int kMaxPaints = 32;
  for (int i = 0;
       i < kMaxPaints && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT);
       ++i) {
    DispatchMessageA(&msg);
  }
}

// True when `handle` was signalled within `timeout_ms`; false when the time ran
// out or the wait itself failed.
inline bool wait_answering(HANDLE handle, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    answer_sent_and_paint();
    const DWORD elapsed = GetTickCount() - start;
    const DWORD left = elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
    // Wakes for messages that arrived since the last peek, of these kinds only.
    const DWORD woke =
        MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE | QS_PAINT);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return false;  // out of time, or WAIT_FAILED
    // Messages that keep coming must not stretch the wait past its time.
    if (left == 0) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
  }
}

}  // namespace lanchuan::win32
