#include "e2e/support/process_stats.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

namespace lanchuan::e2e {
namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
  PVOID object;
  ULONG_PTR process_id;
  ULONG_PTR handle_value;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG handle_attributes;
  ULONG reserved;
};

struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

// One entry of the GDI handle table, as 64-bit Windows lays it out and Wine
// does for both widths.
struct GdiEntry {
  UINT64 kernel_object;
  USHORT process_id;
  USHORT count;
  USHORT upper;
  USHORT type;
  UINT64 user_object;
};
constexpr size_t kGdiTableEntries = 0x10000;
#ifdef _WIN64
constexpr size_t kPebGdiTableOffset = 0xF8;
#else
constexpr size_t kPebGdiTableOffset = 0x94;
#endif

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

template <typename Fn>
Fn ntdll_function(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

long count_handles(DWORD process_id) {
  static const auto query = ntdll_function<QuerySystemInformation>("NtQuerySystemInformation");
  if (!query) return -1;
  std::vector<unsigned char> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
      continue;
    }
    if (status != 0) return -1;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    long n = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
      if (list->entries[i].process_id == process_id) ++n;
    }
    return n;
  }
  return -1;
}

long count_gdi_objects(HANDLE process, DWORD process_id) {
  static const auto query = ntdll_function<QueryInformationProcess>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
    return -1;
  }
  UINT_PTR table = 0;
  if (!ReadProcessMemory(
          process,
          static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + kPebGdiTableOffset, &table,
          sizeof table, nullptr) ||
      table == 0) {
    return -1;
  }
  std::vector<GdiEntry> entries(kGdiTableEntries);
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                         entries.size() * sizeof(GdiEntry), nullptr)) {
    return -1;
  }
  // Windows shares one table among the processes of a session; Wine gives each
  // process its own and leaves the owner at 0. Stock objects belong to none.
  const USHORT owner = static_cast<USHORT>(process_id);
  long n = 0;
  for (const GdiEntry& e : entries) {
    if ((e.type & 0x1F) != 0 && (e.process_id == owner || e.process_id == 0)) ++n;
  }
  return n;
}

long count_threads(DWORD process_id) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  long n = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process_id) ++n;
  }
  CloseHandle(snapshot);
  return n;
}

}  // namespace

long thread_count(DWORD process_id) { return count_threads(process_id); }

ProcessStats read_process_stats(HANDLE process, DWORD process_id) {
  ProcessStats stats;
  stats.handles = count_handles(process_id);
  stats.gdi_objects = count_gdi_objects(process, process_id);
  stats.threads = count_threads(process_id);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    stats.working_set = memory.WorkingSetSize;
    // Wine leaves PrivateUsage at 0 for other processes; its PagefileUsage is
    // the anonymous resident memory, which is what a leak grows.
    stats.private_bytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  }
  return stats;
}

std::string describe(const ProcessStats& s) {
  return "threads=" + std::to_string(s.threads) + " handles=" + std::to_string(s.handles) +
         " gdi=" + std::to_string(s.gdi_objects) +
         " working_set_kb=" + std::to_string(s.working_set / 1024) +
         " private_kb=" + std::to_string(s.private_bytes / 1024);
}

}  // namespace lanchuan::e2e
