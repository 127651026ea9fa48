#include "app/paths.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>

#include "app/log.h"

#ifndef TOLVANE_SOURCE_DATA_DIR
#define TOLVANE_SOURCE_DATA_DIR ""
#endif

namespace tolvane {

std::string ProgramDir;
std::string UserDataDir;

namespace {

std::mutex g_folderSourceMutex;
SessionFolderSource g_folderSource;

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

}  // namespace

void SetSessionFolderSource(SessionFolderSource source) {
  std::lock_guard<std::mutex> lock(g_folderSourceMutex);
  g_folderSource = std::move(source);
}

SessionFolders GetSessionFolders() {
  SessionFolderSource source;
  {
    std::lock_guard<std::mutex> lock(g_folderSourceMutex);
    source = g_folderSource;
  }
  return source ? source() : SessionFolders{};
}

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
  std::string exe = GetSessionFolders().executableDir;
  if (!exe.empty()) {
    std::string installed = exe + "/../share/tolvane/";
    std::error_code ec;
    if (std::filesystem::is_regular_file(installed + "cfg.ini", ec)) {
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
    const std::string home = GetSessionFolders().dataHome;
    if (home.empty()) {
      // Never a folder at the root of the file system.
      LogPrint("BuildUserDataDir: no data home");
      UserDataDir.clear();
      return;
    }
    UserDataDir = WithTrailingSlash(home + "/" + appdir);
  }
  LogPrint("Mk AppData=%s", UserDataDir.c_str());
  if (!IsDirectory(UserDataDir)) {
    // The data home itself may be missing on a fresh account: its parents are
    // made private, as the base-directory rules ask, the folder itself 0755.
    for (size_t slash = UserDataDir.find('/', 1); slash + 1 < UserDataDir.size();
         slash = UserDataDir.find('/', slash + 1)) {
      const std::string parent = UserDataDir.substr(0, slash);
      if (!IsDirectory(parent)) mkdir(parent.c_str(), 0700);
    }
    if (mkdir(UserDataDir.c_str(), 0755) != 0) LogPrint("CreateDirectory err=%d", errno);
  }
}

}  // namespace tolvane
