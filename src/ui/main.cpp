// The Tolvane window program. For now it shows the widget gallery.
#include <QApplication>
#include <QImage>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/log.h"
#include "app/paths.h"
#include "config/texts.h"
#include "ui/gallery.h"
#include "ui/menu_dlg.h"
#include "ui/ui_style.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: tolvane --gallery [--screenshot FILE] [--data-dir DIR]\n"
               "  --gallery          show every widget of the kit on the skin\n"
               "  --screenshot FILE  save the gallery window as a PNG and exit\n"
               "  --data-dir DIR     installation data folder (cfg.ini, skins)\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool gallery = false;
  std::string screenshot, dataDir;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--gallery")) {
      gallery = true;
    } else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) {
      screenshot = argv[++i];
    } else if (!std::strcmp(argv[i], "--data-dir") && i + 1 < argc) {
      dataDir = argv[++i];
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      Usage();
      return 0;
    } else {
      Usage();
      return 2;
    }
  }
  if (!gallery && screenshot.empty()) {
    std::fprintf(stderr, "tolvane: only the widget gallery exists so far (--gallery)\n");
    Usage();
    return 2;
  }

  QApplication app(argc, argv);
  tolvane::ResolveProgramDir(dataDir);
  tolvane::LoadDefaultTexts();
  tolvane::ui::LoadMenuPictures();

  tolvane::ui::GalleryWindow window;
  for (const QString& m : window.Missing())
    std::fprintf(stderr, "gallery: %s\n", qPrintable(m));
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
  } else {
    rc = app.exec();
  }
  tolvane::ui::ReleaseMenuPictures();
  return rc;
}
