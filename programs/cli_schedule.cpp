#include "programs/cli_schedule.h"

#include "programs/cli_offset.h"
#include "programs/cli_usage.h"
#include "timesync/proxy.h"

namespace lanchuan {

const char* const kScheduleUsage =
    "  schedule install [--every MINUTES] [--threshold MS] [--max-step SECONDS]\n"
    "                   [--proxy URL | --no-proxy] [URL...]\n"
    "                from an elevated prompt: copy this program into\n"
    "                %ProgramFiles%\\LanchuanTimeSync and register the task\n"
    "                \\LanchuanTimeSync, which runs that copy's 'sync --precise'\n"
    "                with these options and the highest privileges at every\n"
    "                logon of this user, and every MINUTES (5 to 1440) after it\n"
    "                when given; the proxy (given, else the environment's now)\n"
    "                goes into the task without its password, which is kept in\n"
    "                the Credential Manager\n"
    "  schedule remove\n"
    "                delete that task and the copy\n"
    "  schedule show print the registered task's XML and where it runs from\n"
    "  schedule export [--every MINUTES] [--threshold MS] [--max-step SECONDS]\n"
    "                  [--proxy URL | --no-proxy] [--out FILE] [URL...]\n"
    "                print the task's XML (UTF-8) without registering it, for\n"
    "                'schtasks /create /xml' or group policy; it names no user,\n"
    "                so any user's logon starts it; with --out, write it to FILE\n"
    "                as the Task Scheduler exports a task (UTF-16 with a BOM)\n";

namespace {

constexpr int kMinEveryMinutes = 5;
constexpr int kMaxEveryMinutes = 1440;

// False with `error` set on a usage error.
bool parse_task_options(std::vector<std::string> args, const std::string& environment_proxy,
                        TaskOptions& options, HttpProxy& proxy, std::string& error) {
  if (!take_proxy_choice(args, environment_proxy, proxy, error)) return false;
  if (proxy.set()) options.proxy = proxy_url_without_password(proxy);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    const bool has_value = i + 1 < args.size();
    if (word == "--every") {
      if (!has_value || !parse_option_number(args[++i], kMinEveryMinutes, kMaxEveryMinutes,
                                             options.every_minutes)) {
        error = "--every needs a number of minutes, " + std::to_string(kMinEveryMinutes) + " to " +
                std::to_string(kMaxEveryMinutes);
        return false;
      }
    } else if (word == "--threshold") {
      if (!has_value || !parse_threshold_ms(args[++i], options.threshold_ms)) {
        error = threshold_option_error();
        return false;
      }
    } else if (word == "--max-step") {
      if (!has_value || !parse_max_step_seconds(args[++i], options.max_step_seconds)) {
        error = max_step_option_error();
        return false;
      }
    } else if (word == "--out" && args[0] == "export") {
      if (!has_value || args[i + 1].empty()) {
        error = "--out needs a file name";
        return false;
      }
      options.out_file = args[++i];
    } else if (!word.empty() && word[0] == '-') {
      error = "unknown option '" + word + "'";
      return false;
    } else {
      options.urls.push_back(word);
    }
  }
  return true;
}

std::string convert(std::string (*fn)(const std::string&), const std::string& text) {
  return fn ? fn(text) : text;
}

// The XML as the scheduler keeps it declares UTF-16; printed, it is UTF-8.
std::string declared_utf8(std::string xml) {
  const std::size_t end = xml.find("?>");
  const std::size_t at = xml.find("encoding=\"UTF-16\"");
  if (end != std::string::npos && at < end) xml.replace(at + 10, 6, "UTF-8");
  return xml;
}

int install_task(const TaskOptions& options, const HttpProxy& proxy, SchedulePorts& ports,
                 TextSink& out, TextSink& err) {
  if (!ports.scheduler.is_elevated()) {
    err << "schedule install needs an elevated prompt: open the command prompt with "
           "'Run as administrator' and run it there\n";
    return 1;
  }
  std::string error;
  const std::string program = ports.scheduler.program_copy_path();
  if (!ports.scheduler.install_program_copy(error)) {
    err << "this program could not be copied to " << convert(ports.utf8_to_ansi, program) << ": "
        << error << "\n";
    return 1;
  }
  const bool keeps_password = proxy.password_given && !proxy.password.empty();
  if (keeps_password && (!ports.passwords || !ports.passwords->store(proxy, error))) {
    if (!ports.passwords) error = "there is nowhere to keep it";
    err << "the proxy's password could not be kept: " << error << "\n";
    return 1;
  }
  const std::string xml = build_task_xml(options, program, ports.user_id, "UTF-16");
  if (!ports.scheduler.register_task(xml, ports.user_id == kSystemUserId, error)) {
    err << "the task " << kTaskPath << " could not be registered: " << error << "\n";
    return 1;
  }
  out << "registered the task " << kTaskPath;
  if (ports.user_id == kSystemUserId) {
    out << " for the system's account: at any user's logon";
  } else {
    if (!ports.user_id.empty()) out << " for " << convert(ports.utf8_to_ansi, ports.user_id);
    out << ": at logon";
  }
  if (options.every_minutes > 0) out << " and every " << options.every_minutes << " minutes";
  out << ", with the highest privileges, it runs:\n  "
      << convert(ports.utf8_to_ansi, quote_argument(program) + " " + task_arguments(options))
      << "\n";
  if (keeps_password) {
    out << "the proxy's password is kept in the Credential Manager of this user, not in the task\n";
  }
  return 0;
}

int remove_task(SchedulePorts& ports, TextSink& out, TextSink& err) {
  std::string error;
  int status = 0;
  switch (ports.scheduler.delete_task(error)) {
    case TaskScheduler::Removal::removed:
      out << "removed the task " << kTaskPath << "\n";
      break;
    case TaskScheduler::Removal::not_found:
      out << "there is no task " << kTaskPath << ", nothing to remove\n";
      break;
    case TaskScheduler::Removal::failed:
      err << "the task " << kTaskPath << " could not be removed: " << error << "\n";
      status = 1;
  }
  const std::string program = convert(ports.utf8_to_ansi, ports.scheduler.program_copy_path());
  switch (ports.scheduler.remove_program_copy(error)) {
    case TaskScheduler::Removal::removed:
      out << "removed the task's copy of this program, " << program << "\n";
      break;
    case TaskScheduler::Removal::not_found:
      break;
    case TaskScheduler::Removal::failed:
      err << "the task's copy " << program << " could not be removed: " << error << "\n";
      status = 1;
  }
  return status;
}

int show_task(SchedulePorts& ports, TextSink& out, TextSink& err) {
  std::string xml;
  if (!ports.scheduler.task_xml(xml)) {
    err << "there is no task " << kTaskPath << "\n";
    return 1;
  }
  out << without_user_info(declared_utf8(xml));
  if (!xml.empty() && xml.back() != '\n') out << "\n";
  const std::string command = task_command(xml);
  if (!command.empty()) {
    out << "the task runs " << convert(ports.utf8_to_ansi, command) << "\n";
  } else {
    out << "the task's XML names no program here; schedule install points it at "
        << convert(ports.utf8_to_ansi, ports.scheduler.program_copy_path()) << "\n";
  }
  return 0;
}

}  // namespace

