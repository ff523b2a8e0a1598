// "LanchuanTimeSyncCli sync": one calibration with the window's failover over
// the built-in list, then the clock. The built-in names resolve to fake
// servers on loopback. Under Wine setting the clock never moves the machine's
// clock: within half a second of the truth it succeeds and does nothing, else
// it fails.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "e2e/support/fake_http_server.h"
#include "e2e/support/process.h"
#include "e2e/support/servers.h"
#include "timesync/servers.h"
#include "ui/layout.h"
#include "unattended/sync_log_win32.h"

namespace lanchuan::e2e {
namespace {

// A known folder's path (ASCII in the test prefix).
std::string known_folder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  EXPECT_TRUE(SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)));
  std::wstring wide(path ? path : L"");
  CoTaskMemFree(path);
  return std::string(wide.begin(), wide.end());
}

TEST(Sync, FailsOverInListOrderAndSetsTheClock) {
  auto servers = builtin_servers(3);
  servers[0]->set_response(no_date());
  servers[1]->set_response(no_date());
  FakeResponse now;
  now.align_to_second = true;  // set from at once, the stamp is within half a second of the truth
  servers[2]->set_response(now);

  const ProcessResult r = run_cli("sync", 60000);
  EXPECT_EQ(0u, r.exit_code) << r.out << r.err
                             << "stamping misses: " << servers[2]->stamping_misses();
  EXPECT_NE(std::string::npos, r.out.find("clock set"));
  EXPECT_NE(std::string::npos, r.out.find(kServerList[2]));
  // The chosen server (the first) is tried, then the list from its top.
  EXPECT_EQ(2u, servers[0]->request_count());
  EXPECT_EQ(1u, servers[1]->request_count());
  EXPECT_EQ(1u, servers[2]->request_count());
  EXPECT_EQ("HEAD /123.123 HTTP/1.1", servers[2]->request_lines().at(0));
}

TEST(Sync, ClockThatCannotBeSetIsAFailure) {
  auto servers = builtin_servers(1);
  FakeResponse hour_ahead;
  hour_ahead.date = http_date_now(3600);
  servers[0]->set_response(hour_ahead);
  const ProcessResult r = run_cli("sync", 60000);
  EXPECT_EQ(1u, r.exit_code) << r.out;
  EXPECT_NE(std::string::npos, r.err.find("could not be set"));
  EXPECT_EQ(1u, servers[0]->request_count());
}

TEST(Sync, EveryServerDownTriesTheWholeListOnce) {
  auto servers = builtin_servers(kServerCount);
  for (auto& s : servers) s->set_response(no_date());
  const ProcessResult r = run_cli("sync", 120000);
  EXPECT_EQ(1u, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find(kServerList[kServerCount - 1]));
  EXPECT_EQ(2u, servers[0]->request_count());
  for (int i = 1; i < kServerCount; ++i) EXPECT_EQ(1u, servers[i]->request_count()) << i;
}

// Wine keeps the task but not its trigger or action: only its presence can be
// read back. The XML itself is checked by schedule_export.sh.
TEST(Schedule, InstallShowRemove) {
  ProcessResult r = run_cli("schedule install --every 60 --threshold 50 http://a/?x=1&y=2");
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_EQ(0u, r.out.rfind("registered the task \\LanchuanTimeSync for ", 0)) << r.out;
  EXPECT_NE(
      std::string::npos,
      r.out.find("\\LanchuanTimeSync\\LanchuanTimeSyncCli.exe\" sync --precise --threshold 50 "
                 "--no-proxy http://a/?x=1&y=2"))
      << r.out;

  // The task runs a copy only administrators may replace.
  const std::string copy =
      known_folder(FOLDERID_ProgramFiles) + "\\LanchuanTimeSync\\LanchuanTimeSyncCli.exe";
  EXPECT_EQ(0u, run_process("\"" + copy + "\" --help", 60000).exit_code) << copy;

  r = run_cli("schedule show");
  EXPECT_EQ(0u, r.exit_code) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("<Task")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find(copy)) << r.out;

  r = run_cli("schedule remove");
  EXPECT_EQ(0u, r.exit_code) << r.err;
  EXPECT_EQ("removed the task \\LanchuanTimeSync", first_line(r.out));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(copy.c_str())) << r.out;
  r = run_cli("schedule show");
  EXPECT_EQ(1u, r.exit_code) << r.out;
  EXPECT_EQ("there is no task \\LanchuanTimeSync", first_line(r.err));
  r = run_cli("schedule remove");
  EXPECT_EQ(0u, r.exit_code) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("nothing to remove"));
}

