// Window, page and dialog backgrounds.
#include <QLinearGradient>
#include <QRadialGradient>

#include <functional>

#include "skin.h"

namespace tolvane::skin {

namespace {

// The brand mark at the left of the title strip.
void BrandMark(QPainter& p, QPointF at, qreal s) {
  QLinearGradient g(at, at + QPointF(s, s));
  g.setColorAt(0, pal::kAccentHi);
  g.setColorAt(1, pal::kAccentDn);
  p.save();
  p.translate(at);
  p.scale(s / 16.0, s / 16.0);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPath(BrandMarkPath());
  p.restore();
}

// Page rectangle (page coordinates) to window coordinates.
QRectF Pg(qreal l, qreal t, qreal r, qreal b) {
  return QRectF(kPageX + l, kPageY + t, r - l, b - t);
}

// Window-sized pictures keep the hard window outline.
void Save(SkinWriter& w, const QString& name, QImage img) {
  HardenOutline(img, WindowShape(kWindowW, kWindowH, 10));
  w.Skin(name, img);
}

// A page on the window's ground, drawn by `draw` with a smoothing painter.
void SavePage(SkinWriter& w, const QString& name, const std::function<void(QPainter&)>& draw) {
  QImage img = WindowBase();
  QPainter p(&img);
  Smooth(p);
  draw(p);
  p.end();
  Save(w, name, img);
}

void SaveDialog(SkinWriter& w, const QString& name, QImage img) {
  HardenOutline(img, WindowShape(img.width(), img.height(), 10));
  w.Skin(name, img);
}

// The rounded outline of a w x h window or dialog filled hard in the frame
// colour; the painter smooths from then on and is clipped to the outline,
// which is returned.
QPainterPath FramedGround(QPainter& p, int w, int h) {
  const QPainterPath shape = WindowShape(w, h, 10);
  FillHard(p, shape, pal::kFrame);
  Smooth(p);
  p.setClipPath(shape);
  return shape;
}

}  // namespace

QImage WindowBase() {
  QImage img = NewPicture(kWindowW, kWindowH);
  QPainter p(&img);
  const QPainterPath shape = FramedGround(p, kWindowW, kWindowH);
  // Inside the 1-pixel frame: title and tab strip, then the page ground.
  const QRectF inner(1, 1, kWindowW - 2, kWindowH - 2);
  p.setPen(Qt::NoPen);
  p.setBrush(pal::kWindow);
  p.drawRoundedRect(inner, 9, 9);
  QLinearGradient head(0, 0, 0, kPageY);
  head.setColorAt(0, pal::kHeader.lighter(106));
  head.setColorAt(1, pal::kHeader);
  p.setBrush(head);
  p.setClipRect(QRectF(0, 0, kWindowW, kPageY - 1), Qt::IntersectClip);
  p.drawRoundedRect(inner, 9, 9);
  p.setClipPath(shape);
  // Title strip divider and the strip's bottom edge.
  p.setBrush(QColor(255, 255, 255, 8));
  p.drawRect(QRectF(1, kTitleH - 1, kWindowW - 2, 1));
  p.setBrush(pal::kPanelBorder);
  p.drawRect(QRectF(1, kPageY - 1, kWindowW - 2, 1));
  // A faint accent glow behind the tabs.
  p.setBrush(Fade(QPointF(505, kPageY), 420, QColor(0, 128, 255, 22)));
  p.drawRect(QRectF(1, kTitleH, kWindowW - 2, kPageY - kTitleH - 1));
  BrandMark(p, QPointF(12, 7), 15);
  return img;
}

void DrawWindowAndPages(SkinWriter& w) {
  // main_nr.png: the window, and the device list page under its page area.
  SavePage(w, QStringLiteral("main_nr.png"), [](QPainter& p) {
    p.setClipPath(WindowShape(kWindowW, kWindowH, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(Fade(QPointF(535, kPageY + 250), 520, QColor(0, 128, 255, 16)));
    p.drawRect(Pg(0, 0, 1069, 639));
    // A soft floor line under the tile row.
    QLinearGradient line(kPageX + 150, 0, kPageX + 920, 0);
    line.setColorAt(0, QColor(255, 255, 255, 0));
    line.setColorAt(0.5, QColor(255, 255, 255, 18));
    line.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(line);
    p.drawRect(Pg(150, 440, 920, 441));
  });
  // adv_nr.png: DPI levels, the rate row, pointer settings and the DPI light.
  SavePage(w, QStringLiteral("adv_nr.png"), [](QPainter& p) {
    Card(p, Pg(20, 10, 1049, 318));
    Card(p, Pg(20, 326, 1049, 376));
    Card(p, Pg(20, 386, 505, 628));
    Card(p, Pg(515, 386, 1049, 628));
  });
  // led_nr.png: effect and colour on the left, the model and sliders right.
  SavePage(w, QStringLiteral("led_nr.png"), [](QPainter& p) {
    Card(p, Pg(20, 10, 505, 628));
    Card(p, Pg(515, 10, 1049, 628));
    // The colour grid cells sit on a darker well.
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kWell);
    p.drawRoundedRect(Pg(88, 402, 382, 476), 6, 6);
    // A ring around the colour picture.
    p.setBrush(pal::kWell);
    p.drawRoundedRect(Pg(135, 181, 324, 370), 8, 8);
  });
  // macro_nr.png: library, events, insert column and the play settings.
  SavePage(w, QStringLiteral("macro_nr.png"), [](QPainter& p) {
    const qreal cols[3][2] = {{50, 358}, {362, 666}, {670, 1018}};
    for (const auto& c : cols) {
      Card(p, Pg(c[0], 36, c[1], 505));
      p.setPen(Qt::NoPen);
      p.setBrush(pal::kPanelBorder);
      p.drawRect(Pg(c[0] + 10, 98, c[1] - 10, 99));
    }
    Card(p, Pg(50, 515, 666, 618));
  });
  // Setting_BG.png: one card with five rows.
  SavePage(w, QStringLiteral("Setting_BG.png"), [](QPainter& p) {
    Card(p, Pg(230, 30, 860, 405), 10);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kPanelBorder);
    for (int y : {136, 200, 264, 328}) p.drawRect(Pg(250, y, 840, y + 1));
  });
}

namespace {

// A dialog ground: rounded, hard outline, header band and an accent line.
QImage DialogBase(int w, int h, int headerH) {
  QImage img = NewPicture(w, h);
  QPainter p(&img);
  FramedGround(p, w, h);
  p.setPen(Qt::NoPen);
  p.setBrush(pal::kPanel);
  p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 9, 9);
  p.setBrush(pal::kHeader);
  p.drawRect(QRectF(1, 1, w - 2, headerH));
  p.setBrush(pal::kPanelBorder);
  p.drawRect(QRectF(1, headerH + 1, w - 2, 1));
  QLinearGradient a(0, 0, w, 0);
  a.setColorAt(0, pal::kAccentDn);
  a.setColorAt(0.5, pal::kAccentHi);
  a.setColorAt(1, pal::kAccentDn);
  p.setBrush(a);
  p.drawRect(QRectF(0, 0, w, 2));
  return img;
}

}  // namespace

