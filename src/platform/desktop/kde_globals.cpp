#include "platform/desktop/kde_globals.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/log.h"
#include "app/atomic_file.h"
#include "platform/desktop/pointer_mapping.h"

namespace tolvane::platform {

namespace {

constexpr const char* kGroup = "KDE";
constexpr const char* kDoubleClick = "DoubleClickInterval";
constexpr const char* kScrollLines = "WheelScrollLines";
constexpr int kKdeDoubleClick = 400, kKdeScrollLines = 3;  // KDE's defaults
constexpr size_t kMaxFileBytes = 4u << 20;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Walks the lines of `text`; calls `f(lineStart, lineEnd, group)` for each,
// with the group the line is in ("" before the first header). Stops when f
// returns false.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  std::string group;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      group = std::string(line.substr(1, line.size() - 2));
    }
    if (!f(pos, end, group, line)) return;
    pos = end + 1;
  }
}

// The entry name of a line "Name=value" (or "Name[$i]=value"), when it is one.
std::optional<std::string_view> EntryName(std::string_view line) {
  if (line.empty() || line.front() == '#' || line.front() == '[') return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view name = Trim(line.substr(0, eq));
  if (const size_t flags = name.find("[$"); flags != std::string_view::npos)
    name = name.substr(0, flags);
  return name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string s(kMaxFileBytes, '\0');
  in.read(s.data(), std::streamsize(s.size()));
  s.resize(size_t(in.gcount()));
  return s;
}

}  // namespace

std::string KdeGlobalsPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/kdeglobals";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/kdeglobals";
}

std::optional<std::string> FindConfigValue(std::string_view text, std::string_view group,
                                           std::string_view key) {
  std::optional<std::string> found;
  ForEachLine(text, [&](size_t, size_t, const std::string& g, std::string_view line) {
    if (g != group) return true;
    auto name = EntryName(line);
    if (!name || *name != key) return true;
    found = std::string(Trim(line.substr(line.find('=') + 1)));
    return false;
  });
  return found;
}

std::string SetConfigValue(std::string_view text, std::string_view group, std::string_view key,
                           std::string_view value) {
  const std::string entry = std::string(key) + "=" + std::string(value);
  size_t replaceFrom = std::string_view::npos, replaceTo = 0;  // an existing entry
  size_t groupEnd = std::string_view::npos;  // after the group's last non-empty line
  ForEachLine(text, [&](size_t start, size_t end, const std::string& g, std::string_view line) {
    if (g != group) return true;
    if (!line.empty()) groupEnd = end;
    auto name = EntryName(line);
    if (name && *name == key) {
      replaceFrom = start;
      replaceTo = end;
      return false;
    }
    return true;
  });
  std::string out(text);
  if (replaceFrom != std::string_view::npos) {
    out.replace(replaceFrom, replaceTo - replaceFrom, entry);
  } else if (groupEnd != std::string_view::npos) {
    out.insert(groupEnd, "\n" + entry);
  } else {
    if (!out.empty() && out.back() != '\n') out += '\n';
    if (!out.empty()) out += '\n';
    out += "[" + std::string(group) + "]\n" + entry + "\n";
  }
  return out;
}

KdeGlobalsPointerSettings::KdeGlobalsPointerSettings(std::string path,
                                                     const std::string& busAddress)
    : path_(std::move(path)), bus_(OpenBus(busAddress, "KdeGlobals")) {}

PointerCapabilities KdeGlobalsPointerSettings::Capabilities() const {
  const unsigned bits = kPointerDoubleClick | kPointerScrollLines;
  return {bits, bits};
}

PointerValues KdeGlobalsPointerSettings::Current() const {
  std::lock_guard<std::mutex> l(mu_);
  const std::string text = ReadAll(path_);
  PointerValues v;
  v.nDoubleClickTime = kKdeDoubleClick;
  v.nScrollLines = kKdeScrollLines;
  if (auto s = FindConfigValue(text, kGroup, kDoubleClick))
    if (auto n = ParseInt(*s)) v.nDoubleClickTime = ClampDoubleClick(*n);
  if (auto s = FindConfigValue(text, kGroup, kScrollLines))
    if (auto n = ParseInt(*s)) v.nScrollLines = CountToScrollLines(*n);
  return v;
}

void KdeGlobalsPointerSettings::Write(const char* key, int value) {
  std::lock_guard<std::mutex> l(mu_);
  const std::string text = SetConfigValue(ReadAll(path_), kGroup, key, std::to_string(value));
  if (int err = WriteFileReplacing(path_, text.data(), text.size()); err != 0) {
    LogPrint("KdeGlobals: write %s err=%d", path_.c_str(), err);
    return;
  }
  if (!bus_) return;
  GError* err = nullptr;
  // notifyChange(SettingsChanged, SETTINGS_MOUSE)
  if (!g_dbus_connection_emit_signal(bus_.get(), nullptr, "/KGlobalSettings",
                                     "org.kde.KGlobalSettings", "notifyChange",
                                     g_variant_new("(ii)", 3, 0), &err) ||
      !g_dbus_connection_flush_sync(bus_.get(), nullptr, &err)) {
    LogPrint("KdeGlobals: notifyChange: %s", err ? err->message : "?");
  }
  if (err) g_error_free(err);
}

void KdeGlobalsPointerSettings::SetDoubleClickTime(int ms) {
  Write(kDoubleClick, ClampDoubleClick(ms));
}

void KdeGlobalsPointerSettings::SetScrollLines(int lines) {
  if (auto n = ScrollLinesToCount(lines)) Write(kScrollLines, *n);
}

}  // namespace tolvane::platform
