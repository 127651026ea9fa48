#include "ui/dev_dlg.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/paint_util.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

int FirstTileX(int pageWidth, int n, int tileWidth) {
  if (n <= 0) return 0;
  return (pageWidth - (n - 1) * kTileGap - n * tileWidth) / 2;
}

CDevDlg::CDevDlg(QWidget* parent, const QImage& pageBackground, uint32_t textColor)
    : SkinWidget(parent), bg_(pageBackground), textColor_(textColor) {
  setMouseTracking(true);
  tileNr_ = LoadSkinPicture(QStringLiteral("deviceBG_nr.png"));
  tileOv_ = LoadSkinPicture(QStringLiteral("deviceBG_ov.png"));
}

void CDevDlg::SetDevices(const std::vector<DeviceTile>& devices) {
  tiles_.clear();
  hovered_ = -1;
  if (tileNr_.isNull()) {  // without the tile picture there are no tiles
    update();
    return;
  }
  const int n = std::min<int>(int(devices.size()), kMaxTiles);
  const int w = tileNr_.width(), h = tileNr_.height();
  int x = FirstTileX(width(), n, w);
  for (int i = 0; i < n; ++i) {
    Tile t;
    t.dev = devices[size_t(i)];
    t.picture = QImage(QString::fromStdString(t.dev.picturePath));
    t.rect = QRect(x, kTileY, w, h);
    x += w + kTileGap;
    tiles_.push_back(t);
  }
  update();
}

void CDevDlg::ClearSelection() {
  hovered_ = -1;
  update();
}

int CDevDlg::TileAt(QPoint pos) const {
  for (int i = 0; i < tiles_.size(); ++i)
    if (tiles_[i].rect.contains(pos)) return i;
  return -1;
}

void CDevDlg::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(rect(), bg_);
  p.setPen(ColorFromRef(textColor_));
  p.setFont(SharedFontOr(DialogFont(24, 700)));
  DrawFormattedText(p, QRect(100, 65, width() - 200, 28), title_,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  p.setFont(SharedFontOr(DialogFont(16, 500)));
  for (int i = 0; i < tiles_.size(); ++i) {
    const Tile& t = tiles_[i];
    const QImage& back = (i == hovered_ && !tileOv_.isNull()) ? tileOv_ : tileNr_;
    p.drawImage(t.rect.topLeft(), back);
    if (!t.picture.isNull()) {
      QImage pic = t.picture;
      if (pic.width() > t.rect.width() || pic.height() > t.rect.height() - 26)
        pic = pic.scaled(t.rect.width(), t.rect.height() - 26, Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
      p.drawImage(t.rect.center() - QPoint(pic.width() / 2, pic.height() / 2 + 13), pic);
    }
    const QRect name(t.rect.left(), t.rect.bottom() - 25, t.rect.width(), 26);
    DrawFormattedText(p, name, QString::fromStdString(t.dev.modelName), 0x8115);
  }
}

void CDevDlg::mouseMoveEvent(QMouseEvent* e) {
  const int h = TileAt(e->position().toPoint());
  if (h != hovered_) {
    hovered_ = h;
    update(QRect(0, kTileY, width(), height() - kTileY));
  }
  e->ignore();  // a drag of the window goes on
}

void CDevDlg::mousePressEvent(QMouseEvent* e) {
  const int i = e->button() == Qt::LeftButton ? TileAt(e->position().toPoint()) : -1;
  if (i < 0) {
    e->ignore();  // the main window moves itself
    return;
  }
  hovered_ = -1;
  update();
  emit deviceChosen(tiles_[i].dev.entry);
}

void CDevDlg::leaveEvent(QEvent*) {
  if (hovered_ >= 0) ClearSelection();
}

}  // namespace tolvane::ui
