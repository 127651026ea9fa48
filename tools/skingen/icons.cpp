// Function icons, macro event and folder icons, digits, battery, colour picture.
#include <QLinearGradient>

#include <cmath>

#include "skin.h"

namespace tolvane::skin {

namespace {

QPen Stroke(const QColor& c, qreal w = 1.4) {
  return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A 16 x 16 picture with a painter ready for a stroked glyph.
struct Icon {
  QImage img = NewPicture(16, 16);
  QPainter p{&img};
  Icon() {
    Smooth(p);
    p.setPen(Stroke(pal::kText));
    p.setBrush(Qt::NoBrush);
  }
  QImage Done() {
    p.end();
    return img;
  }
};

// A tiny mouse outline; `part` 0 left, 1 right, 2 wheel is filled in accent.
QImage MouseIcon(int part) {
  Icon i;
  const QRectF body(3.5, 1.5, 9, 13);
  QPainterPath outline = RoundRect(body, 4.5);
  if (part == 0 || part == 1) {
    QPainterPath half;
    half.addRect(part == 0 ? QRectF(3, 1, 5, 6.5) : QRectF(8, 1, 5, 6.5));
    i.p.setPen(Qt::NoPen);
    i.p.setBrush(pal::kAccent);
    i.p.drawPath(outline.intersected(half));
  }
  i.p.setPen(Stroke(pal::kText, 1.2));
  i.p.setBrush(Qt::NoBrush);
  i.p.drawPath(outline);
  i.p.drawLine(QPointF(3.8, 7.5), QPointF(12.2, 7.5));
  i.p.drawLine(QPointF(8, 1.8), QPointF(8, 7.5));
  if (part == 2) {
    i.p.setPen(Stroke(pal::kAccent, 2.2));
    i.p.drawLine(QPointF(8, 3.5), QPointF(8, 5.8));
  }
  return i.Done();
}

QImage ArrowIcon(bool forward) {
  Icon i;
  const qreal d = forward ? 1 : -1;
  i.p.setPen(Stroke(pal::kText, 1.6));
  i.p.drawLine(QPointF(8 - 5 * d, 8), QPointF(8 + 5 * d, 8));
  i.p.setPen(Stroke(pal::kAccent, 1.8));
  i.p.drawLine(QPointF(8 + 5 * d, 8), QPointF(8 + 1 * d, 4));
  i.p.drawLine(QPointF(8 + 5 * d, 8), QPointF(8 + 1 * d, 12));
  return i.Done();
}

QImage DisableIcon() {
  Icon i;
  i.p.setPen(Stroke(pal::kTextMuted, 1.6));
  i.p.drawEllipse(QPointF(8, 8), 5.8, 5.8);
  i.p.drawLine(QPointF(4, 12), QPointF(12, 4));
  return i.Done();
}

QImage DpiIcon() {  // a gauge with its needle
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.4));
  i.p.drawArc(QRectF(2, 3, 12, 12), 200 * 16, -220 * 16);
  i.p.setPen(Stroke(pal::kAccent, 1.8));
  i.p.drawLine(QPointF(8, 9), QPointF(11.5, 5.5));
  i.p.setPen(Qt::NoPen);
  i.p.setBrush(pal::kAccent);
  i.p.drawEllipse(QPointF(8, 9), 1.6, 1.6);
  return i.Done();
}

QImage ComboIcon() {  // two key caps and a plus
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.2));
  i.p.drawRoundedRect(QRectF(1.5, 4.5, 5, 7), 1.5, 1.5);
  i.p.drawRoundedRect(QRectF(9.5, 4.5, 5, 7), 1.5, 1.5);
  i.p.setPen(Stroke(pal::kAccent, 1.4));
  i.p.drawLine(QPointF(8, 6.5), QPointF(8, 9.5));
  i.p.drawLine(QPointF(6.5, 8), QPointF(9.5, 8));
  return i.Done();
}

QImage MediaIcon() {  // a note
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.4));
  i.p.drawLine(QPointF(6.5, 12), QPointF(6.5, 3));
  i.p.drawLine(QPointF(6.5, 3), QPointF(12.5, 2));
  i.p.drawLine(QPointF(12.5, 2), QPointF(12.5, 10.5));
  i.p.setPen(Qt::NoPen);
  i.p.setBrush(pal::kAccent);
  i.p.drawEllipse(QPointF(4.6, 12.2), 2.2, 1.8);
  i.p.drawEllipse(QPointF(10.6, 10.8), 2.2, 1.8);
  return i.Done();
}

QImage MacroIcon() {  // lines of a script with a play mark
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.3));
  for (qreal y : {3.5, 7.0, 10.5}) i.p.drawLine(QPointF(2, y), QPointF(8, y));
  const QPainterPath play = Polygon({{10, 6}, {15, 9.5}, {10, 13}});
  i.p.setPen(Qt::NoPen);
  i.p.setBrush(pal::kAccent);
  i.p.drawPath(play);
  return i.Done();
}