TEST(Sync, GivenUrlIsTriedFirst) {
  FakeHttpServer mine;
  FakeResponse now;
  now.align_to_second = true;
  mine.set_response(now);
  auto servers = builtin_servers(1);
  const ProcessResult r = run_cli("sync " + mine.url(), 60000);
  EXPECT_EQ(0u, r.exit_code) << r.out << r.err << "stamping misses: " << mine.stamping_misses();
  EXPECT_EQ(1u, mine.request_count());
  EXPECT_EQ(0u, servers[0]->request_count());
}

}  // namespace
}  // namespace lanchuan::e2e

namespace lanchuan::e2e {
namespace {

SYSTEMTIME local_time_in(int offset_ms) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  t.QuadPart += static_cast<LONGLONG>(offset_ms) * 10000LL;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  FILETIME local;
  FileTimeToLocalFileTime(&ft, &local);
  SYSTEMTIME st;
  FileTimeToSystemTime(&local, &st);
  return st;
}

// The tests above rely on this: Wine never moves the machine's clock; a time
// within half a second of its own is "set" without change, anything else is
// refused for want of the privilege.
TEST(WineFacts, SetLocalTimeAcceptsOnlyTimesWithinHalfASecond) {
  SYSTEMTIME close_by = local_time_in(100);
  EXPECT_TRUE(SetLocalTime(&close_by));
  SYSTEMTIME two_seconds_on = local_time_in(2000);
  EXPECT_FALSE(SetLocalTime(&two_seconds_on));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
}

// Why "schedule install" registers under Wine: its processes run with a full
// administrator's token (Windows gives an administrator's programs a filtered
// one unless they are started elevated).
TEST(WineFacts, ProcessesRunElevated) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size));
  EXPECT_NE(0u, elevation.TokenIsElevated);
  CloseHandle(token);
}

// Why the sync log does not check its folder's owner under Wine: Wine keeps
// no security descriptor for a file, and names the user as the owner of a
// folder made for the administrators.
TEST(WineFacts, AFolderMadeForTheAdministratorsReadsBackAsTheUsers) {
  PSECURITY_DESCRIPTOR made = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BAD:P(A;;FA;;;BA)", 1, &made,
                                                                   nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, made, FALSE};
  ASSERT_TRUE(CreateDirectoryA("C:\\admins_only", &attributes));
  LocalFree(made);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR read = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            GetNamedSecurityInfoA("C:\\admins_only", SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                  &owner, nullptr, nullptr, nullptr, &read));
  EXPECT_FALSE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  LocalFree(read);
  RemoveDirectoryA("C:\\admins_only");
}

