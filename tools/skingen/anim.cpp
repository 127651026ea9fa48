// "wait.gif" (the read animation) and "appico.ico" (the window and tray icon).
#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>

#include <algorithm>
#include <cmath>

#include "gif_writer.h"
#include "skin.h"

namespace tolvane::skin {

namespace {

constexpr int kWaitSize = 100, kWaitFrames = 18, kWaitDelayCs = 5;

// Every pixel of the animation lies between the page ground and the accent,
// so a 256-step ramp between them holds it exactly; index 0, the ground
// itself, is the transparent colour.
std::vector<uint32_t> RampPalette() {
  std::vector<uint32_t> pal(256);
  const QColor a = pal::kWindow, b = pal::kAccent;
  for (int i = 0; i < 256; ++i) {
    auto mix = [i](int x, int y) { return uint32_t(std::lround(x + (y - x) * (i / 255.0))); };
    pal[size_t(i)] = (mix(a.red(), b.red()) << 16) | (mix(a.green(), b.green()) << 8) | mix(a.blue(), b.blue());
  }
  return pal;
}

uint8_t RampIndex(QRgb c) {
  const QColor a = pal::kWindow, b = pal::kAccent;
  const double dx = b.red() - a.red(), dy = b.green() - a.green(), dz = b.blue() - a.blue();
  const double t = ((qRed(c) - a.red()) * dx + (qGreen(c) - a.green()) * dy + (qBlue(c) - a.blue()) * dz) /
                   (dx * dx + dy * dy + dz * dz);
  return uint8_t(std::clamp<long>(std::lround(t * 255), 0, 255));
}

QImage WaitFrame(int f) {
  QImage img(kWaitSize, kWaitSize, QImage::Format_RGB32);
  img.fill(pal::kWindow);
  QPainter p(&img);
  Smooth(p);
  const QPointF c(kWaitSize / 2.0, kWaitSize / 2.0);
  const qreal r = 30;
  const QRectF ring(c.x() - r, c.y() - r, 2 * r, 2 * r);
  QColor track = pal::kAccent;
  track.setAlpha(40);
  p.setPen(QPen(track, 6, Qt::SolidLine, Qt::FlatCap));
  p.drawEllipse(ring);
  // A comet: a bright head and a tail that fades over 260 degrees.
  const qreal head = -360.0 * f / kWaitFrames + 90;
  const int pieces = 52;
  for (int i = pieces - 1; i >= 0; --i) {
    QColor col = pal::kAccent;
    col.setAlphaF(std::pow(1.0 - i / double(pieces), 1.6));
    p.setPen(QPen(col, 6, Qt::SolidLine, i == 0 ? Qt::RoundCap : Qt::FlatCap));
    const qreal start = head + i * 5.0;
    p.drawArc(ring, int(start * 16), int(5.4 * 16));
  }
  return img;
}

}  // namespace

QByteArray WaitAnimation() {
  GifAnimation gif;
  gif.width = gif.height = kWaitSize;
  gif.palette = RampPalette();
  gif.transparentIndex = 0;
  gif.loopCount = 0;
  for (int f = 0; f < kWaitFrames; ++f) {
    const QImage img = WaitFrame(f);
    GifFrame frame;
    frame.delayCs = kWaitDelayCs;
    frame.pixels.reserve(size_t(kWaitSize * kWaitSize));
    for (int y = 0; y < kWaitSize; ++y) {
      const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
      for (int x = 0; x < kWaitSize; ++x) frame.pixels.push_back(RampIndex(row[x]));
    }
    gif.frames.push_back(std::move(frame));
  }
  const std::vector<uint8_t> bytes = EncodeGif(gif);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QImage DrawAppIcon(int size) {
  QImage img = NewPicture(size, size);
  QPainter p(&img);
  Smooth(p);
  const qreal s = size / 64.0;
  p.scale(s, s);
  const QPainterPath tile = RoundRect(QRectF(2, 2, 60, 60), 14);
  FillShape(p, tile, QColor(0x24, 0x28, 0x31), pal::kWindow, pal::kAccentDn, 1.5);
  QPainterPath m = QTransform::fromTranslate(12, 12).scale(2.5, 2.5).map(BrandMarkPath());
  QLinearGradient g(14, 16, 50, 50);
  g.setColorAt(0, pal::kAccentHi);
  g.setColorAt(1, pal::kAccentDn);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPath(m);
  return img;
}

// Qt's ICO writer stores one picture; 128 pixels scales well to the tray
// and title sizes.
QByteArray AppIcon() {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  QImageWriter writer(&buf, "ico");
  if (!writer.write(DrawAppIcon(128).convertToFormat(QImage::Format_ARGB32))) return {};
  return bytes;
}

}  // namespace tolvane::skin
