// tolvanectl udev-rules: the udev rule that gives the logged-in user access to
// the hidraw nodes of the catalogue's mice.
#include <cstdio>
#include <memory>

#include "app/notifier.h"
#include "cli/cli.h"
#include "cli/cli_startup.h"
#include "config/catalogue.h"
#include "platform/udev_rules.h"

namespace tolvane::cli {

void RegisterUdevCommand(CLI::App& app, CliContext& ctx) {
  auto install = std::make_shared<bool>(false);
  auto* cmd = app.add_subcommand("udev-rules", "Print (or install) the udev rule for the supported mice");
  cmd->add_flag("--install", *install,
                "Write " + std::string(platform::kUdevRulesPath) + " and reload udev (needs root)");
  cmd->callback([&ctx, install] {
    ctx.action = [&ctx, install] {
      if (!LoadCatalogueForCli(ctx, GetNotifier())) return kExitFailure;
      const OptCfg& opt = Cat().opt;
      std::vector<uint16_t> pids = opt.PID;
      pids.insert(pids.end(), opt.PID2.begin(), opt.PID2.end());
      const std::string rules = platform::MakeUdevRules(opt.VID, pids);
      if (!*install) {
        std::fputs(rules.c_str(), stdout);
        return kExitOk;
      }
      std::string message;
      if (!platform::InstallUdevRules(rules, &message)) {
        CliContext::Fail(message);
        return kExitFailure;
      }
      std::printf("%s\n", message.c_str());
      return kExitOk;
    };
  });
}

}  // namespace tolvane::cli
