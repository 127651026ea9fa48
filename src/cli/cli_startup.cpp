#include "cli/cli_startup.h"

#include "app/app_core.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "platform/xdg.h"

namespace tolvane::cli {

namespace {
AppCore& CliApp() {
  static AppCore app;
  return app;
}
bool g_started = false;

// Passes loading messages on, except the start-up failure box: the command
// says that in its own one-line message, naming the file.
class LoadNotifier : public Notifier {
 public:
  explicit LoadNotifier(Notifier& next) : next_(next) {}
  void Message(Caption caption, const std::string& text) override {
    if (text != kDataInitFailed) next_.Message(caption, text);
  }

 private:
  Notifier& next_;
};
}  // namespace

void NoteCatalogueLoaded() { g_started = true; }

bool LoadCatalogueForCli(const CliContext& ctx, Notifier& n) {
  if (g_started) return true;
  ResolveProgramDir(ctx.dataDir);
  const std::string path = ProgramDir + "cfg.ini";
  // Without its cfg.ini a data folder is the wrong one: say so instead of
  // running on an empty catalogue.
  if (!platform::IsFile(path)) {
    CliContext::Fail("cannot read " + path);
    return false;
  }
  StartupOptions options;
  options.dataDir = ctx.dataDir;
  options.userDir = ctx.userDir;
  options.args = {"tolvanectl"};
  options.singleInstance = false;
  LoadNotifier loading(n);
  if (CliApp().Startup(options, loading) != StartResult::Ok) {
    CliContext::Fail("Data Init failed: " + path + " has an invalid MDNUM or KM");
    return false;
  }
  g_started = true;
  return true;
}

}  // namespace tolvane::cli