// A library planted beside the program under a system library's name is not
// loaded: the program looks for libraries in the system folder only. Wine
// takes its builtin library first; told to prefer a native one (its
// DllOverrides key), it takes a planted one, as Windows would. A program
// that searches as usual does load it.
TEST(LibrarySearch, ALibraryPlantedBesideTheProgramIsNotLoaded) {
  const std::string folder = "C:\\planted\\", marker = "C:\\planted_loaded.txt";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::pair<const char*, const char*> copies[] = {{"planted.dll", "wininet.dll"},
                                                        {"LanchuanTimeSyncCli.exe", nullptr},
                                                        {"e2e_load_by_name.exe", nullptr}};
  for (const auto& [from, to] : copies) {
    ASSERT_TRUE(
        CopyFileA((exe_folder() + from).c_str(), (folder + (to ? to : from)).c_str(), FALSE));
  }
  const char* const key = "Software\\Wine\\DllOverrides";
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, key, "wininet", REG_SZ,
                                           "native,builtin", sizeof "native,builtin"));
  const auto loaded_by = [&](const std::string& command) {
    DeleteFileA(marker.c_str());
    run_process("\"" + folder + command, 60000);
    return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  EXPECT_FALSE(loaded_by("LanchuanTimeSyncCli.exe\" sync http://127.0.0.1:1/"));
  EXPECT_TRUE(loaded_by("e2e_load_by_name.exe\" wininet.dll"));
  RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "wininet");
}

