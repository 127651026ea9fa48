#include "cli/cli_startup.h"

#include <string>
#include <utility>
#include <vector>

#include "program/app_core.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "cli/user_dir.h"
#include "platform/xdg.h"

namespace tolvane::cli {

namespace {
AppCore& CliApp() {
  static AppCore app;
  return app;
}
bool g_started = false;

// Keeps the loading messages until the catalogue proves usable, then passes
// them on, except the start-up failure box. When loading fails the command
// says why in its own one-line message, naming the file, instead.
class LoadNotifier : public Notifier {
 public:
  explicit LoadNotifier(Notifier& next) : next_(next) {}
  void Message(Caption caption, const std::string& text) override {
    if (text != kDataInitFailed) held_.emplace_back(caption, text);
  }
  void PassOn() {
    for (const auto& [caption, text] : held_) next_.Message(caption, text);
    held_.clear();
  }

 private:
  Notifier& next_;
  std::vector<std::pair<Caption, std::string>> held_;
};
}  // namespace

void NoteCatalogueLoaded() { g_started = true; }

bool CheckStartedCatalogue() {
  // An empty or damaged file loads as a catalogue that does not even name
  // the application's folder ("APPDATA=NULL").
  if (Cat().opt.appdir.empty()) {
    CliContext::Fail(ProgramDir + "cfg.ini is empty or damaged: its [OPT] section names no appdir");
    return false;
  }
  return CheckUserDataDir();
}

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
  if (!CheckStartedCatalogue()) return false;
  loading.PassOn();
  g_started = true;
  return true;
}

}  // namespace tolvane::cli
