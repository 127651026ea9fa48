#include "ui/ui_style.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "app/log.h"
#include "app/notifier.h"
#include "app/paths.h"
#include "config/texts.h"
#include "ui/picture_cache.h"

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

// ---------------------------------------------------------------- preload

struct PicturePreload::Shared {
  std::mutex mutex;
  std::condition_variable done;
  std::vector<std::pair<QString, QImage>> pictures;  // path, picture once decoded
  size_t decoded = 0;                                // pictures[0..decoded) are ready
  size_t heldFrom = 0;  // pictures[heldFrom..) wait for `resumed`
  bool resumed = false;
  bool stop = false;
};

namespace {
PicturePreload* g_preload = nullptr;  // set and read on the window's thread only

// The picture of `path` (of the file `source`, when known): mapped from the
// cache when it holds it, else decoded and handed to the cache.
QImage Decode(const QString& path, const std::optional<PictureSource>& source) {
  PictureCache* cache = ThePictureCache();
  if (cache && source)
    if (QImage stored = cache->Find(path, *source); !stored.isNull()) return stored;
  QImage img(path);
  if (img.isNull() || img.width() <= 0) return QImage();
  // Converted where it lies when the format allows it: no second picture.
  img = std::move(img).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (cache && source) cache->Store(path, *source, img);
  return img;
}
}  // namespace

PicturePreload::PicturePreload(const QStringList& names, const QStringList& later)
    : shared_(std::make_shared<Shared>()) {
  for (const QString& n : names) shared_->pictures.emplace_back(SkinPath(n), QImage());
  shared_->heldFrom = shared_->pictures.size();
  for (const QString& n : later) shared_->pictures.emplace_back(SkinPath(n), QImage());
  g_preload = this;
  thread_ = std::thread([s = shared_] {
    for (size_t i = 0;; ++i) {
      QString path;
      bool ready = false;
      {
        std::unique_lock<std::mutex> lock(s->mutex);
        // Waits for the first frame, or for a picture added later.
        s->done.wait(lock, [&] {
          return s->stop || (i < s->pictures.size() && (i < s->heldFrom || s->resumed));
        });
        if (s->stop) return;
        path = s->pictures[i].first;
        ready = !s->pictures[i].second.isNull();  // given by an earlier decode
      }
      QImage img = ready ? QImage() : Decode(path, SourceOf(path));
      std::lock_guard<std::mutex> lock(s->mutex);
      if (!ready) {
        // A picture listed twice (two users) is decoded once; each gets its pixels.
        for (size_t k = i + 1; k < s->pictures.size(); ++k)
          if (s->pictures[k].first == path) s->pictures[k].second = img;
        s->pictures[i].second = std::move(img);
      }
      s->decoded = i + 1;
      s->done.notify_all();
    }
  });
}

PicturePreload::~PicturePreload() {
  if (g_preload == this) g_preload = nullptr;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop = true;
    shared_->done.notify_all();  // a thread that waits for pictures ends too
  }
  thread_.join();
}

std::optional<QImage> PicturePreload::Take(const QString& path) {
  std::unique_lock<std::mutex> lock(shared_->mutex);
  auto& list = shared_->pictures;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].first != path) continue;
    if (i >= shared_->heldFrom && !shared_->resumed) {  // asked for before its turn
      shared_->resumed = true;
      shared_->done.notify_all();
    }
    // Decoding ends without any other wait: this costs no more than
    // decoding the picture here would.
    shared_->done.wait(lock, [&] { return shared_->decoded > i || shared_->stop; });
    if (shared_->decoded <= i) return std::nullopt;
    QImage img = std::move(list[i].second);
    list[i].first.clear();  // taken: a later load decodes afresh
    return img;
  }
  return std::nullopt;
}

void PicturePreload::Resume() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->resumed = true;
  shared_->done.notify_all();
}

void PicturePreload::Add(const QString& name) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->pictures.emplace_back(SkinPath(name), QImage());
  shared_->done.notify_all();
}

bool PicturePreload::Pending() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return !shared_->stop && shared_->decoded < shared_->pictures.size();
}

void ResumePicturePreload() {
  if (g_preload) g_preload->Resume();
}

bool PicturePreloadPending() { return g_preload && g_preload->Pending(); }

void PreloadSkinPicture(const QString& name) {
  if (g_preload) g_preload->Add(name);
}

QStringList StartPictures() { return {QStringLiteral("main_nr.png")}; }

QStringList PagePictures() {
  // The button page shares the window's background, which the window holds.
  return {QStringLiteral("adv_nr.png"), QStringLiteral("macro_nr.png"),
          QStringLiteral("led_nr.png"), QStringLiteral("Setting_BG.png")};
}

FontWarmUp::FontWarmUp() {
  // What a first text loads for every thread at once: the font configuration
  // and the font database. Qt keeps faces and their glyphs per thread, so
  // loading a face here would only hold the font database's lock while the
  // window's thread wants it.
  thread_ = std::thread([] { (void)QFontDatabase::families(); });
}

FontWarmUp::~FontWarmUp() { Wait(); }

void FontWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

