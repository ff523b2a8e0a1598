#include "unattended/logon_task.h"

namespace lanchuan {

const char* const kTaskPath = "\\LanchuanTimeSync";
const char* const kSystemUserId = "S-1-5-18";

namespace {

// Long enough for the whole built-in list when servers time out.
constexpr int kTimeLimitMinutes = 5;
// At the moment of logon the network is often not up yet.
const char* const kLogonDelay = "PT30S";
const char* const kTaskNamespace = "http://schemas.microsoft.com/windows/2004/02/mit/task";

void element(std::string& xml, int depth, const char* name, const std::string& text) {
  xml += std::string(depth * 2, ' ') + "<" + name + ">" + xml_escape(text) + "</" + name + ">\n";
}

void open_element(std::string& xml, int depth, const std::string& name_and_attributes) {
  xml += std::string(depth * 2, ' ') + "<" + name_and_attributes + ">\n";
}

void close_element(std::string& xml, int depth, const char* name) {
  xml += std::string(depth * 2, ' ') + "</" + name + ">\n";
}

}  // namespace

std::string task_arguments(const TaskOptions& options) {
  std::string line = "sync --precise";
  if (options.threshold_ms > 0) line += " --threshold " + std::to_string(options.threshold_ms);
  if (options.max_step_seconds != kDefaultMaxStepSeconds) {
    line += " --max-step " + std::to_string(options.max_step_seconds);
  }
  // Always named: a run that names its proxy, or none, never reads the
  // environment, which the user's unelevated programs can set.
  line += options.proxy.empty() ? " --no-proxy" : " --proxy " + quote_argument(options.proxy);
  for (const std::string& url : options.urls) line += " " + quote_argument(url);
  return line;
}

std::string iso_duration_minutes(int minutes) {
  const int days = minutes / 1440, hours = minutes % 1440 / 60, rest = minutes % 60;
  std::string text = "P";
  if (days > 0) text += std::to_string(days) + "D";
  if (hours > 0 || rest > 0 || days == 0) text += "T";
  if (hours > 0) text += std::to_string(hours) + "H";
  if (rest > 0 || (days == 0 && hours == 0)) text += std::to_string(rest) + "M";
  return text;
}

std::string xml_escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string quote_argument(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal except before a quote, where they are doubled.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  return quoted + "\"";
}

std::string task_command(const std::string& xml) {
  const std::size_t start = xml.find("<Command>");
  const std::size_t end = xml.find("</Command>", start);
  if (start == std::string::npos || end == std::string::npos) return std::string();
  std::string text = xml.substr(start + 9, end - start - 9);
  const std::pair<const char*, char> entities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& e : entities) {
      const std::string name = e.first;
      if (text.compare(i, name.size(), name) == 0) {
        plain += e.second;
        i += name.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) plain += text[i];
  }
  return plain;
}

std::string build_task_xml(const TaskOptions& options, const std::string& exe_path,
                           const std::string& user_id, const std::string& encoding) {
  // Children in the order the schema lists them (its sequences need it).
  std::string xml = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n";
  open_element(xml, 0, std::string("Task version=\"1.2\" xmlns=\"") + kTaskNamespace + "\"");
  open_element(xml, 1, "RegistrationInfo");
  element(xml, 2, "URI", kTaskPath);
  element(xml, 2, "Description",
          "Sets the clock from the time of web servers at logon (LanchuanTimeSync)");
  close_element(xml, 1, "RegistrationInfo");

  open_element(xml, 1, "Triggers");
  open_element(xml, 2, "LogonTrigger");
  element(xml, 3, "Enabled", "true");
  if (options.every_minutes > 0) {
    open_element(xml, 3, "Repetition");
    element(xml, 4, "Interval", iso_duration_minutes(options.every_minutes));
    close_element(xml, 3, "Repetition");
  }
  if (!user_id.empty() && user_id != kSystemUserId) element(xml, 3, "UserId", user_id);
  element(xml, 3, "Delay", kLogonDelay);
  close_element(xml, 2, "LogonTrigger");
  close_element(xml, 1, "Triggers");

  open_element(xml, 1, "Settings");
  element(xml, 2, "MultipleInstancesPolicy", "IgnoreNew");
  element(xml, 2, "DisallowStartIfOnBatteries", "false");
  element(xml, 2, "StopIfGoingOnBatteries", "false");
  element(xml, 2, "StartWhenAvailable", "true");
  element(xml, 2, "Enabled", "true");
  element(xml, 2, "ExecutionTimeLimit", iso_duration_minutes(kTimeLimitMinutes));
  close_element(xml, 1, "Settings");

  open_element(xml, 1, "Principals");
  open_element(xml, 2, "Principal id=\"Author\"");
  if (!user_id.empty()) element(xml, 3, "UserId", user_id);
  // The system's own account has no logon of its own: it runs as a service.
  if (user_id != kSystemUserId) element(xml, 3, "LogonType", "InteractiveToken");
  element(xml, 3, "RunLevel", "HighestAvailable");
  close_element(xml, 2, "Principal");
  close_element(xml, 1, "Principals");

  open_element(xml, 1, "Actions Context=\"Author\"");
  open_element(xml, 2, "Exec");
  element(xml, 3, "Command", exe_path);
  element(xml, 3, "Arguments", task_arguments(options));
  close_element(xml, 2, "Exec");
  close_element(xml, 1, "Actions");
  close_element(xml, 0, "Task");
  return xml;
}

}  // namespace lanchuan
