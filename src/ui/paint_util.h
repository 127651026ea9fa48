// Text drawing with the platform text-format flags the layouts are given in,
// and the copy of a large picture.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>

namespace tolvane::ui {

constexpr uint32_t DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
                   DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_NOCLIP = 0x100,
                   DT_END_ELLIPSIS = 0x8000;
constexpr uint32_t kDefaultTextFormat = 0x8134;

// Draws `text` in `r` with the pen and font already set on `p`.
void DrawFormattedText(QPainter& p, const QRect& r, const QString& text, uint32_t format);

// A label made to fit its box: on one line in the largest size from the
// font's own down to `minPixel`, else on two lines where the box is high
// enough, else cut with an ellipsis at `minPixel`.
struct FittedText {
  QFont font;
  QString text;       // as drawn
  bool wrap = false;  // on two lines
};
FittedText FitText(const QFont& font, const QString& text, QSize box, int minPixel);
// Draws a fitted label centred vertically in `r` (`flags`: DT_CENTER or 0).
void DrawFittedText(QPainter& p, const QRect& r, const QString& text, uint32_t flags,
                    int minPixel);

// Draws `picture` at `at` as drawImage does, all of it on this thread. Qt
// splits a copy of many rows across its own painting threads and waits for
// them; at start-up, with every core busy, that wait is longer than the copy
// itself. Drawn in bands of rows, each band is copied here.
void DrawPictureHere(QPainter& p, QPoint at, const QImage& picture);

}  // namespace tolvane::ui