QImage RgbIcon() {  // the three light colours
  Icon i;
  i.p.setPen(Qt::NoPen);
  i.p.setCompositionMode(QPainter::CompositionMode_Plus);
  i.p.setBrush(QColor(230, 60, 60, 220));
  i.p.drawEllipse(QPointF(8, 5.5), 4, 4);
  i.p.setBrush(QColor(60, 200, 90, 220));
  i.p.drawEllipse(QPointF(5.5, 10), 4, 4);
  i.p.setBrush(QColor(40, 120, 255, 220));
  i.p.drawEllipse(QPointF(10.5, 10), 4, 4);
  return i.Done();
}

QImage RateIcon() {  // a pulse line
  Icon i;
  const QPainterPath wave =
      Polygon({{1, 9}, {4.5, 9}, {6.5, 3}, {9.5, 13}, {11.5, 7}, {15, 7}}, false);
  i.p.setPen(Stroke(pal::kAccent, 1.5));
  i.p.drawPath(wave);
  return i.Done();
}

// Macro event icons: press, release, delay, cursor move.
QImage KeyEventIcon(bool press) {
  Icon i;
  i.p.setPen(Stroke(press ? pal::kAccent : pal::kTextMuted, 1.6));
  const qreal tip = press ? 10 : 3, tail = press ? 3 : 10, dir = press ? -1 : 1;
  i.p.drawLine(QPointF(8, tail), QPointF(8, tip));
  i.p.drawLine(QPointF(8, tip), QPointF(5, tip + 3 * dir));
  i.p.drawLine(QPointF(8, tip), QPointF(11, tip + 3 * dir));
  i.p.setPen(Stroke(pal::kText, 1.6));
  i.p.drawLine(QPointF(3, 13.5), QPointF(13, 13.5));
  return i.Done();
}

QImage DelayIcon() {
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.3));
  i.p.drawEllipse(QPointF(8, 8), 6, 6);
  i.p.setPen(Stroke(pal::kAccent, 1.5));
  i.p.drawLine(QPointF(8, 8), QPointF(8, 4.2));
  i.p.drawLine(QPointF(8, 8), QPointF(10.8, 9.6));
  return i.Done();
}

QImage MoveIcon() {
  Icon i;
  i.p.setPen(Stroke(pal::kText, 1.3));
  i.p.drawLine(QPointF(8, 2), QPointF(8, 14));
  i.p.drawLine(QPointF(2, 8), QPointF(14, 8));
  i.p.setPen(Stroke(pal::kAccent, 1.5));
  const QPointF tips[4] = {{8, 2}, {8, 14}, {2, 8}, {14, 8}};
  const QPointF a[4][2] = {{{6, 4}, {10, 4}}, {{6, 12}, {10, 12}}, {{4, 6}, {4, 10}}, {{12, 6}, {12, 10}}};
  for (int k = 0; k < 4; ++k) {
    i.p.drawLine(tips[k], a[k][0]);
    i.p.drawLine(tips[k], a[k][1]);
  }
  return i.Done();
}

QImage DeleteIcon() {
  Icon i;
  i.p.setPen(Stroke(pal::kDanger, 1.4));
  i.p.drawLine(QPointF(3, 4), QPointF(13, 4));
  i.p.drawLine(QPointF(6.5, 4), QPointF(7, 2.5));
  i.p.drawLine(QPointF(9.5, 4), QPointF(9, 2.5));
  i.p.drawLine(QPointF(7, 2.5), QPointF(9, 2.5));
  const QPainterPath can = Polygon({{4.3, 5.5}, {5.2, 14}, {10.8, 14}, {11.7, 5.5}}, false);
  i.p.drawPath(can);
  i.p.drawLine(QPointF(8, 7), QPointF(8, 12));
  return i.Done();
}

QImage ModifyIcon() {
  Icon i;
  const QPainterPath pen = Polygon({{3, 13}, {3.6, 10.2}, {10.8, 3}, {13, 5.2}, {5.8, 12.4}});
  i.p.setPen(Stroke(pal::kAccent, 1.3));
  i.p.drawPath(pen);
  i.p.drawLine(QPointF(9.4, 4.4), QPointF(11.6, 6.6));
  return i.Done();
}

QImage FolderIcon(bool open) {
  Icon i;
  const QPainterPath back =
      Polygon({{1.5, 13.5}, {1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}});
  i.p.setPen(Stroke(pal::kAccentTint, 1.1));
  i.p.setBrush(QColor(0x2F, 0x4A, 0x6E));
  i.p.drawPath(back);
  if (open) {
    const QPainterPath front = Polygon({{1.5, 13.5}, {4, 7.5}, {15.5, 7.5}, {13, 13.5}});
    i.p.setBrush(QColor(0x3C, 0x66, 0x9C));
    i.p.drawPath(front);
  }
  return i.Done();
}

}  // namespace

