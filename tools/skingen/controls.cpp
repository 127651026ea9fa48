// Buttons, drop lists, toggles, sliders and menu items.
#include <QLinearGradient>
#include <QRadialGradient>

#include <cmath>

#include "skin.h"

namespace tolvane::skin {

namespace {

const char* Suffix(State s) { return s == State::Normal ? "_nr" : s == State::Over ? "_ov" : "_dn"; }
constexpr State kStates[] = {State::Normal, State::Over, State::Down};

// A push-button face. Normal: raised dark; over: lighter with an accent rim;
// down: accent fill (white text goes on it).
void ButtonFace(QPainter& p, const QRectF& r, qreal radius, State s) {
  const QPainterPath shape = RoundRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius);
  switch (s) {
    case State::Normal:
      FillShape(p, shape, pal::kControl.lighter(108), pal::kControl, pal::kControlBorder);
      break;
    case State::Over:
      FillShape(p, shape, pal::kControlHi.lighter(106), pal::kControlHi, pal::kAccent);
      break;
    case State::Down:
      FillShape(p, shape, pal::kAccent, pal::kAccentDn, pal::kAccentDn.darker(120));
      break;
  }
  // A 1-pixel top highlight.
  p.save();
  p.setClipPath(shape);
  p.setPen(QPen(QColor(255, 255, 255, s == State::Down ? 50 : 14), 1));
  p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
  p.restore();
}

void Chevron(QPainter& p, QPointF c, qreal s, const QColor& col, bool down = true) {
  const QPainterPath m =
      down ? Polygon({c + QPointF(-s, -s / 2), c + QPointF(0, s / 2), c + QPointF(s, -s / 2)}, false)
           : Polygon({c + QPointF(-s / 2, -s), c + QPointF(s / 2, 0), c + QPointF(-s / 2, s)},
                     false);  // pointing right
  p.save();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(col, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(m);
  p.restore();
}

QImage Button(int w, int h, State s, qreal radius = 6) {
  QImage img = NewPicture(w, h);
  QPainter p(&img);
  Smooth(p);
  ButtonFace(p, QRectF(0, 0, w, h), radius, s);
  return img;
}

// A drop-list face: button with a chevron at the right.
QImage Combo(int w, int h, State s) {
  QImage img = Button(w, h, s, h > 40 ? 8 : 6);
  QPainter p(&img);
  Smooth(p);
  const QColor c = s == State::Down ? QColor(Qt::white) : s == State::Over ? pal::kAccent : pal::kTextMuted;
  Chevron(p, QPointF(w - (h > 40 ? 22 : 14), h / 2.0), h > 40 ? 5 : 4, c);
  return img;
}

void WriteFamily(SkinWriter& w, const QString& stem, int width, int height,
                 QImage (*draw)(int, int, State)) {
  for (State s : kStates) w.Skin(stem + QLatin1String(Suffix(s)) + ".png", draw(width, height, s));
}

QImage PlainButton(int w, int h, State s) { return Button(w, h, s, h > 40 ? 8 : 6); }

// Title buttons (48 x 30): a glyph on the strip, a rounded hover plate.
enum class Glyph { Settings, Minimise, Close };

void DrawGlyph(QPainter& p, Glyph g, QPointF c, const QColor& col) {
  p.save();
  p.setPen(QPen(col, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  switch (g) {
    case Glyph::Minimise:
      p.drawLine(c + QPointF(-6, 0.5), c + QPointF(6, 0.5));
      break;
    case Glyph::Close:
      p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
      p.drawLine(c + QPointF(5, -5), c + QPointF(-5, 5));
      break;
    case Glyph::Settings: {
      // A gear: the button opens the settings page.
      QPainterPath gear;
      const int teeth = 8;
      for (int i = 0; i < teeth * 4; ++i) {
        const qreal a = (i / qreal(teeth * 4)) * 2 * M_PI;
        const qreal rr = (i % 4 == 0 || i % 4 == 1) ? 7.2 : 5.4;
        const QPointF pt = c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
        if (i == 0) gear.moveTo(pt); else gear.lineTo(pt);
      }
      gear.closeSubpath();
      p.setPen(QPen(col, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPath(gear);
      p.drawEllipse(c, 2.3, 2.3);
      break;
    }
  }
  p.restore();
}

QImage TitleButton(Glyph g, bool over) {
  QImage img = NewPicture(48, 30);
  QPainter p(&img);
  Smooth(p);
  QColor glyph = pal::kTextMuted;
  if (over) {
    p.setPen(Qt::NoPen);
    p.setBrush(g == Glyph::Close ? pal::kDanger : pal::kControlHi);
    p.drawRoundedRect(QRectF(6, 3, 36, 24), 6, 6);
    glyph = Qt::white;
  }
  DrawGlyph(p, g, QPointF(24, 15), glyph);
  return img;
}

}  // namespace

void DrawButtons(SkinWriter& w) {
  const struct { const char* stem; Glyph g; } kTitle[] = {
      {"help", Glyph::Settings}, {"min", Glyph::Minimise}, {"exit", Glyph::Close}};
  for (const auto& t : kTitle) {
    w.Skin(QString::fromLatin1(t.stem) + "_nr.png", TitleButton(t.g, false));
    w.Skin(QString::fromLatin1(t.stem) + "_ov.png", TitleButton(t.g, true));
  }

  // Text buttons at the sizes of their places on the pages and dialogs.
  WriteFamily(w, QStringLiteral("button2"), 80, 27, PlainButton);       // dialogs, macro save
  WriteFamily(w, QStringLiteral("import"), 123, 58, PlainButton);       // (793,490)-(916,548)
  WriteFamily(w, QStringLiteral("export"), 123, 58, PlainButton);       // (923,490)-(1046,548)
  WriteFamily(w, QStringLiteral("restore"), 252, 58, PlainButton);      // (793,552)-(1045,610)
  WriteFamily(w, QStringLiteral("SupportBtn"), 119, 37, PlainButton);   // (700,342)-(819,379)
  WriteFamily(w, QStringLiteral("Profile"), 252, 58, Combo);            // (793,427)-(1045,485)
  WriteFamily(w, QStringLiteral("combo"), 147, 30, Combo);              // lighting effects
  WriteFamily(w, QStringLiteral("combo2"), 97, 32, Combo);              // (858,18)-(955,50)
  WriteFamily(w, QStringLiteral("combo4"), 300, 58, Combo);             // (536,75)-(836,133)

  // add_btn: a round "+" (24 x 24).
  for (State s : kStates) {
    QImage img = NewPicture(24, 24);
    QPainter p(&img);
    Smooth(p);
    const QPainterPath circle = RoundRect(QRectF(0.5, 0.5, 23, 23), 11.5);
    if (s == State::Normal)
      FillShape(p, circle, pal::kControl.lighter(110), pal::kControl, pal::kControlBorder);
    else
      FillShape(p, circle, s == State::Over ? pal::kAccentHi : pal::kAccentDn,
                s == State::Over ? pal::kAccent : pal::kAccentDn.darker(110), pal::kAccentDn);
    p.setPen(QPen(s == State::Normal ? pal::kAccent : QColor(Qt::white), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 7), QPointF(12, 17));
    p.drawLine(QPointF(7, 12), QPointF(17, 12));
    p.end();
    w.Skin(QStringLiteral("add_btn") + Suffix(s) + ".png", img);
  }

  // RECORD: the big record button (335 x 91) with its dot; pressed means
  // recording: a red ground and a stop square.
  for (State s : kStates) {
    const int bw = 335, bh = 91;
    QImage img = NewPicture(bw, bh);
    QPainter p(&img);
    Smooth(p);
    const QPainterPath shape = RoundRect(QRectF(0.5, 0.5, bw - 1, bh - 1), 12);
    if (s == State::Down)
      FillShape(p, shape, QColor(0x4A, 0x20, 0x25), QColor(0x36, 0x18, 0x1C), pal::kDanger, 1.5);
    else
      FillShape(p, shape, s == State::Over ? pal::kControlHi : pal::kControl.lighter(108),
                s == State::Over ? pal::kControl : pal::kControl,
                s == State::Over ? pal::kAccent : pal::kControlBorder);
    const QPointF c(44, bh / 2.0);
    const QColor hc = s == State::Down ? pal::kDanger : pal::kAccent;
    Glow(p, c, 24, QColor(hc.red(), hc.green(), hc.blue(), 90));
    p.setPen(QPen(hc, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(s == State::Down ? QColor(Qt::white) : pal::kDanger);
    if (s == State::Down)
      p.drawRoundedRect(QRectF(c.x() - 6, c.y() - 6, 12, 12), 2, 2);
    else
      p.drawEllipse(c, 8, 8);
    p.end();
    w.Skin(QStringLiteral("RECORD") + Suffix(s) + ".png", img);
  }
}

void DrawToggles(SkinWriter& w) {
  // Radios, 13 x 13 as the rate and play-mode radios are placed.
  for (int on = 0; on < 2; ++on) {
    QImage img = NewPicture(13, 13);
    QPainter p(&img);
    Smooth(p);
    const QPointF c(6.5, 6.5);
    p.setPen(QPen(on ? pal::kAccent : pal::kControlBorderHi, 1.4));
    p.setBrush(on ? pal::kWell : pal::kControl);
    p.drawEllipse(c, 5.6, 5.6);
    if (on) {
      p.setPen(Qt::NoPen);
      p.setBrush(pal::kAccent);
      p.drawEllipse(c, 3.0, 3.0);
    }
    p.end();
    w.Skin(on ? QStringLiteral("radio_dn.png") : QStringLiteral("radio_nr.png"), img);
  }
  // Check boxes, 21 x 21 as the X/Y box is placed; the dialog's capitalised
  // names are the same pictures.
  for (int on = 0; on < 2; ++on) {
    QImage img = NewPicture(21, 21);
    QPainter p(&img);
    Smooth(p);
    const QPainterPath box = RoundRect(QRectF(2.5, 2.5, 16, 16), 4);
    if (on)
      FillShape(p, box, pal::kAccentHi, pal::kAccent, pal::kAccentDn);
    else
      FillShape(p, box, pal::kControl, pal::kControl, pal::kControlBorderHi, 1.2);
    if (on) {
      const QPainterPath tick = Polygon({{6.3, 10.8}, {9.2, 13.7}, {14.8, 7.6}}, false);
      p.setPen(QPen(Qt::white, 2.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      p.drawPath(tick);
    }
    p.end();
    const QString s = on ? QStringLiteral("_dn.png") : QStringLiteral("_nr.png");
    w.Skin(QStringLiteral("check") + s, img);
    w.Skin(QStringLiteral("Check") + s, img);
  }
  // Switches, 33 x 17.
  for (int on = 0; on < 2; ++on) {
    QImage img = NewPicture(33, 17);
    QPainter p(&img);
    Smooth(p);
    const QPainterPath pill = RoundRect(QRectF(0.5, 0.5, 32, 16), 8);
    if (on)
      FillShape(p, pill, pal::kAccent, pal::kAccentDn, pal::kAccentDn);
    else
      FillShape(p, pill, pal::kControlBorder, pal::kControl, pal::kControlBorderHi);
    const QPointF knob(on ? 24.5 : 8.5, 8.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(knob + QPointF(0, 0.8), 6.2, 6.2);
    p.setBrush(on ? QColor(Qt::white) : QColor(0xA7, 0xAD, 0xB8));
    p.drawEllipse(knob, 6.0, 6.0);
    p.end();
    w.Skin(on ? QStringLiteral("toggle_on.png") : QStringLiteral("toggle_off.png"), img);
  }
}

void DrawSliders(SkinWriter& w) {
  // Tracks are drawn at y = BarY (6) inside 14-pixel slider windows: a
  // 2-pixel line there is centred on the 14-pixel thumb. 650 wide for the
  // DPI bars; narrower tracks use the left part.
  {
    QImage nr(650, 2, QImage::Format_ARGB32_Premultiplied);
    nr.fill(pal::kControlBorderHi);
    w.Skin(QStringLiteral("dpibar_nr.png"), nr);
    QImage ov(650, 2, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&ov);
    QLinearGradient g(0, 0, 650, 0);
    g.setColorAt(0, pal::kAccentDn);
    g.setColorAt(1, pal::kAccentHi);
    p.fillRect(ov.rect(), g);
    p.end();
    w.Skin(QStringLiteral("dpibar_ov.png"), ov);
  }
  // slider.png: the round 14 x 14 thumb.
  {
    QImage img = NewPicture(14, 14);
    QPainter p(&img);
    Smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(QPointF(7, 7.6), 6.6, 6.6);
    p.setBrush(pal::kAccent);
    p.drawEllipse(QPointF(7, 7), 6.5, 6.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(7, 7), 3.0, 3.0);
    p.end();
    w.Skin(QStringLiteral("slider.png"), img);
  }
  // slider1.png / slider2.png: the X thumb above the line and the Y thumb
  // below it (14 x 7 each: thumb 1 sits at the top of a 14-pixel bar,
  // thumb 2 at its bottom).
  for (int which = 1; which <= 2; ++which) {
    QImage img = NewPicture(14, 7);
    QPainter p(&img);
    Smooth(p);
    QPainterPath pin;
    if (which == 1) {  // rounded top, point at the bottom edge
      pin.moveTo(7, 7);
      pin.lineTo(1.2, 3.2);
      pin.quadTo(0.5, 0.5, 3.5, 0.5);
      pin.lineTo(10.5, 0.5);
      pin.quadTo(13.5, 0.5, 12.8, 3.2);
      pin.closeSubpath();
    } else {  // point at the top edge, rounded bottom
      pin.moveTo(7, 0);
      pin.lineTo(12.8, 3.8);
      pin.quadTo(13.5, 6.5, 10.5, 6.5);
      pin.lineTo(3.5, 6.5);
      pin.quadTo(0.5, 6.5, 1.2, 3.8);
      pin.closeSubpath();
    }
    p.setPen(Qt::NoPen);
    p.setBrush(which == 1 ? pal::kAccent : pal::kAccentTint);
    p.drawPath(pin);
    p.end();
    w.Skin(QStringLiteral("slider%1.png").arg(which), img);
  }
  // dpi_input.png: the value label right of each DPI bar.
  {
    QImage img = NewPicture(60, 20);
    QPainter p(&img);
    Smooth(p);
    FillShape(p, RoundRect(QRectF(0.5, 0.5, 59, 19), 5), pal::kControl, pal::kControl,
              pal::kControlBorder);
    p.end();
    w.Skin(QStringLiteral("dpi_input.png"), img);
  }
}

void DrawMenus(SkinWriter& w) {
  // Items are 20 high (the drop lists count 20 pixels per item) and are
  // stretched to the menu's width.
  const int mw = 150, mh = 20;
  for (int sub = 0; sub < 2; ++sub) {
    for (int over = 0; over < 2; ++over) {
      QImage img(mw, mh, QImage::Format_ARGB32_Premultiplied);
      img.fill(over ? pal::kControlHi : pal::kControl.darker(108));
      QPainter p(&img);
      Smooth(p);
      if (over) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal::kAccent);
        p.drawRect(QRectF(0, 2, 2, mh - 4));
      }
      if (sub) Chevron(p, QPointF(mw - 10, mh / 2.0), 3.5, over ? pal::kAccent : pal::kTextMuted, false);
      p.end();
      const QString name = QStringLiteral("menu%1_%2.png")
                               .arg(sub ? QStringLiteral("sub") : QString())
                               .arg(over ? QStringLiteral("ov") : QStringLiteral("nr"));
      w.Skin(name, img);
    }
  }
}

}  // namespace tolvane::skin
