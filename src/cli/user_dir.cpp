#include "cli/user_dir.h"

#include "app/paths.h"

namespace tolvane::cli {

void EnsureUserDataDir(const CliContext& ctx) {
  if (!ctx.userDir.empty() || UserDataDir.empty()) BuildUserDataDir("Tolvane", ctx.userDir);
}

}  // namespace tolvane::cli
