// Waiting on a worker without freezing the thread's windows. The calling
// thread keeps answering while it waits: messages that other threads and
// processes send to its windows are handled (so the system never takes the
// window for hung) and its windows are painted. Timers, input and posted
// messages stay queued until the thread's own loop takes them, so no handler
// starts in the middle of the wait. A window may put off a sent message that
// would start work of its own (a handler, a menu, a modal loop, which takes
// timers and posted messages): it comes back posted once the wait has ended.
#pragma once

#include <windows.h>

#include <vector>

namespace lanchuan::win32 {

namespace wait_detail {
struct PutOff {
  HWND hwnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};
struct ThreadWaits {
  int depth = 0;
  std::vector<PutOff> put_off;
};
inline ThreadWaits& thread_waits() {
  thread_local ThreadWaits waits;
  return waits;
}

// Marks the thread as waiting; at the end of the outermost wait posts what
// was put off back to its windows, in the order it came.
class WaitScope {
 public:
  WaitScope() { ++thread_waits().depth; }
  ~WaitScope() {
    ThreadWaits& w = thread_waits();
    if (--w.depth > 0) return;
    std::vector<PutOff> due;
    due.swap(w.put_off);
    // Posted, they wait for the thread's own loop like any click (a window
    // gone meanwhile just does not take them).
    for (const PutOff& m : due) PostMessageA(m.hwnd, m.msg, m.wp, m.lp);
  }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;
};
}  // namespace wait_detail

// True inside wait_answering on the calling thread.
inline bool waiting_answering() { return wait_detail::thread_waits().depth > 0; }

// For a window procedure inside wait_answering: the message comes back,
// posted to `hwnd`, when the wait ends. The caller returns at once, which
// replies to a sender in another thread or process; so the sender is not
// held for the length of the wait.
inline void put_off_until_wait_ends(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  wait_detail::thread_waits().put_off.push_back({hwnd, msg, wp, lp});
}

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
  const wait_detail::WaitScope scope;
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
