// The Tolvane window program: parses the command line, starts the program
// core and runs the window over it (or shows the widget gallery).
#include <QApplication>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "program/app_core.h"
#include "app/log.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "platform/desktop/desktop_pointer.h"
#include "platform/memory_use.h"
#include "platform/pointer_settings.h"
#include "platform/xdg.h"
#include "program/program.h"
#include "ui/gallery.h"
#include "ui/menu_dlg.h"
#include "ui/picture_cache.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"
#include "ui/run_window.h"
#include "ui/ui_style.h"
#include "ui/window_logic.h"

#ifndef TOLVANE_VERSION
#define TOLVANE_VERSION "0.1.0"
#endif

namespace {

int RunGallery(QApplication& app, const std::string& screenshot) {
  tolvane::ui::GalleryWindow window;
  for (const QString& m : window.Missing()) std::fprintf(stderr, "gallery: %s\n", qPrintable(m));
  window.show();
  int rc = 0;
  if (!screenshot.empty()) {
    QTimer::singleShot(0, &window, [&] {
      const QImage shot = window.grab().toImage();
      if (!shot.save(QString::fromStdString(screenshot), "PNG")) {
        std::fprintf(stderr, "tolvane: cannot write %s\n", screenshot.c_str());
        rc = 1;
      }
      app.quit();
    });
    app.exec();
    return rc;
  }
  return app.exec();
}

// The window on the program core: start-up, the window until the user
// exits, and the core's exit on a thread of its own.
int RunProgramWindow(const tolvane::ui::WindowOptions& o, const std::vector<std::string>& args) {
  using namespace tolvane;
  ui::QtEventSink sink(qApp);
  auto visible = std::make_shared<std::atomic<bool>>(false);
  Program program(sink);
  ProgramOptions po;
  po.dataDir = o.dataDir;
  po.userDir = o.userDir;
  po.args = args;
  po.simulate = o.simulate;
  if (o.preview && po.simulate.empty()) po.simulate = {"pro", "pro+:link=wireless"};
  po.windowVisible = [visible] { return visible->load(); };
  // A second copy's knock (the tray notification) arrives on the lock's own
  // thread; the sink hands it to the window's thread.
  po.onInstanceMessage = ui::ForwardInstanceMessages(sink);
  const StartResult started = program.Start(po);
  for (const auto& m : program.TakeMessages()) std::fprintf(stderr, "tolvane: %s\n", m.text.c_str());
  if (started == StartResult::AlreadyRunning) {
    std::fprintf(stderr, "tolvane: already running; its window was brought to the front\n");
    return 0;
  }
  if (started != StartResult::Ok) {
    if (!program.StartError().empty())
      std::fprintf(stderr, "tolvane: %s\n", program.StartError().c_str());
    else
      std::fprintf(stderr, "%s\n", kDataInitFailed);
    return 1;
  }
  ui::ApplyCatalogueStyle(Cat());
  ui::LoadMenuPictures();
  // A screenshot shows the mice that are there: discovery settles first.
  if (!o.screenshot.empty()) program.WaitDevicesSettled(5000);
  program.App().SetDialogStarted();
  int rc = 0;
  {
    ui::ProgramBackend backend(program, sink, visible);
    ui::RunOptions ro;
    ro.program = &program;
    ro.startHidden = o.startHidden;  // -s only: another argument is no hidden start
    ro.screenshot = o.screenshot;
    ro.page = o.page;
    rc = ui::RunWindow(backend, sink, ro);
  }  // the exit thread is joined here
  program.Exit(true);
  ui::ReleaseMenuPictures();
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  const tolvane::ui::ParsedArgs parsed = tolvane::ui::ParseWindowArgs(args, TOLVANE_VERSION);
  std::fputs(parsed.out.c_str(), stdout);
  std::fputs(parsed.err.c_str(), stderr);
  if (!parsed.options) return parsed.exitCode;
  const tolvane::ui::WindowOptions& o = *parsed.options;

  tolvane::platform::ReturnLargeBlocksWhenFreed();  // the pictures, once freed
  QApplication app(argc, argv);
  tolvane::UsePlatformFolders();
  // Pictures decoded at an earlier start are mapped, not decoded again.
  tolvane::ui::PictureCache pictureCache(tolvane::platform::CacheHome() + "/tolvane/pictures");
  if (!o.gallery) {
    // The skin's pictures (the window's background first) and the fonts of
    // the first frame are loaded on threads of their own from here on, while
    // the program starts and the window is built.
    tolvane::ResolveProgramDir(o.dataDir);
    tolvane::ui::PicturePreload preload(tolvane::ui::StartPictures(), tolvane::ui::PagePictures());
    tolvane::ui::FontWarmUp fonts;
    // The DPI page and profiles applied with their pointer settings change
    // this desktop's pointer.
    auto pointer = tolvane::platform::MakeDesktopPointerSettings();
    tolvane::SetPointerSettings(pointer.get());
    const int rc = RunProgramWindow(o, args);
    tolvane::SetPointerSettings(nullptr);
    return rc;
  }
  tolvane::ResolveProgramDir(o.dataDir);
  tolvane::LoadDefaultTexts();
  tolvane::ui::LoadMenuPictures();
  const int rc = RunGallery(app, o.screenshot);
  tolvane::ui::ReleaseMenuPictures();
  return rc;
}
