// What another process holds, read from outside: its handles, its GDI objects
// and its memory. Wine stubs GetProcessHandleCount and GetGuiResources (both
// give 0), so these read sources that both Wine and Windows fill: the system's
// handle list and the GDI handle table that the process's PEB points to.
#pragma once

#include <windows.h>

#include <string>

namespace lanchuan::e2e {

struct ProcessStats {
  long handles = -1;      // kernel handles; -1 when unreadable
  long gdi_objects = -1;  // GDI objects, stock objects included
  long threads = -1;      // from the system's thread list
  unsigned long long working_set = 0;
  unsigned long long private_bytes = 0;  // committed private memory (Wine: anonymous resident)
};

// `process` needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ, as the
// handle from CreateProcess has.
ProcessStats read_process_stats(HANDLE process, DWORD process_id);

// The process's threads now; -1 when the list cannot be read.
long thread_count(DWORD process_id);

// "threads=.. handles=.. gdi=.. working_set_kb=.. private_kb=.."
std::string describe(const ProcessStats& stats);

}  // namespace lanchuan::e2e