void DrawDialogs(SkinWriter& w) {
  // msg_nr.png: 458 wide so that the 48-pixel close button fits at x 399.
  SaveDialog(w, QStringLiteral("msg_nr.png"), DialogBase(458, 160, 32));
  // msg2_nr.png: the macro picker with a well for its tree.
  {
    QImage img = DialogBase(458, 440, 32);
    QPainter p(&img);
    Smooth(p);
    p.setPen(QPen(pal::kPanelBorder, 1));
    p.setBrush(pal::kWell);
    p.drawRoundedRect(QRectF(20.5, 48.5, 417, 320), 6, 6);
    p.end();
    SaveDialog(w, QStringLiteral("msg2_nr.png"), img);
  }
  // progress_nr.png / progress_ov.png: the bar from x 45 to 486, y 101 to 123;
  // the fill picture is the same dialog with the bar full.
  {
    const QRectF bar(45, 101, 441, 22);
    QImage nr = DialogBase(531, 150, 30);
    {
      QPainter p(&nr);
      Smooth(p);
      p.setPen(QPen(pal::kControlBorder, 1));
      p.setBrush(pal::kWell);
      p.drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), 11, 11);
    }
    QImage ov = nr;
    {
      QPainter p(&ov);
      Smooth(p);
      QLinearGradient g(bar.topLeft(), bar.bottomLeft());
      g.setColorAt(0, pal::kAccentHi);
      g.setColorAt(1, pal::kAccentDn);
      p.setPen(Qt::NoPen);
      p.setBrush(g);
      p.drawRoundedRect(bar.adjusted(2, 2, -2, -2), 9, 9);
      p.setBrush(QColor(255, 255, 255, 40));
      p.drawRoundedRect(QRectF(bar.left() + 8, bar.top() + 4, bar.width() - 16, 4), 2, 2);
    }
    SaveDialog(w, QStringLiteral("progress_nr.png"), nr);
    SaveDialog(w, QStringLiteral("progress_ov.png"), ov);
  }
  // Debounce.png: ground of the debounce and sensor-sleep controls; the
  // slider runs at x 230..450 and the value sits in (481, 11)-(541, 33).
  {
    QImage img = NewPicture(566, 42);
    QPainter p(&img);
    Smooth(p);
    Card(p, QRectF(0.5, 0.5, 565, 41), 8);
    p.setPen(QPen(pal::kControlBorder, 1));
    p.setBrush(pal::kControl);
    p.drawRoundedRect(QRectF(481.5, 10.5, 60, 22), 6, 6);
    p.end();
    w.Skin(QStringLiteral("Debounce.png"), img);
  }
  // deviceBG_nr.png / deviceBG_ov.png: the device tile, name in the bottom
  // 26 pixels.
  for (int over = 0; over < 2; ++over) {
    const int tw = 220, th = 280;
    QImage img = NewPicture(tw, th);
    QPainter p(&img);
    Smooth(p);
    const QRectF r(0.5, 0.5, tw - 1, th - 1);
    const QPainterPath shape = RoundRect(r, 12);
    FillShape(p, shape, over ? pal::kControlHi : pal::kPanel, over ? pal::kControl : pal::kPanel,
              over ? pal::kAccent : pal::kPanelBorder, over ? 1.5 : 1.0);
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(Fade(QPointF(tw / 2.0, 120), 120, QColor(0, 128, 255, over ? 46 : 20)));
    p.drawRect(r);
    p.setBrush(over ? QColor(0, 128, 255, 60) : pal::kPanelBorder);
    p.drawRect(QRectF(12, th - 27, tw - 24, 1));
    p.end();
    w.Skin(over ? QStringLiteral("deviceBG_ov.png") : QStringLiteral("deviceBG_nr.png"), img);
  }
}

}  // namespace tolvane::skin
