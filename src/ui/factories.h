// Building buttons and sliders from skin pictures, the background cut and the
// window shape taken from a picture.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <optional>

namespace tolvane::ui {

class CPngBtn;
class CPngSliderBar;
class CPngHSliderBarEx;
class CNaviBtn;

// The part of the parent's background picture under rectangle `r` (parts
// outside the picture stay transparent).
QImage CutBackground(const QImage& parentBg, const QRect& r);

// A page tab of the window's top bar at `r`: a toggle over its own cut of the
// background, underlined and lettered as the window's tabs are. Its caption,
// state and click are the caller's.
CNaviBtn* NewPageTab(QWidget* parent, const QImage& parentBg, const QRect& r);

// Each factory loads its pictures; a missing one is reported in a "Warrning"
// box and the factory returns 0 without placing the control (the caller keeps
// and disposes of the object). On success the control becomes a visible child
// of `parent` and 1 is returned.
int NewSmallPngButton(const QImage& parentBg, const QString& pressed, QWidget* parent,
                      const QString& normal, const QString& hover, CPngBtn* button,
                      bool toggle, bool tooltip, int left, int top, int right, int bottom);

int NewSmallPngButton3(std::optional<QPoint> cropOrigin, const QImage& parentBg,
                       QWidget* parent, const QString& normal, const QString& hover,
                       const QString& pressed, CPngBtn* button, bool toggle, bool tooltip,
                       const QString& caption, int left, int top, int right, int bottom);

// A skinned button of kind T (CPngBtn or one of its kinds) filling `r` of
// `parent`, over the part of `parentBg` under r's corner, drawn with its three
// pictures. nullptr when a picture is missing: the factory's "Warrning" is
// shown and nothing is left behind in `parent`.
template <class T>
T* NewSkinButton(QWidget* parent, const QImage& parentBg, const QRect& r, const QString& normal,
                 const QString& hover, const QString& pressed, const QString& caption = {}) {
  T* b = new T(parent);
  if (NewSmallPngButton3(r.topLeft(), parentBg, parent, normal, hover, pressed, b, false, false,
                         caption, r.left(), r.top(), r.right() + 1, r.bottom() + 1))
    return b;
  delete b;
  return nullptr;
}

// `thumb` may be empty (a bar without a thumb). `trackRect` is the track's
// rectangle in the background picture, `windowRect` its place in the parent.
int NewSmallPngSliderBar(CPngSliderBar* track, QWidget* parent, const QImage& parentBg,
                         const QString& thumb, int minimum, int maximum, uint32_t id,
                         QPoint barOrigin, const QRect& trackRect, const QRect& windowRect);

int NewSmallPngHSliderBarEx(const QImage& parentBg, const QString& thumb2, QWidget* parent,
                            const QString& thumb1, CPngHSliderBarEx* track, uint32_t id,
                            QPoint barOrigin, const QRect& rect);

// Window shape from a picture: the picture is drawn over the key colour
// (0x00BBGGRR) and every pixel whose channels all lie within key ± tolerance
// is outside. Each row's runs of other pixels become 1-pixel-high rectangles.
QRegion BitmapToRegion(const QImage& picture, uint32_t keyColor, int tolerance);
// The same shape as a picture for a translucent window: the picture over the
// opaque colour `under`, with the pixels outside the shape fully transparent.
// One pass over the pixels: no region to build or to clip by.
QImage ShapedPicture(const QImage& picture, uint32_t keyColor, int tolerance, QRgb under);

// Shapes a popup dialog from its background with cfg.ini clrMaskDialog
// (tolerance 0); a key colour of 0 leaves the window unshaped.
void ShapeDialog(QWidget* dialog, const QImage& background);

}  // namespace tolvane::ui
