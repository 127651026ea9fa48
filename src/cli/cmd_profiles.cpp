// tolvanectl profiles, export, import, restore: the local store of the
// current model, profile files, and restore defaults, through the same
// session (apply thread, reads, gate) the window uses.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/event_sink.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "cli/cli.h"
#include "cli/cli_device.h"
#include "cli/cli_startup.h"
#include "cli/json.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/dev_pro.h"
#include "device/discovery_host.h"
#include "device/link_options.h"
#include "macro/macro_library.h"
#include "profile/dev_list_devices.h"
#include "profile/profile_session.h"
#include "profile/profile_store.h"

namespace tolvane::cli {
namespace {

// The device list of a command: one entry per model in use; only the chosen
// one gets a device object.
class CliDevices : public SessionDevices {
 public:
  explicit CliDevices(std::vector<const DevCfg*> models)
      : models_(std::move(models)), devs_(models_.size()), levels_(models_.size(), 0) {}
  SessionDevice Current() const override { return At(Cur()); }
  SessionDevice At(int i) const override {
    std::lock_guard l(mu_);
    if (i < 0 || i >= int(models_.size())) return {};
    return {i, devs_[i], models_[i]};
  }
  void SetCurrent(int i) override {
    std::lock_guard l(mu_);
    current_ = i;
  }
  int CurDpiLevel(int i) const override {
    std::lock_guard l(mu_);
    return i >= 0 && i < int(levels_.size()) ? levels_[i] : 0;
  }
  void SetCurDpiLevel(int i, int level) override {
    std::lock_guard l(mu_);
    if (i >= 0 && i < int(levels_.size())) levels_[i] = level;
  }
  void SetDevice(int i, std::shared_ptr<CHidDev> dev) {
    std::lock_guard l(mu_);
    devs_.at(i) = std::move(dev);
  }
  int Cur() const {
    std::lock_guard l(mu_);
    return current_;
  }
  size_t Size() const { return models_.size(); }

 private:
  mutable std::mutex mu_;
  std::vector<const DevCfg*> models_;
  std::vector<std::shared_ptr<CHidDev>> devs_;
  std::vector<int> levels_;
  int current_ = -1;
};

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

// Everything a profile command needs, set up as the main window would.
class Runtime {
 public:
  // False (after printing why) when the catalogue or the entry is unusable.
  bool Open(const CliContext& ctx) {
    if (!LoadCatalogueForCli(ctx, notifier_)) return false;
    const Catalogue& cat = Cat();
    std::vector<std::string> folders;
    for (const Language& l : cat.languages) folders.push_back(l.folder);
    LoadChosenLanguage(folders);
    std::vector<const DevCfg*> models;
    for (int i : cat.ModelsInUse()) models.push_back(&cat.dev[size_t(i)]);
    if (models.empty()) {
      CliContext::Fail("the catalogue lists no model");
      return false;
    }
    offline_ = ctx.offline;
    std::shared_ptr<CHidDev> dev;
    if (!offline_) {
      dev = OpenChosenDevice(ctx, &devSession_);
      if (!dev) {
        if (!cat.opt.GoWithNoDev) return false;
        std::fprintf(stderr, "tolvanectl: GoWithNoDev: working on the local store\n");
        offline_ = true;
      }
    }
    if (offline_) {
      LinkOptions lo = GetLinkOptions();
      lo.bGoWithNoDev = true;
      SetLinkOptions(lo);
      if (ctx.device < 0 || ctx.device >= int(models.size())) {
        CliContext::Fail("no model " + std::to_string(ctx.device) + " (the catalogue has " +
                         std::to_string(models.size()) + ")");
        return false;
      }
      index_ = ctx.device;
      const DevCfg& model = *models[size_t(index_)];
      // Without a mouse the entry gets the offline object, as the window's
      // start does with GoWithNoDev.
      if (model.nFw == 1)
        dev = std::make_shared<CDevProPlus>();
      else
        dev = std::make_shared<CDevPro>();
      dev->pDevCfg = &model;
      dev->cid = uint8_t(model.nCid);
      dev->mid = uint8_t(model.nMid);
      dev->SetOfflineMarker();
      auto list = std::make_unique<CliDevices>(models);
      list->SetDevice(index_, dev);
      devices_ = std::move(list);
    } else {
      CDevList& list = devSession_->Manager().List();
      index_ = list.FindByIdentity(dev->cid, dev->mid);
      if (index_ < 0) {
        CliContext::Fail("the device is not in the device list");
        return false;
      }
      devices_ = std::make_unique<DevListSessionDevices>(list);
    }

    library_ = std::make_unique<MacroLibrary>(UserDataDir, cat.opt.MacroDir != 0);
    library_->SetTextSource([](const char* id) { return Tx(id); });
    library_->Load();
    store_ = std::make_unique<ProfileStore>(UserDataDir);
    SessionOptions o;
    o.applyNow = cat.opt.ApplyNow != 0;
    o.goWithNoDev = offline_;
    o.defaults = ProfileDefaultsFrom(cat.opt);
    SessionHooks h;
    h.windowVisible = [] { return false; };
    session_ = std::make_unique<ProfileSession>(*store_, *devices_, library_.get(), window_,
                                                notifier_, host_, o, h);
    session_->Start();
    if (!session_->ChooseDevice(index_)) return false;
    session_->WaitReadDone(60000);
    return true;
  }

