#include "ui/frameless_dialog.h"

#include <QMouseEvent>

namespace tolvane::ui {

CFramelessDialog::CFramelessDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {}

void CFramelessDialog::mousePressEvent(QMouseEvent* e) {
  dragFrom_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CFramelessDialog::mouseMoveEvent(QMouseEvent* e) {
  if (e->buttons() & Qt::LeftButton) move(e->globalPosition().toPoint() - dragFrom_);
}

}  // namespace tolvane::ui
