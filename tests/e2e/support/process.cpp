#include "e2e/support/process.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace lanchuan::e2e {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

HANDLE inheritable_file(const std::string& path) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string exe_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path);
  return p.substr(0, p.find_last_of('\\') + 1);
}

ProcessResult run_process(const std::string& command_line, unsigned long timeout_ms) {
  static int counter = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "lanchuan_proc_" +
                           std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  const std::string out_path = base + ".out", err_path = base + ".err";
  HANDLE out = inheritable_file(out_path);
  HANDLE err = inheritable_file(err_path);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi = {};
  std::string cmd = command_line;
  ProcessResult result;
  const DWORD start = GetTickCount();
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &si, &pi)) {
    CloseHandle(out);
    CloseHandle(err);
    result.exit_code = 0xFFFFFFFFu;
    result.err = "CreateProcess failed for: " + command_line;
    return result;
  }
  CloseHandle(out);
  CloseHandle(err);
  if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_TIMEOUT) {
    result.timed_out = true;
    TerminateProcess(pi.hProcess, 999);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  result.elapsed_ms = GetTickCount() - start;
  // The process's own life, from its creation to its end, rather than until
  // this thread saw it end (a busy machine may wake it late). Windows
  // documents the exit time as defined once the process has exited.
  FILETIME created, exited, kernel, user;
  if (!result.timed_out && GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
    const auto units = [](const FILETIME& t) {
      return static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    };
    if (units(exited) >= units(created) && units(created) != 0) {
      result.elapsed_ms = static_cast<unsigned long>((units(exited) - units(created)) / 10000);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  result.exit_code = code;
  end_test_if_faulted(command_line, pi.dwProcessId, code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  DeleteFileA(out_path.c_str());
  DeleteFileA(err_path.c_str());
  return result;
}

ProcessResult run_cli(const std::string& args, unsigned long timeout_ms) {
  return run_process("\"" + exe_folder() + "LanchuanTimeSyncCli.exe\" " + args, timeout_ms);
}

void end_test_if_faulted(const std::string& program, unsigned long pid, unsigned long exit_code) {
  if (exit_code < 0xC0000000ul || exit_code == 0xFFFFFFFFul) return;
  std::fprintf(stderr, "FAULT: %s (process %lu) ended by an unhandled exception 0x%08lX\n",
               program.c_str(), pid, exit_code);
  std::fflush(stderr);
  ExitProcess(3);
}

std::string first_line(const std::string& text) {
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace lanchuan::e2e