// The sync log in the prefix's program-data folder, as the companion finds it.
std::string log_folder() { return known_folder(FOLDERID_ProgramData) + "\\LanchuanTimeSync"; }
const std::string kLog = log_folder() + "\\sync.log";

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void remove_log() {
  SetFileAttributesA(kLog.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(kLog.c_str());
  DeleteFileA((kLog + ".1").c_str());
  RemoveDirectoryA(log_folder().c_str());
}

FakeResponse hour_ahead() {
  FakeResponse r;
  r.date = http_date_now(3600);
  return r;
}

TEST(SyncLog, MakesTheFolderAndLogCommandPrintsTheLastRuns) {
  remove_log();
  FakeHttpServer server;
  server.set_response(hour_ahead());
  EXPECT_EQ(1u, run_cli("sync " + server.url()).exit_code);
  EXPECT_EQ(1u, run_cli("sync " + server.url() + "/second").exit_code);
  const std::string text = file_text(kLog);
  const std::size_t first_end = text.find('\n');
  ASSERT_NE(std::string::npos, first_end) << text;
  EXPECT_NE(std::string::npos, text.find("\tsync " + server.url() + "\tcould not set: no right\t+"))
      << text;
  EXPECT_EQ(text.size(), text.find('\n', first_end + 1) + 1) << text;  // two lines

  const ProcessResult r = run_cli("log --last 1");
  EXPECT_EQ(0u, r.exit_code) << r.err;
  std::string out = r.out;
  out.erase(out.size() - 2, 1);  // the console's line end
  EXPECT_EQ(text.substr(first_end + 1), out);
}

// The run goes on as without a log. Wine, run as root here, lets a
// read-only file be written: the file is also held open without sharing, as
// an editor may hold it. A file in the folder's place stops the folder.
TEST(SyncLog, ALogThatCannotBeWrittenIsOneWarning) {
  FakeHttpServer server;
  server.set_response(hour_ahead());
  for (const bool file_in_the_folders_place : {false, true}) {
    remove_log();
    CreateDirectoryA(log_folder().c_str(), nullptr);
    const std::string file = file_in_the_folders_place ? log_folder() : kLog;
    if (file_in_the_folders_place) RemoveDirectoryA(file.c_str());
    write_file(file, "an earlier run\n");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE held =
        CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const ProcessResult r = run_cli("sync " + server.url());
    CloseHandle(held);
    EXPECT_EQ(1u, r.exit_code) << r.out << r.err;
    const std::size_t warning = r.err.find("\nwarning: this run is not in the log " + kLog + ": ");
    EXPECT_EQ(0u, r.err.rfind("the clock could not be set: ", 0)) << r.err;
    ASSERT_NE(std::string::npos, warning) << r.err;
    EXPECT_EQ(r.err.size() - 1, r.err.find('\n', warning + 1)) << r.err;  // one line more
    EXPECT_EQ("an earlier run\n", file_text(file));
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
  }
}

// An elevated run writes the log; whoever can write beside it must not point
// it at another file: a second name of the log is refused, and rotation only
// unlinks what stands at the older name. A lock held on the log costs a run
// the bounded wait and a warning, not its result.
TEST(SyncLog, NoWriteThroughAnotherNameAndNoEndlessWait) {
  FakeHttpServer server;
  server.set_response(hour_ahead());
  const std::string victim = "C:\\victim.txt";
  for (const char* linked : {"\\sync.log", "\\sync.log.1"}) {
    remove_log();
    CreateDirectoryA(log_folder().c_str(), nullptr);
    write_file(victim, "precious\n");
    ASSERT_TRUE(CreateHardLinkA((log_folder() + linked).c_str(), victim.c_str(), nullptr));
    // Near the cap, the next run moves the log to the older name.
    if (std::string(linked) == "\\sync.log.1")
      write_file(kLog, std::string(win32::kLogCapBytes - 10, 'x'));
    const ProcessResult r = run_cli("sync " + server.url());
    EXPECT_EQ(std::string(linked) == "\\sync.log", r.err.find("hard link") != std::string::npos)
        << linked << ": " << r.err;
    EXPECT_EQ("precious\n", file_text(victim)) << linked;
    DeleteFileA(victim.c_str());
  }
  remove_log();
  ASSERT_EQ(1u, run_cli("sync " + server.url()).exit_code);
  const HANDLE log = CreateFileA(kLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  OVERLAPPED turn{};
  turn.OffsetHigh = win32::kLogTurnByte >> 32;
  ASSERT_TRUE(LockFileEx(log, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn));
  const ProcessResult r = run_cli("sync " + server.url());
  UnlockFileEx(log, 0, 1, 0, &turn);
  CloseHandle(log);
  EXPECT_EQ(1u, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find("warning: this run is not in the log")) << r.err;
  EXPECT_GE(r.elapsed_ms, win32::kLogTurnWaitMs);
  EXPECT_LT(r.elapsed_ms, win32::kLogTurnWaitMs + 20000);
  remove_log();
}

// Two companions at once, while the log passes its cap: while another
// process has the turn, neither writes; then every line is whole, in one of
// the two files, the older file holding what came before.
TEST(SyncLog, TwoWritersAtOnceAcrossTheCap) {
  remove_log();
  CreateDirectoryA(log_folder().c_str(), nullptr);
  const std::string filler(99, 'x');
  std::string earlier;
  while (earlier.size() + 300 < win32::kLogCapBytes) earlier += filler + "\n";
  write_file(kLog, earlier);
  FakeHttpServer server;
  server.set_response(hour_ahead());
  constexpr int kRuns = 4;
  auto writer = [&] {
    for (int i = 0; i < kRuns; ++i) run_cli("sync " + server.url());
  };
  const HANDLE log = CreateFileA(kLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  OVERLAPPED turn{};
  turn.OffsetHigh = win32::kLogTurnByte >> 32;
  ASSERT_TRUE(LockFileEx(log, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn));
  std::thread a(writer), b(writer);
  Sleep(3000);  // both have started and answered by now
  EXPECT_EQ(earlier.size(), file_text(kLog).size());
  UnlockFileEx(log, 0, 1, 0, &turn);
  CloseHandle(log);
  a.join();
  b.join();
  const std::string older = file_text(kLog + ".1");
  EXPECT_EQ(0u, older.rfind(earlier, 0));
  std::istringstream lines(older.substr(earlier.size()) + file_text(kLog));
  int runs = 0;
  for (std::string line; std::getline(lines, line); ++runs) {
    EXPECT_EQ(24u, line.find("\tsync " + server.url() + "\tcould not set: no right\t+")) << line;
    EXPECT_EQ(line.size() - 14, line.rfind(" +/- 1000.0 ms")) << line;
  }
  EXPECT_EQ(2 * kRuns, runs);
  EXPECT_LE(file_text(kLog).size(), static_cast<std::size_t>(win32::kLogCapBytes));
  remove_log();
}

}  // namespace
}  // namespace lanchuan::e2e