#include "cli/cli_startup.h"

#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "platform/xdg.h"

namespace tolvane::cli {

bool LoadCatalogueForCli(const CliContext& ctx, Notifier& n) {
  ResolveProgramDir(ctx.dataDir);
  const std::string path = ProgramDir + "cfg.ini";
  // Without its cfg.ini a data folder is the wrong one: say so instead of
  // running on an empty catalogue.
  if (!platform::IsFile(path)) {
    CliContext::Fail("cannot read " + path);
    return false;
  }
  if (!LoadCatalogue(path, g_Catalogue(), n)) {
    CliContext::Fail("Data Init failed: " + path + " has an invalid MDNUM or KM");
    return false;
  }
  return true;
}

}  // namespace tolvane::cli
