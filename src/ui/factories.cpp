#include "ui/factories.h"

#include <QPainter>

#include <cstdlib>
#include <vector>

#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

QImage CutBackground(const QImage& parentBg, const QRect& r) {
  if (parentBg.isNull() || r.isEmpty()) return QImage();
  // Inside the picture: its own pixels, not a copy of them.
  if (parentBg.format() == QImage::Format_ARGB32_Premultiplied &&
      QRect(QPoint(), parentBg.size()).contains(r))
    return SharedPart(parentBg, r);
  return parentBg.copy(r).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

CNaviBtn* NewPageTab(QWidget* parent, const QImage& parentBg, const QRect& r) {
  auto* tab = new CNaviBtn(parent);
  const QImage cut = CutBackground(parentBg, r);
  tab->SetImages(cut, cut, cut);
  tab->setGeometry(r);
  tab->SetToggle(true);
  tab->SetUnderlineWidth(100);
  tab->SetOwnFont(DialogFont(22, 500));
  tab->SetTextColors(Style().btnTxtNr, 0xFFFFFF, 0xFFFFFF);
  return tab;
}

namespace {

void Missing(const char* format, const QString& name) {
  ShowWarning("Warrning", QString::asprintf(format, qPrintable(SkinPath(name))).toStdString());
}

// Loads the normal, hover and pressed pictures and places the button with
// them; false, with a "Warrning" (`missingFormat` naming the file), when one
// is missing.
bool PlaceButton(CPngBtn* button, QWidget* parent, const char* missingFormat,
                 const QString& normalName, const QString& hover, const QString& pressed,
                 int left, int top, int right, int bottom) {
  const QString names[3] = {normalName, hover, pressed};
  QImage pics[3];
  for (int i = 0; i < 3; ++i) {
    pics[i] = LoadSkinPicture(names[i]);
    if (pics[i].isNull()) {
      Missing(missingFormat, names[i]);
      return false;
    }
  }
  button->SetImages(pics[0], pics[1], pics[2]);
  const QImage& normal = pics[0];
  button->setParent(parent);
  if (Style().hiRes) {
    button->setGeometry(left, top, right - left, bottom - top);
    button->SetHiRes(true);
  } else {
    button->setGeometry(left, top, normal.width(), normal.height());
  }
  const UiStyle& s = Style();
  button->SetTextColors(s.btnTxtNr, s.btnTxtOv, s.btnTxtDn);
  return true;
}

// Places a slider's track at `windowRect` over the background under
// `trackRect`, drawn with the bar "dpibar_nr.png" and its filled part
// "dpibar_ov.png"; false, with a "Warrning", without the bar.
bool PlaceTrack(SliderTrack* track, QWidget* parent, const char* missingFormat,
                const QImage& parentBg, const QRect& trackRect, const QRect& windowRect,
                uint32_t id, QPoint barOrigin) {
  const QString barName = QStringLiteral("dpibar_nr.png");
  const QImage bar = LoadSkinPicture(barName);
  if (bar.isNull()) {
    Missing(missingFormat, barName);
    return false;
  }
  const QImage fill = LoadSkinPicture(QStringLiteral("dpibar_ov.png"));
  track->setParent(parent);
  track->setGeometry(windowRect);
  track->SetId(id);
  track->Compose(CutBackground(parentBg, trackRect), bar, fill, barOrigin);
  return true;
}

}  // namespace

int NewSmallPngButton(const QImage& parentBg, const QString& pressed, QWidget* parent,
                      const QString& normal, const QString& hover, CPngBtn* button,
                      bool toggle, bool tooltip, int left, int top, int right, int bottom) {
  if (!button ||
      !PlaceButton(button, parent, "NewSmallPngButton. file %s not exist", normal, hover,
                   pressed, left, top, right, bottom))
    return 0;
  button->SetBkPicture(CutBackground(parentBg, button->geometry()));
  button->SetToggle(toggle);
  if (tooltip) button->SetTipText(QString());
  button->show();
  return 1;
}

int NewSmallPngButton3(std::optional<QPoint> cropOrigin, const QImage& parentBg,
                       QWidget* parent, const QString& normal, const QString& hover,
                       const QString& pressed, CPngBtn* button, bool toggle, bool tooltip,
                       const QString& caption, int left, int top, int right, int bottom) {
  if (!button || normal.isEmpty() || hover.isEmpty() || pressed.isEmpty()) return 0;
  if (!PlaceButton(button, parent, "NewSmallPngButton3. file %s not exist", normal, hover, pressed,
                   left, top, right, bottom))
    return 0;
  const QPoint origin = cropOrigin.value_or(QPoint(0, 0));
  button->SetBkPicture(CutBackground(parentBg, QRect(origin, button->size())));
  button->SetToggle(toggle);
  if (!caption.isEmpty()) button->SetCaption(caption);
  if (tooltip) button->SetTipText(caption);
  button->show();
  return 1;
}

int NewSmallPngSliderBar(CPngSliderBar* track, QWidget* parent, const QImage& parentBg,
                         const QString& thumb, int minimum, int maximum, uint32_t id,
                         QPoint barOrigin, const QRect& trackRect, const QRect& windowRect) {
  if (!track ||
      !PlaceTrack(track, parent, "NewSmallPngSliderBar Error. file %s not exist", parentBg,
                  trackRect, windowRect, id, barOrigin))
    return 0;
  track->Thumb()->SetId(id);
  track->SetThumbPicture(thumb.isEmpty() ? QImage() : LoadSkinPicture(thumb));
  track->SetRange(minimum, maximum);
  track->Thumb()->SetPos(minimum, false);
  track->show();
  return 1;
}

int NewSmallPngHSliderBarEx(const QImage& parentBg, const QString& thumb2, QWidget* parent,
                            const QString& thumb1, CPngHSliderBarEx* track, uint32_t id,
                            QPoint barOrigin, const QRect& rect) {
  if (!track ||
      !PlaceTrack(track, parent, "NewSmallPngHSliderBarEx Error. file %s not exist", parentBg,
                  rect, rect, id, barOrigin))
    return 0;
  track->Thumb(1)->SetId(id);
  track->Thumb(2)->SetId(id);
  track->SetThumbPictures(thumb1.isEmpty() ? QImage() : LoadSkinPicture(thumb1),
                          thumb2.isEmpty() ? QImage() : LoadSkinPicture(thumb2));
  track->SetRange(1, 4);
  track->SetPos(1, 1);
  track->show();
  return 1;
}

namespace {

// A premultiplied pixel over an opaque colour.
QRgb OverOpaque(QRgb px, int r, int g, int b) {
  const int inv = 255 - qAlpha(px);
  if (inv == 0) return px;
  return qRgb(qRed(px) + (r * inv + 127) / 255, qGreen(px) + (g * inv + 127) / 255,
              qBlue(px) + (b * inv + 127) / 255);
}

// Tells, for each pixel of a picture drawn over the key colour, whether it
// lies within `tolerance` of the key in every channel.
struct KeyTest {
  int r, g, b, tolerance;
  KeyTest(uint32_t keyColor, int tol)
      : r(keyColor & 0xFF), g((keyColor >> 8) & 0xFF), b((keyColor >> 16) & 0xFF), tolerance(tol) {}
  bool operator()(QRgb px) const {
    const QRgb c = OverOpaque(px, r, g, b);
    return std::abs(qRed(c) - r) <= tolerance && std::abs(qGreen(c) - g) <= tolerance &&
           std::abs(qBlue(c) - b) <= tolerance;
  }
};

QImage Premultiplied(const QImage& picture) {
  return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

QImage ShapedPicture(const QImage& picture, uint32_t keyColor, int tolerance, QRgb under) {
  if (picture.isNull()) return QImage();
  // Read from the picture, written to a new one: the picture (often shared,
  // or read-only on a mapped file) is not copied first.
  const QImage in = Premultiplied(picture);
  QImage out(in.size(), QImage::Format_ARGB32_Premultiplied);
  if (out.isNull()) return QImage();
  out.setDevicePixelRatio(in.devicePixelRatio());
  const KeyTest isKey(keyColor, tolerance);
  const int ur = qRed(under), ug = qGreen(under), ub = qBlue(under);
  const int w = out.width(), h = out.height();
  for (int y = 0; y < h; ++y) {
    const QRgb* from = reinterpret_cast<const QRgb*>(in.constScanLine(y));
    QRgb* to = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) to[x] = isKey(from[x]) ? 0 : OverOpaque(from[x], ur, ug, ub);
  }
  return out;
}

QRegion BitmapToRegion(const QImage& picture, uint32_t keyColor, int tolerance) {
  if (picture.isNull()) return QRegion();
  const QImage img = Premultiplied(picture);
  const KeyTest isKey(keyColor, tolerance);
  std::vector<QRect> rects;
  rects.reserve(100);
  QRegion region;
  const int w = img.width(), h = img.height();
  for (int y = 0; y < h; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    int x = 0;
    while (x < w) {
      while (x < w && isKey(row[x])) ++x;
      const int start = x;
      while (x < w && !isKey(row[x])) ++x;
      if (x > start) rects.emplace_back(start, y, x - start, 1);
    }
    if (rects.size() >= 2000) {
      QRegion part;
      part.setRects(rects.data(), int(rects.size()));
      region = region.united(part);
      rects.clear();
    }
  }
  if (!rects.empty()) {
    QRegion part;
    part.setRects(rects.data(), int(rects.size()));
    region = region.united(part);
  }
  return region;
}

void ShapeDialog(QWidget* dialog, const QImage& background) {
  const uint32_t key = Style().clrMaskDialog;
  if (!dialog || key == 0 || background.isNull()) return;
  const QImage pic = Style().hiRes ? background.scaled(dialog->size()) : background;
  dialog->setMask(BitmapToRegion(pic, key, 0));
}

}  // namespace tolvane::ui
