// The logon task's Win32 side: the Task Scheduler through its COM interface
// (never schtasks.exe), the program's copy under %ProgramFiles%, and the facts
// about this process the task needs: its own path, its user, whether it runs
// elevated.
#pragma once

#include <string>

#include "unattended/logon_task.h"

namespace lanchuan::win32 {

class ComTaskScheduler : public TaskScheduler {
 public:
  bool is_elevated() override;
  bool register_task(const std::string& xml, bool as_system, std::string& error) override;
  Removal delete_task(std::string& error) override;
  bool task_xml(std::string& xml) override;
  std::string program_copy_path() override;
  bool install_program_copy(std::string& error) override;
  Removal remove_program_copy(std::string& error) override;
};

// Whether this process runs elevated (a full administrator's token).
bool process_is_elevated();

// This exe's full path and the caller's DOMAIN\user (empty when unknown;
// kSystemUserId for the system's own account), UTF-8.
std::string module_path_utf8();
std::string current_user_utf8();

// The system's message for an error code (GetLastError's), with the code.
std::string system_error_text(unsigned long code);

// SchedulePorts::write_utf16_file.
bool write_utf16_file(const std::string& path, const std::string& text, std::string& error);

// Between the ANSI code page of the command line and console, and UTF-8.
std::string ansi_to_utf8(const std::string& text);
std::string utf8_to_ansi(const std::string& text);

}  // namespace lanchuan::win32