namespace {
// Small pictures (buttons, check boxes, icons) are used by many controls of a
// page: each is decoded once and shared, as long as its file is unchanged.
// Large ones (backgrounds) are shared the same way, but only while someone
// still holds them: their pixels are freed with their last user.
constexpr qsizetype kSmallPicturePixels = 128 * 128;
struct SmallPicture {
  QImage image;
  PictureSource stamp;
};
struct LargePicture {
  std::weak_ptr<const QImage> image;
  PictureSource stamp;
};
std::mutex g_sharedMutex;
std::map<QString, SmallPicture> g_small;
std::map<QString, LargePicture> g_large;

void ReleaseOwner(void* owner) { delete static_cast<std::shared_ptr<const QImage>*>(owner); }

// A read-only picture of `r` on the pixels of `*owner`, which it keeps alive.
QImage ViewOn(std::shared_ptr<const QImage> owner, const QRect& r) {
  const QImage& img = *owner;
  const uchar* at = img.constBits() + qsizetype(r.y()) * img.bytesPerLine() +
                    qsizetype(r.x()) * (img.depth() / 8);
  const qsizetype stride = img.bytesPerLine();
  const QImage::Format format = img.format();
  const qreal ratio = img.devicePixelRatio();
  QImage view(at, r.width(), r.height(), stride, format, ReleaseOwner,
              new std::shared_ptr<const QImage>(std::move(owner)));
  view.setDevicePixelRatio(ratio);
  return view;
}

// Hands out `img` as the shared picture of `path` (a large one: the first
// user's pixels are every later user's while any of them lives).
QImage ShareLarge(const QString& path, const PictureSource& stamp, QImage img) {
  if (img.isNull()) return img;
  std::lock_guard<std::mutex> lock(g_sharedMutex);
  std::shared_ptr<const QImage> owner;
  if (auto it = g_large.find(path); it != g_large.end() && it->second.stamp == stamp)
    owner = it->second.image.lock();  // held already: this decode is dropped
  if (!owner) {
    owner = std::make_shared<const QImage>(std::move(img));
    for (auto it = g_large.begin(); it != g_large.end();)  // forget the freed ones
      it = it->second.image.expired() ? g_large.erase(it) : std::next(it);
    g_large[path] = LargePicture{owner, stamp};
  }
  const QRect whole(QPoint(), owner->size());
  return ViewOn(std::move(owner), whole);
}

// The picture of `path` while it is shared and its file unchanged.
std::optional<QImage> Shared(const QString& path, const PictureSource& stamp) {
  std::lock_guard<std::mutex> lock(g_sharedMutex);
  if (auto it = g_small.find(path); it != g_small.end() && it->second.stamp == stamp)
    return it->second.image;
  if (auto it = g_large.find(path); it != g_large.end() && it->second.stamp == stamp)
    if (std::shared_ptr<const QImage> owner = it->second.image.lock()) {
      const QRect whole(QPoint(), owner->size());
      return ViewOn(std::move(owner), whole);
    }
  return std::nullopt;
}

QImage Keep(const QString& path, const PictureSource& stamp, QImage img) {
  if (img.isNull()) return img;
  if (qsizetype(img.width()) * img.height() > kSmallPicturePixels)
    return ShareLarge(path, stamp, std::move(img));
  std::lock_guard<std::mutex> lock(g_sharedMutex);
  SmallPicture& kept = g_small[path];
  if (kept.image.isNull() || !(kept.stamp == stamp)) kept = SmallPicture{img, stamp};
  return kept.image;
}
}  // namespace

QImage SharedPart(const QImage& picture, const QRect& r) {
  if (picture.isNull() || r.isEmpty() || !QRect(QPoint(), picture.size()).contains(r) ||
      picture.depth() % 8 != 0)
    return QImage();
  return ViewOn(std::make_shared<const QImage>(picture), r);
}

QImage LoadSkinPicture(const QString& name) {
  const QString path = SkinPath(name);
  ++g_loads;
  const std::optional<PictureSource> stamp = SourceOf(path);
  // A preloaded picture is taken even when the same one is held already: the
  // preload lets go of it.
  if (g_preload)
    if (std::optional<QImage> ready = g_preload->Take(path))
      return stamp ? Keep(path, *stamp, *std::move(ready)) : *std::move(ready);
  if (stamp)
    if (std::optional<QImage> shared = Shared(path, *stamp)) return *std::move(shared);
  QImage img = Decode(path, stamp);
  return stamp ? Keep(path, *stamp, std::move(img)) : img;
}

QImage DerivedSkinPicture(const QString& name, const QImage& picture, const QString& variant,
                          const std::function<QImage(const QImage&)>& make) {
  if (picture.isNull()) return QImage();
  const QString path = SkinPath(name);
  const QString key = path + QStringLiteral("#") + variant;
  PictureCache* cache = ThePictureCache();
  const std::optional<PictureSource> source = cache ? SourceOf(path) : std::nullopt;
  if (source)
    if (QImage stored = cache->Find(key, *source); !stored.isNull() && stored.size() == picture.size())
      return stored;
  QImage made = make(picture);
  if (source && !made.isNull()) cache->Store(key, *source, made);
  return made;
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
