// The hot-spot over one button of the model picture: the assignment's icon
// and name, laid out for the spot's size. Spots are as small as the button
// they cover (a side button is about 20 pixels wide), so the name goes beside
// the icon where the spot is wide, under it where the spot is tall, in a
// smaller font where that makes it fit, and is left out (the icon alone)
// where no readable part of it fits. A name that does not show whole is the
// spot's tool tip.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "ui/png_btn.h"

namespace tolvane::ui {

struct HotSpotLabel {
  QPoint icon;        // top-left of the icon (when there is one)
  QRect text;         // the name's box; empty when the name is left out
  QFont font;         // the font the name fits in (or the smallest tried)
  QString shown;      // the name as drawn, elided when it does not fit
  bool whole = true;  // the whole name shows
};

// Lays out `name` and an icon of `icon` size (empty: none) in a spot of
// `spot` size, starting from `font` and shrinking it to 5/8 of its size
// (not below 9 pixels).
HotSpotLabel LayOutHotSpot(QSize spot, QSize icon, const QString& name, const QFont& font);

class CHotSpotBtn : public CPngBtn {
  Q_OBJECT
 public:
  explicit CHotSpotBtn(QWidget* parent = nullptr) : CPngBtn(parent) {}
  // The assignment's name (the caption) and icon; the tool tip carries the
  // name when `tips` is on or the name does not show whole.
  void ShowAssignment(const QString& name, const QImage& icon, bool tips);
  void SetLabelFont(const QFont& font);
  const HotSpotLabel& Label() const { return label_; }

 protected:
  bool DrawsIcon() const override { return false; }
  void PaintCaption(QPainter& p, uint32_t color, bool shift) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void LayOut();

  QImage icon_;
  QFont font_;
  bool tips_ = false;
  HotSpotLabel label_;
};

}  // namespace tolvane::ui
