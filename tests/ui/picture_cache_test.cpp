#include "ui/picture_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QColor>
#include <QFile>

#include <chrono>
#include <filesystem>

#include "support/temp_folder.h"
#include "ui/ui_style.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

QImage Pattern(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgba(x * 7, y * 13, (x ^ y) & 0xFF, 255));
  return img;
}

TEST(PictureCache, GivesBackTheStoredPixelsOnlyForTheSameSourceAndAnIntactFile) {
  tolvane::test::TempFolder dir;
  PictureCache cache(dir.Path("pictures"));
  const QString a = QStringLiteral("/skins/a.png");
  const PictureSource src{1234, 5678};
  // A part of a larger picture: its rows are longer than its width.
  const QImage whole = Pattern(60, 20);
  const QImage part(whole.constBits() + 4 * 3, 37, 11, whole.bytesPerLine(),
                    QImage::Format_ARGB32_Premultiplied);
  cache.Store(a, src, part);
  cache.Store(QStringLiteral("/skins/rgb.png"), src, Pattern(4, 4).convertToFormat(QImage::Format_RGB32));
  cache.Flush();
  const QImage back = cache.Find(a, src);
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(back, part);
  // Another time of writing or size of the source, or another path: nothing.
  EXPECT_TRUE(cache.Find(a, {1234, 5679}).isNull());
  EXPECT_TRUE(cache.Find(a, {1235, 5678}).isNull());
  EXPECT_TRUE(cache.Find(QStringLiteral("/skins/b.png"), src).isNull());
  EXPECT_FALSE(std::filesystem::exists(cache.FileFor(QStringLiteral("/skins/rgb.png"))));

  const std::string file = cache.FileFor(a);
  const std::string bytes = tolvane::test::ReadFileBytes(file);
  auto findWith = [&](const std::string& content, const QString& path) {
    std::filesystem::remove(cache.FileFor(path));
    dir.Write("pictures/" + std::filesystem::path(cache.FileFor(path)).filename().string(), content);
    return cache.Find(path, src);
  };
  // The file of another path under this path's name (names are hashes).
  EXPECT_TRUE(findWith(bytes, QStringLiteral("/skins/b.png")).isNull());
  // Cut short, one byte too many, a width past what a picture may have, a
  // foreign file: each is passed over, not read past its end.
  EXPECT_TRUE(findWith(bytes.substr(0, bytes.size() - 1), a).isNull());
  EXPECT_TRUE(findWith(bytes + "x", a).isNull());
  std::string wide = bytes;
  wide[8] = wide[9] = wide[10] = '\xff';
  wide[11] = '\x7f';
  EXPECT_TRUE(findWith(wide, a).isNull());
  EXPECT_TRUE(findWith(std::string(100, 'P'), a).isNull());
  // A FIFO in the file's place does not hold the caller.
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_TRUE(cache.Find(a, src).isNull());
}

TEST(PictureCache, SkinPicturesComeFromItUntilTheirFileChanges) {
  test::TempSkin skin;
  tolvane::test::TempFolder dir;
  PictureCache cache(dir.Path("pictures"));
  skin.Add("big.png", 200, 150, QColor(0, 0, 200));
  const QString path = SkinPath(QStringLiteral("big.png"));
  EXPECT_EQ(QColor(LoadSkinPicture("big.png").pixel(5, 5)), QColor(0, 0, 200));  // decoded, stored
  cache.Flush();
  // Its stored pixels are what a later load gets (painted over here, to tell
  // them from a decoding).
  const std::string file = cache.FileFor(path);
  std::string bytes = tolvane::test::ReadFileBytes(file);
  ASSERT_GT(bytes.size(), 200u * 150 * 4);
  for (size_t i = bytes.size() - 200u * 150 * 4; i < bytes.size(); i += 4)
    bytes.replace(i, 4, "\x00\xc8\x00\xff", 4);  // green, premultiplied BGRA
  std::filesystem::remove(file);
  dir.Write("pictures/" + std::filesystem::path(file).filename().string(), bytes);
  const QImage stored = LoadSkinPicture("big.png");
  EXPECT_EQ(QColor(stored.pixel(5, 5)), QColor(0, 200, 0));
  // The skin file replaced: decoded afresh although the old picture is held.
  skin.Add("big.png", 200, 150, QColor(200, 0, 0));
  const auto later = std::filesystem::last_write_time(path.toStdString()) + std::chrono::seconds(2);
  std::filesystem::last_write_time(path.toStdString(), later);
  EXPECT_EQ(QColor(LoadSkinPicture("big.png").pixel(5, 5)), QColor(200, 0, 0));
  EXPECT_EQ(QColor(stored.pixel(5, 5)), QColor(0, 200, 0));
}

}  // namespace
}  // namespace tolvane::ui
