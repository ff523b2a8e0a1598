#include "app/headless.h"

#include <chrono>
#include <thread>

namespace lanchuan {

void SleepingPump::wait_processing(int ms) {
  // "More than ms milliseconds", like the window's wait.
  if (ms >= 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms + 1));
}

}  // namespace lanchuan
