#include "cli/cli.h"

#include <cstdio>
#include <mutex>

#include "program/app_core.h"

namespace tolvane::cli {

namespace {

std::mutex g_busyMu;
std::function<bool()> g_busyTest;
bool g_busyTold = false;

}  // namespace

void CliContext::SetDeviceBusyTest(std::function<bool()> test) {
  std::lock_guard<std::mutex> lock(g_busyMu);
  g_busyTest = std::move(test);
  g_busyTold = false;
}

bool CliContext::DeviceBusy() {
  std::lock_guard<std::mutex> lock(g_busyMu);
  return g_busyTest && g_busyTest();
}

void CliContext::Fail(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(g_busyMu);
    if (g_busyTest && g_busyTest()) {
      // Whatever failed after that, the reason is the busy device.
      if (!g_busyTold) std::fprintf(stderr, "tolvanectl: %s\n", kDeviceBusy);
      g_busyTold = true;
      return;
    }
  }
  std::fprintf(stderr, "tolvanectl: %s\n", text.c_str());
}

namespace {

const Registrar kRegistrars[] = {
    RegisterVersionCommand,
    RegisterModelsCommands,
    RegisterDeviceCommands,
    RegisterMacroCommands,
    RegisterProfileCommands,
    RegisterStoreCommands,
    RegisterUdevCommand,
};

}  // namespace

void RegisterVersionCommand(CLI::App& app, CliContext& ctx) {
  app.add_subcommand("version", "Print the program version")->callback([&ctx] {
    ctx.action = [] {
      std::printf("tolvanectl %s\n", TOLVANE_VERSION);
      return kExitOk;
    };
  });
}

int RunCli(int argc, char** argv) {
  UsePlatformFolders();
  CliContext ctx;
  CLI::App app{"Configures the mice of the installed catalogue.", "tolvanectl"};
  app.require_subcommand(1);
  app.option_defaults()->always_capture_default(false);
  app.add_option("--data-dir", ctx.dataDir, "Installation data folder (cfg.ini, text.xml, skins)");
  app.add_option("--user-dir", ctx.userDir, "Per-user data folder (stores, macros)");
  app.add_option("--simulate", ctx.simulate, "Add a virtual mouse: FAMILY[:key=value,...]")
      ->expected(1)
      ->take_all();
  app.add_flag("--trace", ctx.trace, "Print every report on stderr");
  app.add_option("--device", ctx.device, "Device to act on: position in `list`")->check(CLI::NonNegativeNumber);
  app.add_flag("--offline", ctx.offline, "Work on the local store without a device");
  app.set_version_flag("--version", std::string("tolvanectl ") + TOLVANE_VERSION);
  for (Registrar r : kRegistrars) r(app, ctx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  if (!ctx.action) {
    CliContext::Fail("no command given");
    return kExitUsage;
  }
  return ctx.action();
}

}  // namespace tolvane::cli
