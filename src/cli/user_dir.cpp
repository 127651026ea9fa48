#include "cli/user_dir.h"

#include "app/paths.h"
#include "config/texts.h"

namespace tolvane::cli {

void EnsureUserDataDir(const CliContext& ctx) {
  if (!ctx.userDir.empty() || UserDataDir.empty()) BuildUserDataDir("Tolvane", ctx.userDir);
}

void EnsureTexts(const CliContext& ctx) {
  if (!ctx.dataDir.empty() || ProgramDir.empty()) ResolveProgramDir(ctx.dataDir);
  if (Texts().LoadedPath() != DefaultTextPath()) LoadDefaultTexts();
}

}  // namespace tolvane::cli
