// Decoded skin pictures kept on disk, so that a later start maps their
// pixels instead of decoding the PNG files again: the window's background
// alone takes about 10 ms to decode and 0.3 ms to map.
//
// Each picture is one file in the cache folder, named after its source path,
// holding the source's path, size and time of writing and then the pixels
// as the program paints them (32-bit premultiplied ARGB). A changed or
// replaced skin file no longer matches and is decoded (and stored) again; a
// damaged or foreign cache file is never trusted, only replaced.
#pragma once

#include <QImage>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tolvane::ui {

// What a cached picture must match of its source file.
struct PictureSource {
  uint64_t bytes = 0;
  int64_t writtenNs = 0;
  bool operator==(const PictureSource&) const = default;
};
// The size and time of writing of the file at `path`; nullopt when it
// cannot be read.
std::optional<PictureSource> SourceOf(const QString& path);

class PictureCache {
 public:
  // Pictures are kept in `folder` (created when the first one is stored).
  // While this object lives, LoadSkinPicture and the preload use it.
  explicit PictureCache(std::string folder);
  // Joins the writer; pictures not written yet are dropped (a later start
  // stores them).
  ~PictureCache();
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  // The stored picture of `path`, read-only on the mapped file's pages; a
  // null image when none is stored for the source as it is now. Its pixels
  // are brought into memory when first painted: a page not shown costs none.
  QImage Find(const QString& path, const PictureSource& source) const;
  // Stores `picture` (32-bit premultiplied ARGB; others are not kept) as the
  // decoding of `path`, on the cache's own thread: this returns at once.
  void Store(const QString& path, const PictureSource& source, const QImage& picture);
  // Waits until every picture handed to Store has been written or dropped.
  void Flush();
  // The file that holds the picture of `path`.
  std::string FileFor(const QString& path) const;

 private:
  struct Job {
    QString path;
    PictureSource source;
    QImage picture;
  };
  void WriterLoop();
  void Write(const Job& job);

  const std::string folder_;
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<Job> jobs_;
  bool busy_ = false, stop_ = false, failed_ = false;
  std::thread writer_;
};

// The cache that lives, if any.
PictureCache* ThePictureCache();

}  // namespace tolvane::ui
