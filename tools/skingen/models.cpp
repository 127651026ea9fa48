// Per-model pictures: the top view with the button areas where the
// catalogue's key rectangles are ("key_nr.png"), the device tile picture
// ("mouse.png") and the lighting page picture ("mouse_led.png").
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

#include "config/dev_cfg.h"
#include "skin.h"

namespace tolvane::skin {

namespace {

enum class KeyKind { Main, Wheel, Side, Small };

struct Key {
  QRectF r;
  KeyKind kind;
};

// The body outline and the keys, in page coordinates of the button page.
struct MouseGeom {
  qreal cx = 200, hw = 95, top = 30, len = 340;
  std::vector<Key> keys;
  qreal Bottom() const { return top + len; }
  QRectF Bounds() const {
    QRectF b(cx - hw, top, 2 * hw, len);
    for (const Key& k : keys) b = b.united(k.r);
    return b;
  }
};

QPainterPath BodyPath(qreal cx, qreal hw, qreal top, qreal len) {
  const qreal b = top + len;
  QPainterPath s;
  s.moveTo(cx, top);
  s.cubicTo(cx + hw * 0.78, top, cx + hw, top + len * 0.12, cx + hw, top + len * 0.30);
  s.cubicTo(cx + hw, top + len * 0.45, cx + hw * 0.90, top + len * 0.52, cx + hw * 0.92, top + len * 0.63);
  s.cubicTo(cx + hw * 0.96, top + len * 0.82, cx + hw * 0.80, b, cx, b);
  s.cubicTo(cx - hw * 0.80, b, cx - hw * 0.96, top + len * 0.82, cx - hw * 0.92, top + len * 0.63);
  s.cubicTo(cx - hw * 0.90, top + len * 0.52, cx - hw, top + len * 0.45, cx - hw, top + len * 0.30);
  s.cubicTo(cx - hw, top + len * 0.12, cx - hw * 0.78, top, cx, top);
  s.closeSubpath();
  return s;
}

MouseGeom Layout(const DevCfg& dev) {
  MouseGeom g;
  std::vector<QRectF> rects;
  for (int i = 0; i < dev.KeyCount(); ++i) {
    const Rect& k = dev.rcKey[i];
    if (k.right > k.left && k.bottom > k.top)
      rects.emplace_back(k.left, k.top, k.right - k.left, k.bottom - k.top);
  }
  if (rects.empty()) {  // no key areas: a plain mouse where they would be
    g.keys.clear();
    return g;
  }
  QRectF box = rects[0];
  for (const QRectF& r : rects) box = box.united(r);

  // The two largest areas side by side are the main buttons; the body is
  // centred between them.
  std::vector<size_t> order(rects.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return rects[a].width() * rects[a].height() > rects[b].width() * rects[b].height();
  });
  int mainA = -1, mainB = -1;
  if (rects.size() >= 2) {
    const QRectF &a = rects[order[0]], &b = rects[order[1]];
    if (std::abs(a.center().x() - b.center().x()) > (a.width() + b.width()) / 4) {
      mainA = int(order[0]);
      mainB = int(order[1]);
    }
  }
  if (mainA >= 0) {
    g.cx = (rects[mainA].center().x() + rects[mainB].center().x()) / 2;
    const QRectF both = rects[mainA].united(rects[mainB]);
    g.hw = std::max(g.cx - both.left(), both.right() - g.cx) + 10;
  } else {
    g.cx = box.center().x();
    g.hw = box.width() / 2 + 10;
  }
  g.hw = std::max<qreal>(g.hw, 40);
  g.top = box.top() - 12;
  const qreal variant = 1.70 + 0.06 * ((dev.nCid + dev.nMid) % 3);
  g.len = std::max(g.hw * 2 * variant, box.bottom() - g.top + 40);

