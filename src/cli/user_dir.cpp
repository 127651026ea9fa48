#include "cli/user_dir.h"

#include "app/paths.h"
#include "config/texts.h"
#include "platform/xdg.h"

namespace tolvane::cli {

bool EnsureUserDataDir(const CliContext& ctx) {
  if (!ctx.userDir.empty() || UserDataDir.empty()) BuildUserDataDir("Tolvane", ctx.userDir);
  return CheckUserDataDir();
}

bool CheckUserDataDir() {
  if (platform::IsDirectory(UserDataDir)) return true;
  CliContext::Fail("cannot use " + UserDataDir + " as the user folder: not a folder");
  return false;
}

void EnsureTexts(const CliContext& ctx) {
  if (!ctx.dataDir.empty() || ProgramDir.empty()) ResolveProgramDir(ctx.dataDir);
  if (Texts().LoadedPath() != DefaultTextPath()) LoadDefaultTexts();
}

}  // namespace tolvane::cli
