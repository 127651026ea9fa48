// The base of the skinned popup dialogs: a frameless dialog window that the
// user moves by dragging it anywhere with the left button.
#pragma once

#include <QDialog>
#include <QPoint>

namespace tolvane::ui {

class CFramelessDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CFramelessDialog(QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  QPoint dragFrom_;
};

}  // namespace tolvane::ui
