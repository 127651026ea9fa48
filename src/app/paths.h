// The two folders every part of the program reads and writes.
#pragma once

#include <functional>
#include <string>

namespace tolvane {

// Installation data folder (cfg.ini, text.xml, language folders, skins,
// appfont.ttf), always with a trailing '/'. Set by ResolveProgramDir.
extern std::string ProgramDir;

// Per-user data folder (lang.ini, profile stores, gSetting.dct, mac.dct, the
// macro library "Mac"), always with a trailing '/'. Set by BuildUserDataDir.
extern std::string UserDataDir;

// Chooses ProgramDir: `commandLineDir` (--data-dir) when not empty, else
// $TOLVANE_DATA_DIR, else <executable dir>/../share/tolvane/ when it holds
// cfg.ini, else the source tree's data/ folder of a development build.
void ResolveProgramDir(const std::string& commandLineDir);

// Builds UserDataDir: `override` (--user-dir) when not empty, else the
// session's data home + "/" + appdir + "/". Logs
// "Mk AppData=%s" and creates the folder (one level) when it is missing;
// a failed creation is logged as "CreateDirectory err=%d" and not fatal.
void BuildUserDataDir(const std::string& appdir, const std::string& override);

// Folders of the desktop session that only the platform layer can find, each
// without a trailing '/'; an empty one is unknown.
struct SessionFolders {
  std::string executableDir;  // folder of the running program
  std::string dataHome;       // per-user data home, parent of UserDataDir
  std::string desktopDir;     // where Log.txt goes
};
using SessionFolderSource = std::function<SessionFolders()>;
// The start-up code hands in where the folders come from (UsePlatformFolders
// of program/app_core.h) before ResolveProgramDir, BuildUserDataDir and
// SetupLogger run; the source is asked each time, so it sees the environment
// of the moment. Without one every folder is unknown: no Log.txt, and
// BuildUserDataDir needs its override.
void SetSessionFolderSource(SessionFolderSource source);
SessionFolders GetSessionFolders();

// Appends a '/' when `dir` does not end in one.
std::string WithTrailingSlash(std::string dir);

}  // namespace tolvane