  for (size_t i = 0; i < rects.size(); ++i) {
    const QRectF& r = rects[i];
    KeyKind kind = KeyKind::Small;
    if (int(i) == mainA || int(i) == mainB)
      kind = KeyKind::Main;
    else if (std::abs(r.center().x() - g.cx) > g.hw * 0.7)
      kind = KeyKind::Side;
    else if (r.height() >= 2 * r.width())
      kind = KeyKind::Wheel;
    g.keys.push_back({r, kind});
  }
  return g;
}

void DrawKey(QPainter& p, const Key& k, const QPainterPath& inner) {
  const QRectF r = k.r;
  switch (k.kind) {
    case KeyKind::Main: {
      const QPainterPath shape = RoundRect(r, 10).intersected(inner);
      FillShape(p, shape, pal::kKeyTop, pal::kKeyBottom, pal::kKeyEdge);
      break;
    }
    case KeyKind::Side: {
      const qreal rad = std::min(r.width(), r.height()) / 2;
      FillShape(p, RoundRect(r.adjusted(1, 1, -1, -1), rad), pal::kKeyTop.lighter(108), pal::kKeyBottom,
                pal::kKeyEdge);
      break;
    }
    case KeyKind::Wheel: {
      const qreal rad = r.width() / 2;
      FillShape(p, RoundRect(r, rad), pal::kWell, pal::kWell, pal::kBodyEdge);
      const QRectF wheel = r.adjusted(3, 4, -3, -4);
      FillShape(p, RoundRect(wheel, wheel.width() / 2), QColor(0x4A, 0x50, 0x5C), QColor(0x35, 0x3A, 0x43),
                pal::kKeyEdge);
      p.save();
      p.setClipPath(RoundRect(wheel, wheel.width() / 2));
      p.setPen(QPen(QColor(0x26, 0x29, 0x30), 1));
      for (qreal y = wheel.top() + 4; y < wheel.bottom() - 2; y += 4)
        p.drawLine(QPointF(wheel.left(), y), QPointF(wheel.right(), y));
      p.restore();
      break;
    }
    case KeyKind::Small: {
      FillShape(p, RoundRect(r.adjusted(1, 1, -1, -1), std::min<qreal>(5, r.width() / 3)), pal::kKeyTop,
                pal::kKeyBottom, pal::kKeyEdge);
      p.save();
      p.setPen(Qt::NoPen);
      p.setBrush(pal::kAccent);
      p.drawRoundedRect(QRectF(r.center().x() - 3, r.top() + 4, 6, 2), 1, 1);
      p.restore();
      break;
    }
  }
}

void Emblem(QPainter& p, QPointF c, qreal s, const QColor& col) {
  p.save();
  p.translate(c - QPointF(s, s));
  p.scale(2 * s / 16.0, 2 * s / 16.0);
  p.setPen(Qt::NoPen);
  p.setBrush(col);
  p.drawPath(BrandMarkPath());
  p.restore();
}

struct Lights {
  bool main = false, logo = false, dpi = false;
};

// The mouse in page coordinates; the painter's transform places it.
void DrawMouse(QPainter& p, const MouseGeom& g, const Lights* lit) {
  const QPainterPath body = BodyPath(g.cx, g.hw, g.top, g.len);
  // Shadow on the ground.
  {
    p.save();
    p.translate(g.cx, g.top + g.len * 0.56);
    p.scale(g.hw * 1.3 / (g.len * 0.58), 1.0);
    QRadialGradient sh(QPointF(0, 0), g.len * 0.58);
    sh.setColorAt(0, QColor(0, 0, 0, 130));
    sh.setColorAt(0.7, QColor(0, 0, 0, 50));
    sh.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sh);
    p.drawEllipse(QPointF(0, 0), g.len * 0.58, g.len * 0.58);
    p.restore();
  }
  if (lit && lit->main) {  // under-glow around the body
    p.save();
    p.translate(g.cx, g.top + g.len * 0.6);
    p.scale(g.hw * 1.45 / (g.len * 0.6), 1.0);
    Glow(p, QPointF(0, 0), g.len * 0.6, QColor(0, 128, 255, 90), 0.6);
    p.restore();
  }
  FillShape(p, body, pal::kBodyTop, pal::kBodyBottom, pal::kBodyEdge, 1.5);
  // Highlight on the back.
  p.save();
  p.setClipPath(body);
  QRadialGradient hl(QPointF(g.cx - g.hw * 0.3, g.top + g.len * 0.55), g.hw * 1.1);
  hl.setColorAt(0, QColor(255, 255, 255, 16));
  hl.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(hl);
  p.drawRect(body.boundingRect());
  if (lit && lit->main) {  // light strips along both flanks
    for (int side = -1; side <= 1; side += 2) {
      QPainterPath strip;
      strip.moveTo(g.cx + side * g.hw * 0.90, g.top + g.len * 0.58);
      strip.cubicTo(g.cx + side * g.hw * 0.95, g.top + g.len * 0.78, g.cx + side * g.hw * 0.70,
                    g.top + g.len * 0.96, g.cx, g.top + g.len * 0.985);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0, 128, 255, 80), 9, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(strip);
      p.setPen(QPen(pal::kAccentHi, 3, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(strip);
    }
  }
  p.restore();

  const QPainterPath inner = BodyPath(g.cx, g.hw - 5, g.top + 5, g.len - 10);
  for (const Key& k : g.keys) DrawKey(p, k, inner);

  const QPointF logo(g.cx, g.top + g.len * 0.80);
  if (lit && lit->logo) {
    Glow(p, logo, 30, QColor(0, 128, 255, 140));
    Emblem(p, logo, 11, pal::kAccentTint);
  } else {
    Emblem(p, logo, 11, QColor(0x3A, 0x4F, 0x6B));
  }
  if (lit && lit->dpi) {
    for (const Key& k : g.keys) {
      if (k.kind != KeyKind::Small) continue;
      Glow(p, QPointF(k.r.center().x(), k.r.top() + 5), 12, QColor(0, 128, 255, 150));
    }
  }
}

// Scales the mouse into a w x h picture with a margin.
QImage Fitted(const MouseGeom& g, int w, int h, qreal margin, const Lights* lit) {
  QImage img = NewPicture(w, h);
  QPainter p(&img);
  Smooth(p);
  const QRectF b = g.Bounds();
  const qreal s = std::min((w - 2 * margin) / b.width(), (h - 2 * margin) / b.height());
  p.translate(w / 2.0, h / 2.0);
  p.scale(s, s);
  p.translate(-b.center());
  DrawMouse(p, g, lit);
  return img;
}

}  // namespace

