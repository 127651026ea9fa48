// skingen: writes the default skin into a data folder.
//   skingen --cfg data/cfg.ini --out build/default/share/tolvane
#include <QDirIterator>
#include <QGuiApplication>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/notifier.h"
#include "config/catalogue.h"
#include "skin.h"

namespace {

// A review sheet of every picture under skins/ except the window-sized ones:
// small pictures shown at twice their size, each with its name.
bool WriteSheet(const std::string& outDir, const std::string& file) {
  const QString root = QString::fromStdString(outDir) + QStringLiteral("/skins");
  QStringList names;
  QDirIterator it(root, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) names << it.next();
  names.sort();
  QImage sheet(1400, 3200, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(0x0B, 0x0C, 0x0F));
  QPainter p(&sheet);
  p.setPen(QColor(0x9A, 0xA0, 0xAA));
  p.setFont(tolvane::skin::UiFont(10));
  int x = 10, y = 10, rowH = 0;
  for (const QString& n : names) {
    const QImage img(n);
    if (img.width() >= 1000 || n.contains(QStringLiteral("mouse"))) continue;
    const int scale = img.width() <= 60 && img.height() <= 60 ? 3 : 1;
    const QSize sz = img.size() * scale;
    if (x + std::max(sz.width(), 110) > sheet.width() - 10) {
      x = 10;
      y += rowH + 24;
      rowH = 0;
    }
    p.drawImage(QRect(QPoint(x, y), sz), img);
    p.drawText(QRect(x, y + sz.height() + 2, std::max(sz.width(), 110), 14), Qt::AlignLeft,
               n.mid(root.size() + 1));
    x += std::max(sz.width(), 110) + 16;
    rowH = std::max(rowH, sz.height());
  }
  p.end();
  return sheet.copy(0, 0, sheet.width(), std::min(sheet.height(), y + rowH + 30)).save(QString::fromStdString(file));
}

}  // namespace

int main(int argc, char** argv) {
  std::string cfg, out, sheet;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--cfg") && i + 1 < argc)
      cfg = argv[++i];
    else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
      out = argv[++i];
    else if (!std::strcmp(argv[i], "--sheet") && i + 1 < argc)
      sheet = argv[++i];
    else {
      std::fprintf(stderr, "usage: skingen --cfg CFG_INI --out DATA_DIR [--sheet PNG]\n");
      return 2;
    }
  }
  if (cfg.empty() || out.empty()) {
    std::fprintf(stderr, "usage: skingen --cfg CFG_INI --out DATA_DIR [--sheet PNG]\n");
    return 2;
  }
  // Fonts need a GUI application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const auto start = std::chrono::steady_clock::now();
  tolvane::StderrNotifier notifier;
  tolvane::Catalogue cat;
  if (!tolvane::LoadCatalogue(cfg, cat, notifier)) {
    std::fprintf(stderr, "skingen: cannot load %s\n", cfg.c_str());
    return 1;
  }
  std::string error;
  int count = 0;
  if (!tolvane::skin::GenerateSkin(cat, out, &error, &count)) {
    std::fprintf(stderr, "skingen: %s\n", error.c_str());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("skingen: %d files in %s (%.0f ms)\n", count, out.c_str(), ms);
  if (!sheet.empty() && !WriteSheet(out, sheet)) {
    std::fprintf(stderr, "skingen: cannot write %s\n", sheet.c_str());
    return 1;
  }
  return 0;
}
