#include "ui/hot_spot.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <vector>

#include "ui/paint_util.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

constexpr int kIconX = 13;  // the icon's place in a spot wide enough for the name beside it
constexpr int kGap = 3, kMargin = 2;
constexpr int kMinPixel = 9;     // smaller is not read at a glance
constexpr int kMinReadable = 3;  // characters of a cut name worth more than the icon alone

int PixelSizeOf(const QFont& f) {
  if (f.pixelSize() > 0) return f.pixelSize();
  return std::max(1, int(f.pointSizeF() * 96.0 / 72.0 + 0.5));
}

QFont Sized(QFont f, int px) {
  f.setPixelSize(px);
  return f;
}

struct Fit {
  int px = 0;
  bool whole = false;
  bool fits = false;  // a line of this size fits the height at all
};

// The largest size from `top` down to `bottom` whose line fits `height` and
// at which `name` fits `width`; otherwise the largest whose line fits.
Fit FitName(const QFont& font, int top, int bottom, const QString& name, int width, int height) {
  Fit tall;
  for (int px = top; px >= bottom; --px) {
    const QFontMetrics m(Sized(font, px));
    if (m.height() > height) continue;
    if (!tall.fits) tall = {px, false, true};
    if (m.horizontalAdvance(name) <= width) return {px, true, true};
  }
  if (tall.fits) tall.px = bottom;  // cut: as much of it as possible
  return tall;
}

}  // namespace

HotSpotLabel LayOutHotSpot(QSize spot, QSize icon, const QString& name, const QFont& font) {
  const int w = spot.width(), h = spot.height();
  const int top = PixelSizeOf(font), bottom = std::min(top, std::max(kMinPixel, top * 5 / 8));
  const bool hasIcon = !icon.isEmpty();
  HotSpotLabel out;
  out.font = Sized(font, top);
  out.icon = QPoint((w - icon.width()) / 2, (h - icon.height()) / 2);  // alone: centred
  if (name.isEmpty()) return out;

  struct Place {
    QPoint icon;
    QRect box;
    Fit fit;
  };
  std::vector<Place> places;
  const int inner = h - 2 * kMargin;
  if (!hasIcon) {
    const QRect box(kMargin, kMargin, w - 2 * kMargin, inner);
    places.push_back({out.icon, box, FitName(font, top, bottom, name, box.width(), inner)});
  } else {
    // Beside the icon at its place.
    const int left = kIconX + icon.width() + kGap;
    if (left < w - kMargin) {
      const QRect box(left, kMargin, w - kMargin - left, inner);
      places.push_back({QPoint(kIconX, (h - icon.height()) / 2), box,
                        FitName(font, top, bottom, name, box.width(), inner)});
    }
    // Under the icon, the two centred together.
    const int below = inner - icon.height() - kGap;
    if (below > 0) {
      const Fit fit = FitName(font, top, bottom, name, w - 2 * kMargin, below);
      if (fit.fits) {
        const int line = QFontMetrics(Sized(font, fit.px)).height();
        const int y = (h - (icon.height() + kGap + line)) / 2;
        places.push_back({QPoint((w - icon.width()) / 2, y),
                          QRect(kMargin, y + icon.height() + kGap, w - 2 * kMargin, line), fit});
      }
    }
  }
  const Place* best = nullptr;
  for (const Place& p : places) {
    if (!p.fit.fits) continue;
    if (!best) {
      best = &p;
      continue;
    }
    // A whole name before a cut one, then the larger font, then the wider box.
    if (p.fit.whole != best->fit.whole) {
      if (p.fit.whole) best = &p;
    } else if (p.fit.whole ? p.fit.px > best->fit.px : p.box.width() > best->box.width()) {
      best = &p;
    }
  }
  out.whole = false;
  if (!best) return out;  // not even a line fits: the icon alone
  out.font = Sized(font, best->fit.px);
  out.whole = best->fit.whole;
  out.shown = out.whole ? name
                        : QFontMetrics(out.font).elidedText(name, Qt::ElideRight, best->box.width());
  if (hasIcon && !out.whole && int(out.shown.size()) - 1 < kMinReadable) {
    out.shown.clear();  // a letter and an ellipsis say less than the icon
    return out;
  }
  out.icon = best->icon;
  out.text = best->box;
  return out;
}

void CHotSpotBtn::ShowAssignment(const QString& name, const QImage& icon, bool tips) {
  icon_ = icon;
  tips_ = tips;
  SetCaption(name);
  LayOut();
}

void CHotSpotBtn::SetLabelFont(const QFont& font) {
  font_ = font;
  LayOut();
}

void CHotSpotBtn::LayOut() {
  label_ = LayOutHotSpot(size(), icon_.isNull() ? QSize() : icon_.size(), Caption(), font_);
  SetTipText(tips_ || !label_.whole ? Caption() : QString());
  update();
}

void CHotSpotBtn::resizeEvent(QResizeEvent* e) {
  CPngBtn::resizeEvent(e);
  LayOut();
}

void CHotSpotBtn::PaintCaption(QPainter& p, uint32_t color, bool shift) {
  const QPoint by = shift ? QPoint(-1, 1) : QPoint(0, 0);
  if (!icon_.isNull()) p.drawImage(label_.icon + by, icon_);
  if (label_.text.isEmpty() || label_.shown.isEmpty()) return;
  p.setFont(label_.font);
  p.setPen(ColorFromRef(color));
  DrawFormattedText(p, label_.text.translated(by), label_.shown,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

}  // namespace tolvane::ui
