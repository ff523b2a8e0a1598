// Running a program of the build (beside the test exe) and collecting its
// output through files: Wine's services inherit handles and would keep pipes
// open long after the program has ended.
#pragma once

#include <string>

namespace lanchuan::e2e {

struct ProcessResult {
  unsigned long exit_code = 0;
  std::string out;
  std::string err;
  unsigned long elapsed_ms = 0;  // from the process's creation to its end
  bool timed_out = false;
};

// The folder of the running test exe, with a closing backslash.
std::string exe_folder();

// Runs `command_line` (the program path first, quoted as needed), waiting at
// most `timeout_ms`; a program that takes longer is killed.
ProcessResult run_process(const std::string& command_line, unsigned long timeout_ms);

// "LanchuanTimeSyncCli.exe" beside the test exe, followed by `args`.
ProcessResult run_cli(const std::string& args, unsigned long timeout_ms = 60000);

// A program that ended by an unhandled exception (its exit code is the
// exception's, 0xC0000000 and up: Wine's debugger is off in the rig) ends the
// test program at once, naming it; Wine's own line gives address and thread.
void end_test_if_faulted(const std::string& program, unsigned long pid, unsigned long exit_code);

// The first line of a text, without its line end.
std::string first_line(const std::string& text);

}  // namespace lanchuan::e2e
