// The logon task: a Task Scheduler task that runs "sync --precise" at every
// logon with the highest privileges, so that an administrator's PC is
// calibrated without an elevated prompt each time. The task's XML is made
// here; registering it is the port's business.
#pragma once

#include <string>
#include <vector>

#include "timesync/offset.h"

namespace lanchuan {

// The task's path in the scheduler's root folder.
extern const char* const kTaskPath;
// The user id of the system's own account (LocalSystem), as a package's
// installer runs "schedule install": its task starts at any user's logon and
// runs in that account, which may set the clock.
extern const char* const kSystemUserId;

// The Task Scheduler as the command needs it. The XML is UTF-8; an error is a
// text for the console.
class TaskScheduler {
 public:
  enum class Removal { removed, not_found, failed };

  virtual ~TaskScheduler() = default;
  // Whether this process runs elevated (a full administrator's token).
  virtual bool is_elevated() = 0;
  // Registers or replaces the task at kTaskPath, for the system's own account
  // when `as_system`, else for the caller; false with a reason.
  virtual bool register_task(const std::string& xml, bool as_system, std::string& error) = 0;
  virtual Removal delete_task(std::string& error) = 0;
  // The registered task's XML; false when there is none.
  virtual bool task_xml(std::string& xml) = 0;

  // The copy of this program that the task runs (UTF-8), in a folder only
  // administrators may change: the task runs elevated, and a program where
  // the zip was unpacked (Downloads, a folder under C:\) could be replaced by
  // anyone, or have a library planted beside it.
  virtual std::string program_copy_path() = 0;
  // Puts this program there, replacing an older copy; a program already
  // running from there is left as it is. False with a reason.
  virtual bool install_program_copy(std::string& error) = 0;
  // Removes the copy, unless it is the program running now or an installed
  // package's (which removes its own files).
  virtual Removal remove_program_copy(std::string& error) = 0;
};

// What the task runs and when.
struct TaskOptions {
  int every_minutes = 0;                          // 0: only at logon
  int threshold_ms = 0;                           // 0: always set the clock
  int max_step_seconds = kDefaultMaxStepSeconds;  // as "sync --precise --max-step"
  std::vector<std::string> urls;
  // "--proxy URL" of the task: the proxy as proxy_url_without_password()
  // writes it; empty: "--no-proxy".
  std::string proxy;
  std::string out_file;  // "schedule export --out FILE", in the command line's code page
};

// The text of the XML's first <Command> (the program the task runs), its
// character references resolved; empty when it names none.
std::string task_command(const std::string& xml);

// The task definition in the Task Scheduler 1.2 schema, declared in
// `encoding` ("UTF-16" for the COM interface, "UTF-8" for a file). Without
// `user_id` the logon of any user starts it, in the account that registers it;
// with kSystemUserId any user's logon starts it, in the system's account.
std::string build_task_xml(const TaskOptions& options, const std::string& exe_path,
                           const std::string& user_id, const std::string& encoding);

// "PT5M", "PT1H30M", "P1D": an ISO 8601 duration of whole minutes.
std::string iso_duration_minutes(int minutes);

// Text for XML content and attribute values.
std::string xml_escape(const std::string& text);

// One command-line word as CommandLineToArgvW reads it back.
std::string quote_argument(const std::string& word);

// The task's arguments: "sync --precise" and the options that differ from
// its defaults.
std::string task_arguments(const TaskOptions& options);

}  // namespace lanchuan
