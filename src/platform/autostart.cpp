#include "platform/autostart.h"

#include "platform/xdg.h"

namespace tolvane::platform {

std::string AutostartDir() { return ConfigHome() + "/autostart"; }

std::string AutostartEntryPath(const std::string& dir) {
  return dir + "/" + kApplicationId + ".desktop";
}

std::string QuoteExecArgument(const std::string& arg) {
  // Reserved characters make the argument a quoted one; inside the quotes
  // '"', '`', '$' and '\' are escaped with a backslash. '%' is doubled in
  // either form, since the Exec key gives it a meaning of its own.
  static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty();
  for (char c : arg)
    if (kReserved.find(c) != std::string::npos) quote = true;
  std::string out;
  if (quote) out += '"';
  for (char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

namespace {

// A value of a string key: newline, tab, carriage return and backslash are
// written as escapes.
std::string EscapeValue(const std::string& v) {
  std::string out;
  for (char c : v) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string AutostartEntryText(const std::string& program, const std::string& name) {
  std::string t = "[Desktop Entry]\n";
  t += "Type=Application\n";
  t += "Name=" + EscapeValue(name) + "\n";
  t += "Exec=" + EscapeValue(QuoteExecArgument(program)) + " -s\n";
  t += "TryExec=" + EscapeValue(program) + "\n";
  t += std::string("Icon=") + kApplicationId + "\n";
  t += "Terminal=false\n";
  t += "X-GNOME-Autostart-enabled=true\n";
  return t;
}

}  // namespace tolvane::platform
