// The Tolvane window program: parses the command line, builds the backend and
// runs the window over it (or shows the widget gallery).
#include <QApplication>
#include <QImage>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "program/app_core.h"
#include "app/log.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "ui/gallery.h"
#include "ui/menu_dlg.h"
#include "ui/preview_backend.h"
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

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  const tolvane::ui::ParsedArgs parsed = tolvane::ui::ParseWindowArgs(args, TOLVANE_VERSION);
  std::fputs(parsed.out.c_str(), stdout);
  std::fputs(parsed.err.c_str(), stderr);
  if (!parsed.options) return parsed.exitCode;
  const tolvane::ui::WindowOptions& o = *parsed.options;

  QApplication app(argc, argv);
  tolvane::UsePlatformFolders();
  tolvane::ResolveProgramDir(o.dataDir);
  tolvane::LoadDefaultTexts();
  tolvane::ui::LoadMenuPictures();
  int rc = 0;
  if (o.gallery) {
    rc = RunGallery(app, o.screenshot);
  } else {
    // The device core is wired in by its own backend; until then the window
    // runs on two sample devices.
    tolvane::StderrNotifier notifier;
    tolvane::Catalogue& cat = tolvane::g_Catalogue();
    if (!tolvane::LoadCatalogue(tolvane::ProgramDir + "cfg.ini", cat, notifier)) {
      std::fprintf(stderr, "%s\n", tolvane::kDataInitFailed);
      return 1;
    }
    tolvane::ui::ApplyCatalogueStyle(cat);
    if (!o.preview && o.screenshot.empty())
      std::fprintf(stderr, "tolvane: showing two sample devices (no device backend in this build)\n");
    tolvane::ui::QtEventSink sink(&app);
    tolvane::ui::PreviewBackend backend(cat, tolvane::ProgramDir, sink);
    tolvane::ui::RunOptions ro;
    ro.startHidden = o.startHidden;
    ro.screenshot = o.screenshot;
    ro.page = o.page;
    rc = tolvane::ui::RunWindow(backend, sink, ro);
  }
  tolvane::ui::ReleaseMenuPictures();
  return rc;
}
