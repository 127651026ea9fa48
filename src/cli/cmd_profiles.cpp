// tolvanectl profiles, export, import, restore: the local store of the
// current model, profile files, and restore defaults, through the same
// program (apply thread, reads, gate) the window uses.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/event_sink.h"
#include "app/notifier.h"
#include "cli/cli.h"
#include "cli/cli_device.h"
#include "cli/json.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "profile/profile_session.h"
#include "profile/profile_store.h"

namespace tolvane::cli {
namespace {

// The progress window of a write: a bar on a terminal, nothing otherwise.
class ProgressBar : public EventSink {
 public:
  explicit ProgressBar(bool show) : show_(show) {}
  void Post(uint32_t msg, uintptr_t wParam, intptr_t) override {
    std::lock_guard l(mu_);
    if (!show_) return;
    if (msg == WM_PROGRESS) {
      int pc = int(wParam > 100 ? 100 : wParam);
      std::string bar(size_t(pc / 5), '#');
      bar.resize(20, ' ');
      std::printf("\r[%s] %3d%%", bar.c_str(), pc);
      std::fflush(stdout);
      drawn_ = true;
    } else if (msg == WM_CLOSE_WINDOW && drawn_) {
      std::printf("\n");
      std::fflush(stdout);
      drawn_ = false;
    }
  }

 private:
  std::mutex mu_;
  const bool show_;
  bool drawn_ = false;
};

// Everything a profile command needs: the program, with the chosen device
// made current as the window does it (its store loaded, its profile read).
class Runtime {
 public:
  // False (after printing why) when the catalogue or the entry is unusable.
  bool Open(const CliContext& ctx) {
    offline_ = ctx.offline;
    session_ = StartDeviceSession(ctx, offline_);
    if (!session_) return false;
    int entry = ChosenEntry(ctx, *session_);
    if (entry < 0 && !offline_ && Cat().opt.GoWithNoDev) {
      // No mouse: the entry gets the offline object, as the window's start
      // does with GoWithNoDev.
      std::fprintf(stderr, "tolvanectl: GoWithNoDev: working on the local store\n");
      session_.reset();
      offline_ = true;
      session_ = StartDeviceSession(ctx, true);
      if (!session_) return false;
      entry = ChosenEntry(ctx, *session_);
    }
    if (entry < 0) return false;
    Program& p = session_->Prog();
    const Ticket t = p.ChooseDevice(entry);
    p.Wait(t, 60000);
    // A failed read leaves the store's profile current; a refusal leaves no
    // device current.
    return p.Current() == entry && p.Profile().has_value();
  }

  // Waits for the requested write; prints the bar on a terminal.
  int WaitWrite(const char* what) {
    Prog().WaitApplyIdle(120000);
    if (Prog().LastApplyResult() == 1) {
      std::printf("%s: written to the device%s\n", what, offline_ ? " (offline)" : "");
      return kExitOk;
    }
    CliContext::Fail(std::string(what) + ": the device was not written");
    return kExitFailure;
  }

  void RegisterProgress() {
    Prog().SetProgressWindow(std::make_shared<ProgressBar>(isatty(STDOUT_FILENO) != 0));
  }

  Program& Prog() { return session_->Prog(); }
  // Runs an operation to its end; true when it succeeded.
  bool Run(Ticket t) { return Prog().Wait(t, 120000) && Prog().Result(t) == std::optional<bool>(true); }
  const DevCfg& Model() { return *Prog().CurrentModel(); }

 private:
  std::unique_ptr<DeviceSession> session_;  // its end is the program's exit
  bool offline_ = false;
};

int RunProfiles(const CliContext& ctx, bool json) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  const DevCfg& m = rt.Model();
  const int cur = rt.Prog().Store().CurrentIndex();
  char line[256];
  if (json) {
    std::string out = "{\"model\":" + JsonString(m.szName);
    std::snprintf(line, sizeof line, ",\"cid\":\"%02x\",\"mid\":\"%02x\",\"profiles\":[", m.nCid,
                  m.nMid);
    out += line;
    for (int i = 0; i < int(rt.Prog().Store().Count()); ++i) {
      ProfileFile p = *rt.Prog().Store().GetProfileAt(i);
      std::snprintf(line, sizeof line, "%s{\"position\":%d,\"id\":\"%06x\",\"name\":", i ? "," : "",
                    i, p.dwID);
      out += line + JsonString(GetProfileName(p)) + ",\"current\":" + (i == cur ? "true" : "false") +
             "}";
    }
    std::printf("%s]}\n", out.c_str());
  } else {
    std::printf("%s (%02x%02x)\n", m.szName, m.nCid, m.nMid);
    for (int i = 0; i < int(rt.Prog().Store().Count()); ++i) {
      ProfileFile p = *rt.Prog().Store().GetProfileAt(i);
      std::printf("%c %d  %06x  %s\n", i == cur ? '*' : ' ', i, p.dwID, GetProfileName(p).c_str());
    }
  }
  return kExitOk;
}

int RunExport(const CliContext& ctx, const std::string& file) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  if (!rt.Run(rt.Prog().ExportProfile(file))) return kExitFailure;
  std::printf("exported %s\n", file.c_str());
  return kExitOk;
}

int RunImport(const CliContext& ctx, const std::string& file) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  if (!rt.Prog().CanChangeSettings()) return kExitFailure;
  rt.RegisterProgress();
  if (!rt.Run(rt.Prog().ImportProfile(file, true))) return kExitFailure;
  return rt.WaitWrite(("imported " + file).c_str());
}

int RunRestore(const CliContext& ctx, bool yes) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  auto confirm = [yes] {
    if (yes) return true;
    std::string text = Tx("tc_msg5");
    std::printf("%s [y/N] ", text.empty() ? "Restore the default settings?" : text.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
  };
  if (!confirm()) return kExitFailure;
  rt.RegisterProgress();
  if (!rt.Run(rt.Prog().RestoreDefaults())) return kExitFailure;
  return rt.WaitWrite("restored defaults");
}

}  // namespace

void RegisterStoreCommands(CLI::App& app, CliContext& ctx) {
  auto* profiles = app.add_subcommand("profiles", "List the local profiles of the device's model");
  auto json = std::make_shared<bool>(false);
  profiles->add_flag("--json", *json, "JSON output");
  profiles->callback([&ctx, json] { ctx.action = [&ctx, json] { return RunProfiles(ctx, *json); }; });

  auto* exp = app.add_subcommand("export", "Export the current profile and its macros (.qxa)");
  auto expFile = std::make_shared<std::string>();
  exp->add_option("FILE", *expFile, "Export file")->required();
  exp->callback([&ctx, expFile] { ctx.action = [&ctx, expFile] { return RunExport(ctx, *expFile); }; });

  auto* imp = app.add_subcommand("import", "Import a profile file (.qxa) and write it to the device");
  auto impFile = std::make_shared<std::string>();
  imp->add_option("FILE", *impFile, "Profile file")->required();
  imp->callback([&ctx, impFile] { ctx.action = [&ctx, impFile] { return RunImport(ctx, *impFile); }; });

  auto* restore = app.add_subcommand("restore", "Restore the default settings");
  auto yes = std::make_shared<bool>(false);
  restore->add_flag("--yes", *yes, "Do not ask for confirmation");
  restore->callback([&ctx, yes] { ctx.action = [&ctx, yes] { return RunRestore(ctx, *yes); }; });
}

}  // namespace tolvane::cli
