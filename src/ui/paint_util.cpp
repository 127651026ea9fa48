#include "ui/paint_util.h"

#include <QFontMetrics>

#include <algorithm>

namespace tolvane::ui {

void DrawFormattedText(QPainter& p, const QRect& r, const QString& text, uint32_t format) {
  int align = 0;
  align |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight
                                                                         : Qt::AlignLeft;
  const bool single = format & DT_SINGLELINE;
  if (single)
    align |= (format & DT_VCENTER) ? Qt::AlignVCenter
             : (format & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
  else
    align |= Qt::AlignTop;
  QString shown = text;
  if (single) {
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (format & DT_END_ELLIPSIS)
      shown = QFontMetrics(p.font()).elidedText(shown, Qt::ElideRight, r.width());
  } else if (format & DT_WORDBREAK) {
    align |= Qt::TextWordWrap;
  }
  const bool clip = !(format & DT_NOCLIP);
  if (!clip) align |= Qt::TextDontClip;
  if (clip) {
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
  }
  p.drawText(r, align, shown);
  if (clip) p.restore();
}

namespace {

QFont WithPixels(QFont f, int px) {
  f.setPixelSize(px);
  return f;
}

int PixelsOf(const QFont& f) {
  return f.pixelSize() > 0 ? f.pixelSize() : QFontMetrics(f).height();
}

}  // namespace

FittedText FitText(const QFont& font, const QString& text, QSize box, int minPixel) {
  const int top = PixelsOf(font), bottom = std::min(top, minPixel);
  for (int px = top; px >= bottom; --px) {
    const QFont f = WithPixels(font, px);
    const QFontMetrics m(f);
    if (m.height() <= box.height() && m.horizontalAdvance(text) <= box.width())
      return {f, text, false};
  }
  for (int px = top; px >= bottom; --px) {
    const QFont f = WithPixels(font, px);
    const QFontMetrics m(f);
    const QRect need = m.boundingRect(QRect(0, 0, box.width(), 1 << 16), Qt::TextWordWrap, text);
    if (need.height() <= std::min(box.height(), 2 * m.lineSpacing()) && need.width() <= box.width())
      return {f, text, true};
  }
  const QFont f = WithPixels(font, bottom);
  return {f, QFontMetrics(f).elidedText(text, Qt::ElideRight, box.width()), false};
}

void DrawFittedText(QPainter& p, const QRect& r, const QString& text, uint32_t flags,
                    int minPixel) {
  const FittedText t = FitText(p.font(), text, r.size(), minPixel);
  p.save();
  p.setFont(t.font);
  if (!t.wrap) {
    DrawFormattedText(p, r, t.text, (flags & DT_CENTER) | DT_VCENTER | DT_SINGLELINE);
  } else {
    const QRect need = QFontMetrics(t.font).boundingRect(r, Qt::TextWordWrap, t.text);
    QRect box = r;
    box.setTop(r.top() + (r.height() - need.height()) / 2);
    DrawFormattedText(p, box, t.text, (flags & DT_CENTER) | DT_WORDBREAK);
  }
  p.restore();
}

void DrawPictureHere(QPainter& p, QPoint at, const QImage& picture) {
  // Bands this high are never split. A scaled copy is drawn whole: its
  // filtering would see each band's edge.
  constexpr int kBandRows = 16;
  if (!p.deviceTransform().isIdentity() || picture.devicePixelRatio() != 1.0) {
    p.drawImage(at, picture);
    return;
  }
  for (int y = 0; y < picture.height(); y += kBandRows) {
    const int rows = std::min(kBandRows, picture.height() - y);
    p.drawImage(QPoint(at.x(), at.y() + y), picture, QRect(0, y, picture.width(), rows));
  }
}

}  // namespace tolvane::ui
