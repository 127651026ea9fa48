#include "style.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QFile>

#include <cstdio>

namespace tolvane::skin {

QImage NewPicture(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

void Smooth(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
}

QPainterPath RoundRect(const QRectF& r, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

QRadialGradient Fade(QPointF c, qreal r, const QColor& color, qreal from) {
  QRadialGradient g(c, r);
  g.setColorAt(from, color);
  g.setColorAt(1, QColor(color.red(), color.green(), color.blue(), 0));
  return g;
}

void Glow(QPainter& p, QPointF c, qreal r, const QColor& color, qreal from) {
  p.setPen(Qt::NoPen);
  p.setBrush(Fade(c, r, color, from));
  p.drawEllipse(c, r, r);
}

QPainterPath Polygon(std::initializer_list<QPointF> points, bool close) {
  QPainterPath path;
  for (const QPointF& pt : points) {
    if (path.elementCount() == 0)
      path.moveTo(pt);
    else
      path.lineTo(pt);
  }
  if (close) path.closeSubpath();
  return path;
}

void FillShape(QPainter& p, const QPainterPath& path, const QColor& top, const QColor& bottom,
               const QColor& edge, qreal edgeWidth) {
  const QRectF b = path.boundingRect();
  QLinearGradient g(b.topLeft(), b.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPath(path);
  if (edgeWidth > 0) {
    p.setClipPath(path, Qt::IntersectClip);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(edge, edgeWidth * 2));
    p.drawPath(path);
  }
  p.restore();
}

void Card(QPainter& p, const QRectF& r, qreal radius) {
  FillShape(p, RoundRect(r, radius), pal::kPanel, pal::kPanel.darker(104), pal::kPanelBorder);
}

QPainterPath WindowShape(int w, int h, qreal radius) {
  return RoundRect(QRectF(0, 0, w, h), radius);
}

void FillHard(QPainter& p, const QPainterPath& path, const QColor& c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPath(path);
  p.restore();
}

void HardenOutline(QImage& img, const QPainterPath& shape) {
  QImage mask(img.size(), QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  {
    QPainter m(&mask);
    FillHard(m, shape, Qt::black);
  }
  QPainter p(&img);
  p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  p.drawImage(0, 0, mask);
}

QFont UiFont(int pixelSize, bool bold) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

QPainterPath BrandMarkPath() {
  QPainterPath m;
  m.addRoundedRect(QRectF(1, 1.5, 14, 3.6), 1.4, 1.4);
  const QPainterPath stem = Polygon({{5.9, 4}, {10.1, 4}, {10.1, 11.5}, {8, 15}, {5.9, 11.5}});
  return m.united(stem);
}

void SkinWriter::Skin(const QString& rel, const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  if (img.isNull() || !img.save(&buf, "PNG")) {
    ok_ = false;
    error_ = "cannot encode " + rel.toStdString();
    return;
  }
  Write(QStringLiteral("skins/") + rel, bytes);
}

void SkinWriter::File(const QString& rel, const QByteArray& bytes) { Write(rel, bytes); }

bool SkinWriter::Write(const QString& rel, const QByteArray& bytes) {
  const QString path = QString::fromStdString(root_) + QLatin1Char('/') + rel;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    ok_ = false;
    error_ = "cannot create the folder of " + path.toStdString();
    return false;
  }
  // A temporary file in the same folder, renamed over the old one; no sync
  // to disk, the build can always draw the skin again.
  const QString tmp = path + QStringLiteral(".tmp");
  QFile f(tmp);
  const bool written = f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                       f.write(bytes) == bytes.size() && f.flush();
  f.close();
  if (!written || std::rename(tmp.toLocal8Bit().constData(), path.toLocal8Bit().constData()) != 0) {
    QFile::remove(tmp);
    ok_ = false;
    error_ = "cannot write " + path.toStdString();
    return false;
  }
  written_.push_back(rel.toStdString());
  return true;
}

}  // namespace tolvane::skin