  // Waits for the requested write; prints the bar on a terminal.
  int WaitWrite(const char* what) {
    session_->WaitApplyIdle(120000);
    int r = session_->LastApplyResult();
    if (r == 1) {
      std::printf("%s: written to the device%s\n", what, offline_ ? " (offline)" : "");
      return kExitOk;
    }
    CliContext::Fail(std::string(what) + ": the device was not written");
    return kExitFailure;
  }

  void RegisterProgress() {
    session_->SetProgressWindow(std::make_shared<ProgressBar>(isatty(STDOUT_FILENO) != 0));
  }

  // Exit: the current model's store is saved, then the session ends.
  void Close() {
    if (session_) {
      session_->SaveCurrentStore();
      session_->Stop();
      session_.reset();
    }
    host_.Stop();
    devSession_.reset();
  }
  ~Runtime() { Close(); }

  ProfileSession& Session() { return *session_; }
  ProfileStore& Store() { return *store_; }
  const DevCfg& Model() const { return *devices_->At(index_).cfg; }

 private:
  StderrNotifier notifier_;
  NullEventSink window_;
  LoopHost host_;
  std::unique_ptr<DeviceSession> devSession_;  // discovery, when a device is used
  std::unique_ptr<SessionDevices> devices_;
  std::unique_ptr<MacroLibrary> library_;
  std::unique_ptr<ProfileStore> store_;
  std::unique_ptr<ProfileSession> session_;
  int index_ = 0;
  bool offline_ = false;
};

int RunProfiles(const CliContext& ctx, bool json) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  const DevCfg& m = rt.Model();
  const int cur = rt.Store().CurrentIndex();
  char line[256];
  if (json) {
    std::string out = "{\"model\":" + JsonString(m.szName);
    std::snprintf(line, sizeof line, ",\"cid\":\"%02x\",\"mid\":\"%02x\",\"profiles\":[", m.nCid,
                  m.nMid);
    out += line;
    for (int i = 0; i < int(rt.Store().Count()); ++i) {
      ProfileFile p = *rt.Store().GetProfileAt(i);
      std::snprintf(line, sizeof line, "%s{\"position\":%d,\"id\":\"%06x\",\"name\":", i ? "," : "",
                    i, p.dwID);
      out += line + JsonString(GetProfileName(p)) + ",\"current\":" + (i == cur ? "true" : "false") +
             "}";
    }
    std::printf("%s]}\n", out.c_str());
  } else {
    std::printf("%s (%02x%02x)\n", m.szName, m.nCid, m.nMid);
    for (int i = 0; i < int(rt.Store().Count()); ++i) {
      ProfileFile p = *rt.Store().GetProfileAt(i);
      std::printf("%c %d  %06x  %s\n", i == cur ? '*' : ' ', i, p.dwID, GetProfileName(p).c_str());
    }
  }
  return kExitOk;
}

int RunExport(const CliContext& ctx, const std::string& file) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  if (!rt.Session().ExportProfile(file)) return kExitFailure;
  std::printf("exported %s\n", file.c_str());
  return kExitOk;
}

int RunImport(const CliContext& ctx, const std::string& file) {
  Runtime rt;
  if (!rt.Open(ctx)) return kExitFailure;
  if (!rt.Session().CanChangeSettings()) return kExitFailure;
  rt.RegisterProgress();
  if (!rt.Session().ImportProfile(file, true)) return kExitFailure;
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
  rt.RegisterProgress();
  if (!rt.Session().RestoreDefaults(confirm)) return kExitFailure;
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
