// Repaints the whole widget gallery a number of times (1,000 by default) and
// prints the time per full-window repaint.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/paths.h"
#include "config/texts.h"
#include "program/app_core.h"
#include "ui/gallery.h"
#include "ui/menu_dlg.h"
#include "ui/ui_style.h"

int main(int argc, char** argv) {
  std::string dataDir;
  int frames = 1000;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--data-dir") && i + 1 < argc)
      dataDir = argv[++i];
    else
      frames = std::max(1, std::atoi(argv[i]));
  }
  QApplication app(argc, argv);
  tolvane::UsePlatformFolders();
  tolvane::ResolveProgramDir(dataDir);
  tolvane::LoadDefaultTexts();
  tolvane::ui::LoadMenuPictures();
  tolvane::ui::GalleryWindow window;
  window.show();
  QApplication::processEvents();
  window.repaint();  // warm-up: buffers and glyph caches

  const int loads = tolvane::ui::PictureLoadCount();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) window.repaint();
  const auto end = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(end - start).count();

  std::printf("skin: %s (%d pictures missing)\n", tolvane::ui::SkinDir().c_str(),
              int(window.Missing().size()));
  std::printf("%d full-window repaints of %dx%d: %.1f ms, %.3f ms per frame\n", frames,
              window.width(), window.height(), ms, ms / frames);
  std::printf("pictures decoded while painting: %d\n",
              tolvane::ui::PictureLoadCount() - loads);
  return 0;
}
