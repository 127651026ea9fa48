#include "ui/paint_util.h"

#include <QFontMetrics>

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

}  // namespace tolvane::ui