void DrawIcons(SkinWriter& w) {
  const struct { const char* name; QImage img; } kFunctions[] = {
      {"ICO_leftclick_nr.png", MouseIcon(0)},   {"ICO_rightclick_nr.png", MouseIcon(1)},
      {"ICO_wheelclick_nr.png", MouseIcon(2)},  {"ICO_forward_nr.png", ArrowIcon(true)},
      {"ICO_back_nr.png", ArrowIcon(false)},    {"ICO_disable_nr.png", DisableIcon()},
      {"ICO_DPI_nr.png", DpiIcon()},            {"ICO_keycombination_nr.png", ComboIcon()},
      {"ICO_multimedia_nr.png", MediaIcon()},   {"ICO_macro_nr.png", MacroIcon()},
      {"ICO_rgb_nr.png", RgbIcon()},            {"ICO_pollingrate_nr.png", RateIcon()},
  };
  for (const auto& f : kFunctions) w.Skin(QStringLiteral("Icon/") + f.name, f.img);

  w.Skin(QStringLiteral("mac_d.png"), KeyEventIcon(true));
  w.Skin(QStringLiteral("mac_u.png"), KeyEventIcon(false));
  w.Skin(QStringLiteral("mac_t.png"), DelayIcon());
  w.Skin(QStringLiteral("mac_m.png"), MoveIcon());
  w.Skin(QStringLiteral("mac_del.png"), DeleteIcon());
  w.Skin(QStringLiteral("mac_modify.png"), ModifyIcon());
  w.Skin(QStringLiteral("macro/open.png"), FolderIcon(true));
  w.Skin(QStringLiteral("macro/close.png"), FolderIcon(false));
}

void DrawIndicators(SkinWriter& w) {
  // number1.png .. number16.png: round digit badges, 20 x 20.
  for (int n = 1; n <= 16; ++n) {
    QImage img = NewPicture(20, 20);
    QPainter p(&img);
    Smooth(p);
    p.setPen(QPen(pal::kAccent, 1.4));
    p.setBrush(pal::kControl);
    p.drawEllipse(QPointF(10, 10), 8.8, 8.8);
    p.setPen(pal::kText);
    p.setFont(UiFont(n < 10 ? 11 : 9, true));
    p.drawText(QRectF(0, 0, 20, 20.5), Qt::AlignCenter, QString::number(n));
    p.end();
    w.Skin(QStringLiteral("number%1.png").arg(n), img);
  }

  // Battery display pictures, each the display's full 210 x 36 so they are
  // drawn at its origin: the battery sits left of the percentage, which the
  // display writes into (157, 10)-(197, 30).
  const QRectF cell(118.5, 11.5, 30, 14);
  for (int level = 10; level <= 100; level += 10) {
    QImage img = NewPicture(210, 36);
    QPainter p(&img);
    Smooth(p);
    p.setPen(QPen(pal::kTextMuted, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(cell, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kTextMuted);
    p.drawRoundedRect(QRectF(cell.right() + 1.5, cell.top() + 4, 2.5, 6), 1, 1);
    const QColor fill = level <= 20 ? pal::kDanger : pal::kAccent;
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(cell.left() + 2, cell.top() + 2, (cell.width() - 4) * level / 100.0,
                             cell.height() - 4),
                      1.5, 1.5);
    p.end();
    w.Skin(QStringLiteral("power%1.png").arg(level), img);
  }
  {
    QImage img = NewPicture(210, 36);
    QPainter p(&img);
    Smooth(p);
    const QPointF c = cell.center();
    const QPainterPath bolt =
        Polygon({c + QPointF(1.5, -8), c + QPointF(-4, 1), c + QPointF(-0.5, 1),
                 c + QPointF(-1.5, 8), c + QPointF(4, -1), c + QPointF(0.5, -1)});
    p.setPen(QPen(pal::kWindow, 1.6));
    p.setBrush(Qt::white);
    p.drawPath(bolt);
    p.end();
    w.Skin(QStringLiteral("power_charging.png"), img);
  }

  // color.png, 173 x 173: hue across, from white at the top through the full
  // colour to black at the bottom, so every pixel is a pickable colour.
  {
    QImage img(173, 173, QImage::Format_RGB32);
    for (int y = 0; y < 173; ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
      const double t = y / 172.0;
      for (int x = 0; x < 173; ++x) {
        const QColor hue = QColor::fromHsvF(x / 173.0, 1.0, 1.0);
        double r = hue.redF(), g = hue.greenF(), b = hue.blueF();
        if (t < 0.5) {  // white to the full hue
          const double k = t / 0.5;
          r = 1 - (1 - r) * k, g = 1 - (1 - g) * k, b = 1 - (1 - b) * k;
        } else {  // full hue to black
          const double k = 1 - (t - 0.5) / 0.5;
          r *= k, g *= k, b *= k;
        }
        row[x] = qRgb(int(std::lround(r * 255)), int(std::lround(g * 255)), int(std::lround(b * 255)));
      }
    }
    w.Skin(QStringLiteral("color.png"), img.convertToFormat(QImage::Format_ARGB32));
  }
}

}  // namespace tolvane::skin
