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

namespace {

constexpr int kNameHeight = 26;  // the model's name along a tile's bottom

// The model's mouse.png from its skin sub-folder (shared, as every skin
// picture, while the file is unchanged), fitted once into the room above the
// tile's name rather than at every paint. A null image when there is none.
QImage TilePicture(const std::string& skinFolder, QSize room) {
  if (skinFolder.empty()) return QImage();
  QImage pic = LoadSkinPicture(QString::fromStdString(skinFolder) + QStringLiteral("/mouse.png"));
  if (!pic.isNull() && (pic.width() > room.width() || pic.height() > room.height()))
    pic = pic.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return pic;
}

}  // namespace

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
    t.picture = TilePicture(t.dev.skinFolder, QSize(w, h - kNameHeight));
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
    if (!t.picture.isNull())
      p.drawImage(t.rect.center() -
                      QPoint(t.picture.width() / 2, t.picture.height() / 2 + kNameHeight / 2),
                  t.picture);
    const QRect name(t.rect.left(), t.rect.bottom() - kNameHeight + 1, t.rect.width(), kNameHeight);
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
