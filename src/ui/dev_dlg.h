// The device list page CDevDlg: one tile per device, at most four, in a
// centred row. A click on a tile chooses the device; a click elsewhere is left
// to the main window (which moves itself).
#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

#include <vector>

#include "ui/skin_widget.h"
#include "ui/window_backend.h"

namespace tolvane::ui {

// x of the first tile: the row of `n` tiles centred with a 30-pixel gap.
int FirstTileX(int pageWidth, int n, int tileWidth);
constexpr int kTileGap = 30, kTileY = 132, kMaxTiles = 4;

class CDevDlg : public SkinWidget {
  Q_OBJECT
 public:
  CDevDlg(QWidget* parent, const QImage& pageBackground, uint32_t textColor);
  // New tiles (at most four are kept); the pictures are loaded here.
  void SetDevices(const std::vector<DeviceTile>& devices);
  void SetTitle(const QString& title) { title_ = title; update(); }
  // Forgets the hovered tile (the page is opened again).
  void ClearSelection();
  int TileCount() const { return int(tiles_.size()); }
  QRect TileRect(int i) const { return tiles_[i].rect; }
  int TileEntry(int i) const { return tiles_[i].dev.entry; }
  int Hovered() const { return hovered_; }
  // Index of the tile at `pos`, -1 none.
  int TileAt(QPoint pos) const;

 signals:
  void deviceChosen(int entry);

 protected:
  void PaintBuffer(QPainter& p) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  struct Tile {
    DeviceTile dev;
    QImage picture;
    QRect rect;
  };
  QImage bg_, tileNr_, tileOv_;
  uint32_t textColor_;
  QString title_;
  QVector<Tile> tiles_;
  int hovered_ = -1;
};

}  // namespace tolvane::ui
