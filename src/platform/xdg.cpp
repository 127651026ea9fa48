#include "platform/xdg.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/regular_file.h"

namespace tolvane::platform {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string StripSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

std::string HomeDir() {
  std::string home = Env("HOME");
  if (!home.empty()) return StripSlash(home);
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return StripSlash(pw->pw_dir);
  return "/tmp";
}

std::string DataHome() {
  std::string v = Env("XDG_DATA_HOME");
  if (!v.empty() && v[0] == '/') return StripSlash(v);
  return HomeDir() + "/.local/share";
}

std::string ConfigHome() {
  std::string v = Env("XDG_CONFIG_HOME");
  if (!v.empty() && v[0] == '/') return StripSlash(v);
  return HomeDir() + "/.config";
}

std::string CacheHome() {
  std::string v = Env("XDG_CACHE_HOME");
  if (!v.empty() && v[0] == '/') return StripSlash(v);
  return HomeDir() + "/.cache";
}

std::string DesktopDir() {
  const std::string dirs = ConfigHome() + "/user-dirs.dirs";
  std::ifstream in;
  if (IsRegularFile(dirs)) in.open(dirs);
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string v = line.substr(key.size());
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.compare(0, 5, "$HOME") == 0) v = HomeDir() + v.substr(5);
    if (!v.empty() && v[0] == '/') return StripSlash(v);
  }
  return HomeDir() + "/Desktop";
}

std::string RuntimeDir() {
  std::string v = Env("XDG_RUNTIME_DIR");
  if (!v.empty() && v[0] == '/' && access(v.c_str(), W_OK | X_OK) == 0) return StripSlash(v);
  std::string dir = "/tmp/tolvane-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  return dir;
}

std::string ExecutableDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, size_t(n));
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tolvane::platform