QString ModelFolder(const DevCfg& dev) {
  return QString::asprintf("%02x%02x", dev.nCid, dev.nMid);
}

void DrawModel(SkinWriter& w, const DevCfg& dev) {
  const MouseGeom g = Layout(dev);
  const QString dir = ModelFolder(dev) + QLatin1Char('/');
  {
    QImage img = WindowBase();
    QPainter p(&img);
    Smooth(p);
    p.setClipPath(WindowShape(kWindowW, kWindowH, 10));
    p.translate(kPageX, kPageY);
    p.setPen(Qt::NoPen);
    p.setBrush(Fade(QPointF(g.cx, g.top + g.len * 0.5), g.len * 0.75, QColor(0, 128, 255, 26)));
    p.drawRect(QRectF(0, 0, kWindowW - kPageX, kWindowH - kPageY));
    Card(p, QRectF(781, 415, 276, 207), 10);
    DrawMouse(p, g, nullptr);
    p.end();
    HardenOutline(img, WindowShape(kWindowW, kWindowH, 10));
    w.Skin(dir + QStringLiteral("key_nr.png"), img);
  }
  w.Skin(dir + QStringLiteral("mouse.png"), Fitted(g, 160, 210, 8, nullptr));
  const Lights lit{dev.bShowMainEffect != 0, dev.bShowLogoEffect != 0, dev.bShowDpiLED != 0};
  w.Skin(dir + QStringLiteral("mouse_led.png"), Fitted(g, 300, 320, 18, &lit));
}

}  // namespace tolvane::skin
