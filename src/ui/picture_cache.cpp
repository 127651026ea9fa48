#include "ui/picture_cache.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/atomic_file.h"
#include "app/log.h"
#include "platform/mapped_file.h"

namespace tolvane::ui {

namespace {

std::atomic<PictureCache*> g_cache{nullptr};

constexpr char kMagic[8] = {'T', 'L', 'V', 'P', 'I', 'C', '1', '\n'};
constexpr uint32_t kMaxSide = 16384;
constexpr size_t kMaxPath = 4096;
constexpr size_t kPixelAlign = 64;

// The start of a cache file; the source's path (UTF-8) follows it, then the
// pixels from the next multiple of kPixelAlign.
struct Header {
  char magic[8];
  uint32_t width, height, bytesPerLine, pathBytes;
  uint64_t sourceBytes;
  int64_t sourceWrittenNs;
};
static_assert(sizeof(Header) == 40);

constexpr size_t PixelOffset(size_t pathBytes) {
  const size_t end = sizeof(Header) + pathBytes;
  return (end + kPixelAlign - 1) / kPixelAlign * kPixelAlign;
}

void ReleaseMapping(void* hold) {
  delete static_cast<std::shared_ptr<const platform::MappedFile>*>(hold);
}

uint64_t Fnv1a(const QByteArray& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (char c : bytes) {
    h ^= uint8_t(c);
    h *= 0x100000001b3ull;
  }
  return h;
}

}  // namespace

std::optional<PictureSource> SourceOf(const QString& path) {
  std::error_code ec;
  const std::filesystem::path file(path.toStdString());
  PictureSource source;
  source.bytes = std::filesystem::file_size(file, ec);
  if (ec) return std::nullopt;
  const auto written = std::filesystem::last_write_time(file, ec);
  if (ec) return std::nullopt;
  source.writtenNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
  return source;
}

PictureCache* ThePictureCache() { return g_cache.load(); }

PictureCache::PictureCache(std::string folder) : folder_(std::move(folder)) {
  writer_ = std::thread(&PictureCache::WriterLoop, this);
  g_cache.store(this);
}

PictureCache::~PictureCache() {
  PictureCache* self = this;
  g_cache.compare_exchange_strong(self, nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  writer_.join();
}

std::string PictureCache::FileFor(const QString& path) const {
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.pix",
                static_cast<unsigned long long>(Fnv1a(path.toUtf8())));
  return folder_ + "/" + name;
}

QImage PictureCache::Find(const QString& path, const PictureSource& source) const {
  const QByteArray utf8 = path.toUtf8();
  constexpr size_t kMaxFile = PixelOffset(kMaxPath) + size_t(kMaxSide) * kMaxSide * 4;
  std::shared_ptr<const platform::MappedFile> file = platform::MappedFile::Open(FileFor(path), kMaxFile);
  Header h;
  if (!file || file->Read(0, &h, sizeof h) != sizeof h) return QImage();
  if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.pathBytes != size_t(utf8.size()) ||
      h.sourceBytes != source.bytes || h.sourceWrittenNs != source.writtenNs ||
      h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide ||
      h.bytesPerLine != h.width * 4)
    return QImage();
  const size_t offset = PixelOffset(h.pathBytes);
  if (file->Size() != offset + size_t(h.bytesPerLine) * h.height) return QImage();  // cut short
  // Nothing here touches the mapping: the pixels stay out of memory until
  // they are painted.
  QByteArray stored(qsizetype(h.pathBytes), Qt::Uninitialized);
  if (file->Read(sizeof h, stored.data(), h.pathBytes) != h.pathBytes || stored != utf8)
    return QImage();  // another path of the same name
  const uchar* pixels = file->Data() + offset;
  return QImage(pixels, int(h.width), int(h.height), qsizetype(h.bytesPerLine),
                QImage::Format_ARGB32_Premultiplied, ReleaseMapping,
                new std::shared_ptr<const platform::MappedFile>(std::move(file)));
}

void PictureCache::Store(const QString& path, const PictureSource& source, const QImage& picture) {
  if (picture.isNull() || picture.format() != QImage::Format_ARGB32_Premultiplied ||
      uint32_t(picture.width()) > kMaxSide || uint32_t(picture.height()) > kMaxSide ||
      size_t(path.toUtf8().size()) > kMaxPath)
    return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) return;
    jobs_.push_back(Job{path, source, picture});  // shares the pixels: no copy here
  }
  wake_.notify_all();
}

void PictureCache::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [&] { return jobs_.empty() && !busy_; });
}

void PictureCache::WriterLoop() {
  // Temporary files of a write that was killed before its rename.
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
    RemoveIfStaleTemp(e.path().string());
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      busy_ = false;
      idle_.notify_all();
      wake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
      if (stop_) {
        idle_.notify_all();
        return;
      }
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    Write(job);
  }
}

void PictureCache::Write(const Job& job) {
  const QByteArray utf8 = job.path.toUtf8();
  const QImage& img = job.picture;
  Header h{};
  std::memcpy(h.magic, kMagic, sizeof kMagic);
  h.width = uint32_t(img.width());
  h.height = uint32_t(img.height());
  h.bytesPerLine = h.width * 4;
  h.pathBytes = uint32_t(utf8.size());
  h.sourceBytes = job.source.bytes;
  h.sourceWrittenNs = job.source.writtenNs;
  const size_t offset = PixelOffset(h.pathBytes);
  std::vector<uint8_t> bytes(offset + size_t(h.bytesPerLine) * h.height);
  std::memcpy(bytes.data(), &h, sizeof h);
  std::memcpy(bytes.data() + sizeof h, utf8.constData(), h.pathBytes);
  for (uint32_t y = 0; y < h.height; ++y)  // the picture's rows may be longer
    std::memcpy(bytes.data() + offset + size_t(y) * h.bytesPerLine, img.constScanLine(int(y)),
                h.bytesPerLine);
  const int err = WriteFileReplacing(FileFor(job.path), bytes.data(), bytes.size());
  if (err != 0 && !failed_) {
    failed_ = true;  // said once: the program runs as well without the cache
    LogPrint("Picture cache: cannot write in %s (errno %d)", folder_.c_str(), err);
  }
}

}  // namespace tolvane::ui
