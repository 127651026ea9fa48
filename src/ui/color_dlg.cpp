#include "ui/color_dlg.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

#include "ui/ui_style.h"

namespace tolvane::ui {

std::optional<uint32_t> DialogChooser::ChooseColor(QWidget* parent, uint32_t initial) {
  const QColor c = QColorDialog::getColor(ColorFromRef(initial), parent);
  if (!c.isValid()) return std::nullopt;
  return RefFromColor(c);
}

CColorDlg::CColorDlg(QWidget* parent, int index) : SkinWidget(parent), index_(index) {}

bool CColorDlg::Pick() {
  if (!chooser_) return false;
  // The dialog runs its own loop: the swatch may be asked again meanwhile,
  // so the colour is judged only once it is final.
  const std::optional<uint32_t> c = chooser_->ChooseColor(this, color_);
  if (!c) return false;
  const uint32_t chosen = *c & 0xFFFFFF;
  if (accept_ && !accept_(chosen)) return false;
  SetColor(chosen);
  return true;
}

void CColorDlg::PaintBuffer(QPainter& p) {
  p.fillRect(rect(), Qt::transparent);
  p.fillRect(rect().adjusted(2, 2, -2, -2), ColorFromRef(color_));
  if (selected_) {
    p.setPen(QColor(255, 255, 255));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CColorDlg::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint())) return;
  SetSelected(true);
  emit clicked(index_);
  Pick();
}

}  // namespace tolvane::ui
