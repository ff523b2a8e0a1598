// The log of sync runs as a file: %ProgramData%\LanchuanTimeSync\sync.log
// (UTF-8), made with its folder when missing. Before a line would take it
// past kLogCapBytes, the file's lines move to sync.log.1 (the one older file
// kept) and it starts again empty. Processes that log at once take turns.
#pragma once

#include <cstdint>

#include "timesync/offset.h"
#include "unattended/sync_log.h"

namespace lanchuan::win32 {

constexpr std::int64_t kLogCapBytes = 1024 * 1024;
// Writers take turns by an exclusive lock on this byte of the log, far past
// its end (readers by a shared one).
constexpr std::uint64_t kLogTurnByte = 1ULL << 32;

class FileRunLog : public RunLog {
 public:
  explicit FileRunLog(HighResClock& clock) : clock_(clock) {}
  std::int64_t now_utc_us() override { return clock_.now_utc_us(); }
  bool append(const std::string& line, std::string& error) override;
  bool read(std::string& text, std::string& error) override;
  std::string where() override;

 private:
  HighResClock& clock_;
};

}  // namespace lanchuan::win32
