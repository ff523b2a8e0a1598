// Setting the local clock: the one place that calls SetLocalTime.
#pragma once

#include "base/datetime.h"

namespace lanchuan::win32 {

// SetLocalTime with the given parts (day of the week included); true when the
// local clock now shows that time.
bool set_local_clock(const DateTimeParts& parts, int milliseconds);

}  // namespace lanchuan::win32
