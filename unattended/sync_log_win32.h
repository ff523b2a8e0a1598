// The sync log as a file. Elevated runs (the logon task among them) write
// %ProgramData%\LanchuanTimeSync\sync.log, in a folder only administrators and
// the system may change; unelevated runs write the user's own,
// %LOCALAPPDATA%\LanchuanTimeSync\sync.log. UTF-8. Before a line would take
// the file past kLogCapBytes, the file becomes sync.log.1 (the one older file
// kept) and a new one starts. Processes that log at once take turns.
//
// Whoever can write beside a file an elevated run writes could point it
// elsewhere: the file is opened without following links, and refused when it
// is a link of any kind, has a second name (a hard link), or is not where it
// was asked for; the machine's folder is refused when it is a link or when
// neither the administrators nor the system own it. A refusal is a warning of
// the run, never a write.
#pragma once

#include <cstdint>
#include <string>

#include "timesync/offset.h"
#include "unattended/sync_log.h"

namespace lanchuan::win32 {

constexpr std::int64_t kLogCapBytes = 1024 * 1024;
// Writers take turns by an exclusive lock on this byte of the log, far past
// its end (readers by a shared one).
constexpr std::uint64_t kLogTurnByte = 1ULL << 32;
// How long a run waits for its turn before it gives up with a warning: anyone
// who can read the log can hold a lock on it.
constexpr unsigned kLogTurnWaitMs = 5000;

class FileRunLog : public RunLog {
 public:
  enum class Place { machine, user };
  FileRunLog(HighResClock& clock, Place place) : clock_(clock), place_(place) {}
  std::int64_t now_utc_us() override { return clock_.now_utc_us(); }
  bool append(const std::string& line, std::string& error) override;
  bool read(std::string& text, std::string& error) override;
  std::string where() override;

 private:
  HighResClock& clock_;
  Place place_;
};

}  // namespace lanchuan::win32
