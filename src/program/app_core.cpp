#include "program/app_core.h"

#include <ctime>

#include "app/event_sink.h"
#include "app/log.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/link_options.h"
#include "platform/xdg.h"

namespace tolvane {

void UsePlatformFolders() {
  SetSessionFolderSource([] {
    SessionFolders folders;
    folders.executableDir = platform::ExecutableDir();
    folders.dataHome = platform::DataHome();
    folders.desktopDir = platform::DesktopDir();
    return folders;
  });
}

int GetOsVersionCode() { return 0; }

AppCore::~AppCore() { Shutdown(); }

StartResult AppCore::Startup(const StartupOptions& options, Notifier& notifier,
                             std::function<void(const platform::InstanceMessage&)> onInstanceMessage) {
  started_ = true;
  dialogStarted_ = false;

  UsePlatformFolders();
  ResolveProgramDir(options.dataDir);
  LoadDefaultTexts();

  if (!LoadCatalogue(ProgramDir + "cfg.ini", g_Catalogue(), notifier)) {
    notifier.Message(Caption::Error, kDataInitFailed);
    return StartResult::DataInitFailed;
  }
  const OptCfg& opt = Cat().opt;
  LinkOptions link;
  link.nRetry = int(opt.Retry);
  link.bGoWithNoDev = opt.GoWithNoDev != 0;
  link.nSubDebug = opt.SubDebug;
  SetLinkOptions(link);

  std::time_t now = std::time(nullptr);
  std::tm lt{};
  localtime_r(&now, &lt);
  LogPrint("--------------------------------------------------");
  LogPrint("Launch %04d-%d-%d %d:%d, v1.0 AppTitle=%s", lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday,
           lt.tm_hour, lt.tm_min, opt.Title.c_str());

  int nArgs = int(options.args.size());
  LogPrint("nArgs=%d", nArgs);
  startedWithArgs_ = nArgs > 1;

  BuildUserDataDir(opt.appdir, options.userDir);

  if (options.singleInstance) {
    instance_ = std::make_unique<platform::SingleInstance>(kInstanceName, options.instanceDir);
    if (!instance_->Acquire(std::move(onInstanceMessage))) {
      bool found = instance_->SendToFirst({WM_TRAY_NOTIFY, 0, 514});
      LogPrint("ALREADY_EXISTS, hWnd=%x", found ? 1u : 0u);
      instance_.reset();
      return StartResult::AlreadyRunning;
    }
  }

  // With a version code below 5 there is no DPI-awareness step.
  (void)GetOsVersionCode();

  appFontPath_.clear();
  if (!opt.FontName.empty() && platform::IsFile(ProgramDir + "appfont.ttf"))
    appFontPath_ = ProgramDir + "appfont.ttf";
  return StartResult::Ok;
}

void AppCore::Shutdown() {
  if (!started_ || shutDown_) return;
  shutDown_ = true;
  instance_.reset();
  LogPrint("Driver exit");
  fontUnregistered_ = dialogStarted_ && !Cat().opt.FontName.empty();
}

}  // namespace tolvane
