#include "app/paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

#include "app/log.h"
#include "platform/xdg.h"

#ifndef TOLVANE_SOURCE_DATA_DIR
#define TOLVANE_SOURCE_DATA_DIR ""
#endif

namespace tolvane {

std::string ProgramDir;
std::string UserDataDir;

std::string WithTrailingSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

void ResolveProgramDir(const std::string& commandLineDir) {
  if (!commandLineDir.empty()) {
    ProgramDir = WithTrailingSlash(commandLineDir);
    return;
  }
  if (const char* env = std::getenv("TOLVANE_DATA_DIR"); env && *env) {
    ProgramDir = WithTrailingSlash(env);
    return;
  }
  std::string exe = platform::ExecutableDir();
  if (!exe.empty()) {
    std::string installed = exe + "/../share/tolvane/";
    if (platform::IsFile(installed + "cfg.ini")) {
      ProgramDir = installed;
      return;
    }
  }
  ProgramDir = WithTrailingSlash(TOLVANE_SOURCE_DATA_DIR);
}

void BuildUserDataDir(const std::string& appdir, const std::string& override) {
  if (!override.empty()) {
    UserDataDir = WithTrailingSlash(override);
  } else {
    UserDataDir = WithTrailingSlash(platform::DataHome() + "/" + appdir);
  }
  LogPrint("Mk AppData=%s", UserDataDir.c_str());
  if (!platform::IsDirectory(UserDataDir)) {
    // The data home itself may be missing on a fresh account: its parents are
    // made private, as the base-directory rules ask, the folder itself 0755.
    for (size_t slash = UserDataDir.find('/', 1); slash + 1 < UserDataDir.size();
         slash = UserDataDir.find('/', slash + 1)) {
      const std::string parent = UserDataDir.substr(0, slash);
      if (!platform::IsDirectory(parent)) mkdir(parent.c_str(), 0700);
    }
    if (mkdir(UserDataDir.c_str(), 0755) != 0) LogPrint("CreateDirectory err=%d", errno);
  }
}

}  // namespace tolvane
