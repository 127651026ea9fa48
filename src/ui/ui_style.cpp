#include "ui/ui_style.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "app/log.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/texts.h"

namespace tolvane::ui {

namespace {
std::string g_skinDir;
bool g_skinDirSet = false;
std::atomic<int> g_loads{0};
WarningHandler g_warning;

void DefaultWarning(const std::string& title, const std::string& text) {
  LogPrint("%s: %s", title.c_str(), text.c_str());
  GetNotifier().Message(Caption::Warning, text);
}
}  // namespace

UiStyle& Style() {
  static UiStyle style;
  return style;
}

QFont DialogFont(int height, int weight) {
  QFont f(QStringLiteral("Sans Serif"));
  f.setPixelSize(height > 0 ? height * 3 / 4 : 12);  // GDI cell height to glyph size
  f.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
  return f;
}

QFont SharedFontOr(const QFont& fallback) {
  const UiStyle& s = Style();
  if (s.fontName.isEmpty()) return fallback;
  QFont f(s.fontName);
  f.setPixelSize(s.fontSize > 0 ? s.fontSize : fallback.pixelSize());
  return f;
}

void SetSkinDir(const std::string& dir) {
  g_skinDir = WithTrailingSlash(dir);
  g_skinDirSet = true;
}

std::string SkinDir() {
  if (g_skinDirSet) return g_skinDir;
  return ProgramDir + "skins/";
}

QString SkinPath(const QString& name) {
  QString path = QString::fromStdString(SkinDir()) + name;
  if (QFileInfo::exists(path)) return path;
  QFileInfo info(path);
  QDir dir = info.dir();
  if (!dir.exists()) return path;
  const QStringList entries = dir.entryList(QDir::Files);
  for (const QString& e : entries)
    if (e.compare(info.fileName(), Qt::CaseInsensitive) == 0) return dir.filePath(e);
  return path;
}

QImage LoadSkinPicture(const QString& name) {
  QImage img(SkinPath(name));
  ++g_loads;
  if (img.isNull() || img.width() <= 0) return QImage();
  return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

int PictureLoadCount() { return g_loads.load(); }

void SetWarningHandler(WarningHandler handler) { g_warning = std::move(handler); }

void ShowWarning(const std::string& title, const std::string& text) {
  if (g_warning)
    g_warning(title, text);
  else
    DefaultWarning(title, text);
}

QString UiText(const char* id) {
  static const std::map<std::string, const char*> kTexts = {
      {"tc_tips", "Tips"},
      {"tc_ok", "OK"},
      {"tc_cancel", "Cancel"},
      {"tc_msg29", "A combination holds at most three members."},
      {"tc_combo_tips", "Press the key combination"},
      {"tc_click", "Left click"},
      {"tc_menu", "Right click"},
      {"tc_middle", "Middle click"},
      {"tc_forward", "Forward"},
      {"tc_back", "Back"},
  };
  const std::string& text = Tx(id);
  if (!text.empty()) return QString::fromStdString(text);
  auto it = kTexts.find(id);
  return QString::fromUtf8(it != kTexts.end() ? it->second : id);
}

}  // namespace tolvane::ui