int run_schedule_command(const std::vector<std::string>& args, SchedulePorts& ports, TextSink& out,
                         TextSink& err) {
  const std::string action = args.empty() ? std::string() : args[0];
  if (action == "install" || action == "export") {
    TaskOptions options;
    HttpProxy proxy;
    std::string error;
    if (!parse_task_options(args, ports.environment_proxy, options, proxy, error)) {
      return usage_error(err, error);
    }
    for (std::string& url : options.urls) url = convert(ports.ansi_to_utf8, url);
    options.proxy = convert(ports.ansi_to_utf8, options.proxy);
    if (action == "install") return install_task(options, proxy, ports, out, err);
    // Exported for other PCs, the task runs the program where the package
    // or "schedule install" puts it; a password has no place in it.
    const std::string program = ports.scheduler.program_copy_path();
    if (proxy.password_given) {
      err << "warning: the proxy's password is not written into the task; keep it for the "
             "task's user with 'schedule install', or give the proxy no password\n";
    }
    if (options.out_file.empty()) {
      out << build_task_xml(options, program, std::string(), "UTF-8");
      return 0;
    }
    // The form the Task Scheduler exports: whatever schtasks assumes of a
    // file without a byte-order mark, it reads this one as it declares.
    const std::string xml = build_task_xml(options, program, std::string(), "UTF-16");
    if (!ports.write_utf16_file ||
        !ports.write_utf16_file(convert(ports.ansi_to_utf8, options.out_file), xml, error)) {
      err << "the task could not be written to " << options.out_file << ": " << error << "\n";
      return 1;
    }
    out << "wrote the task to " << options.out_file << " (UTF-16)\n";
    return 0;
  }
  if (action == "remove" || action == "show") {
    if (args.size() > 1) return usage_error(err, "schedule " + action + " takes no arguments");
    return action == "remove" ? remove_task(ports, out, err) : show_task(ports, out, err);
  }
  return usage_error(err, "schedule needs install, remove, show or export");
}

}  // namespace lanchuan
