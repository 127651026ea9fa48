#include "ui/tree_ctrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

#include "ui/paint_util.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent, uint16_t ctrlId) : SkinWidget(parent), id_(ctrlId) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
}

void CTreeCtrlEx::SetRows(std::vector<TreeRow> rows) {
  rows_ = std::move(rows);
  if (RowOf(selected_) < 0) selected_ = 0;
  hovered_ = -1;
  scroll_ = std::clamp(scroll_, 0, MaxScroll());
  update();
}

void CTreeCtrlEx::SetSelected(uint32_t item) {
  const int row = RowOf(item);
  selected_ = row >= 0 ? item : 0;
  if (row >= 0) ScrollTo(row);
  update();
}

void CTreeCtrlEx::SetColors(uint32_t fill, uint32_t text, uint32_t selection, uint32_t frame) {
  fill_ = fill;
  text_ = text;
  selection_ = selection;
  frame_ = frame;
  update();
}

void CTreeCtrlEx::SetFolderPictures(const QImage& open, const QImage& closed) {
  open_ = open;
  closed_ = closed;
  update();
}

int CTreeCtrlEx::RowAt(QPoint pos) const {
  if (pos.y() < 0 || pos.x() < 0 || pos.x() >= width()) return -1;
  const int row = scroll_ + pos.y() / itemH_;
  return row < int(rows_.size()) ? row : -1;
}

QRect CTreeCtrlEx::RowRect(int row) const {
  return QRect(0, (row - scroll_) * itemH_, width(), itemH_);
}

int CTreeCtrlEx::RowOf(uint32_t item) const {
  if (item == 0) return -1;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].item == item) return int(i);
  return -1;
}

int CTreeCtrlEx::MaxScroll() const {
  const int shown = std::max(1, height() / itemH_);
  return std::max(0, int(rows_.size()) - shown);
}

void CTreeCtrlEx::ScrollTo(int row) {
  const int shown = std::max(1, height() / itemH_);
  if (row < scroll_) scroll_ = row;
  else if (row >= scroll_ + shown) scroll_ = row - shown + 1;
  scroll_ = std::clamp(scroll_, 0, MaxScroll());
}

void CTreeCtrlEx::Notify(uint32_t msg, uint32_t item) {
  PostUiMessage(parentWidget(), msg, id_, intptr_t(item));
}

void CTreeCtrlEx::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(fill_));
  else p.drawImage(rect(), bg_);
  p.setFont(SharedFontOr(DialogFont(16, 400)));
  for (int row = scroll_; row < int(rows_.size()); ++row) {
    const QRect r = RowRect(row);
    if (r.top() >= height()) break;
    const TreeRow& t = rows_[size_t(row)];
    if (t.item == selected_) p.fillRect(r.adjusted(2, 2, -2, -2), ColorFromRef(selection_));
    int x = 6 + t.depth * kIndent;
    const QImage& icon = t.folder ? (t.expanded ? open_ : closed_) : t.icon;
    const QImage& shown = (t.folder && !t.icon.isNull()) ? t.icon : icon;
    if (!shown.isNull()) {
      const int h = std::min(shown.height(), itemH_ - 4);
      const int w = shown.height() > 0 ? shown.width() * h / shown.height() : 0;
      p.drawImage(QRect(x, r.top() + (itemH_ - h) / 2, w, h), shown);
      x += w + 6;
    }
    p.setPen(ColorFromRef(text_));
    DrawFormattedText(p, QRect(x, r.top(), r.right() - x - 4, itemH_), t.text,
                      DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    if (row == hovered_ && inputEnabled_) PaintHovered(p, r);
  }
  if (frame_ != 0) {
    p.setPen(ColorFromRef(frame_));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CTreeCtrlEx::mousePressEvent(QMouseEvent* e) {
  e->accept();
  if (!inputEnabled_ || e->button() != Qt::LeftButton) return;
  const int row = RowAt(e->position().toPoint());
  const uint32_t before = selected_;
  if (row < 0) {
    selected_ = 0;
  } else {
    setFocus();
    const TreeRow& t = rows_[size_t(row)];
    selected_ = t.item;
    const int expander = 6 + t.depth * kIndent;
    if (t.folder && e->position().x() < expander + kIndent) emit folderToggled(t.item);
  }
  update();
  if (selected_ != before || row < 0) Notify(WM_TREE_CLICK, selected_);
  if (row >= 0) PressedOnRow(row, e->position().toPoint());
}

void CTreeCtrlEx::mouseReleaseEvent(QMouseEvent* e) {
  e->accept();
  if (!inputEnabled_ || e->button() != Qt::RightButton) return;
  const int row = RowAt(e->position().toPoint());
  selected_ = row >= 0 ? rows_[size_t(row)].item : 0;
  update();
  Notify(WM_TREE_RCLICK, selected_);
}

void CTreeCtrlEx::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
  if (!inputEnabled_ || e->button() != Qt::LeftButton) return;
  const int row = RowAt(e->position().toPoint());
  if (row < 0) return;
  const TreeRow& t = rows_[size_t(row)];
  if (t.folder) emit folderToggled(t.item);
  Notify(WM_TREE_DBLCLK, t.item);
}

void CTreeCtrlEx::mouseMoveEvent(QMouseEvent* e) {
  const int row = RowAt(e->position().toPoint());
  if (row != hovered_) {
    hovered_ = row;
    update();
  }
}

void CTreeCtrlEx::leaveEvent(QEvent*) {
  hovered_ = -1;
  update();
}

void CTreeCtrlEx::wheelEvent(QWheelEvent* e) {
  const int steps = e->angleDelta().y() / 120;
  scroll_ = std::clamp(scroll_ - steps, 0, MaxScroll());
  update();
  e->accept();
}

void CTreeCtrlEx::keyPressEvent(QKeyEvent* e) { e->accept(); }
void CTreeCtrlEx::keyReleaseEvent(QKeyEvent* e) { e->accept(); }

CTreeCtrlExRk::CTreeCtrlExRk(QWidget* parent, uint16_t ctrlId) : CTreeCtrlEx(parent, ctrlId) {
  del_ = LoadSkinPicture(QStringLiteral("mac_del.png"));
  modify_ = LoadSkinPicture(QStringLiteral("mac_modify.png"));
}

QRect CTreeCtrlExRk::DeleteRect(int row) const {
  const QRect r = RowRect(row);
  const QSize s = del_.isNull() ? QSize(16, 16) : del_.size();
  return QRect(r.right() - 6 - s.width(), r.top() + (r.height() - s.height()) / 2, s.width(),
               s.height());
}

QRect CTreeCtrlExRk::ModifyRect(int row) const {
  const QRect d = DeleteRect(row);
  const QSize s = modify_.isNull() ? QSize(16, 16) : modify_.size();
  return QRect(d.left() - 6 - s.width(), RowRect(row).top() + (RowRect(row).height() - s.height()) / 2,
               s.width(), s.height());
}

void CTreeCtrlExRk::PaintHovered(QPainter& p, const QRect& r) {
  const int row = Hovered();
  if (!del_.isNull()) p.drawImage(DeleteRect(row).topLeft(), del_);
  if (!modify_.isNull()) p.drawImage(ModifyRect(row).topLeft(), modify_);
  (void)r;
}

void CTreeCtrlExRk::PressedOnRow(int row, QPoint pos) {
  const uint32_t item = Rows()[size_t(row)].item;
  if (DeleteRect(row).contains(pos)) Notify(WM_TREE_DELETE, item);
  else if (ModifyRect(row).contains(pos)) Notify(WM_TREE_MODIFY, item);
}

}  // namespace tolvane::ui
