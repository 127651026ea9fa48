// Shared pieces of the widget tests: the application object, skin pictures
// made on the spot, a parent that records the controls' messages.
#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui::test {

// A skins folder in a temporary directory; made the kit's skins folder.
class TempSkin {
 public:
  TempSkin();
  ~TempSkin();
  // Writes a picture of the given size filled with `color`.
  void Add(const QString& name, int w, int h, QColor color = QColor(40, 80, 120));
  void AddImage(const QString& name, const QImage& img);
  QString Dir() const { return dir_.path() + "/"; }

 private:
  QTemporaryDir dir_;
};

// Records the messages its children post or send; answers the questions.
class Recorder : public QWidget {
 public:
  struct Msg {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
  };
  std::vector<Msg> msgs;
  intptr_t askReply = 1;
  int asks = 0;
  std::vector<Msg> Of(uint32_t msg) const;

 protected:
  bool event(QEvent* e) override;
};

// Collects the kit's warning boxes while alive.
class Warnings {
 public:
  Warnings();
  ~Warnings();
  std::vector<std::pair<std::string, std::string>> seen;
  int Count(const std::string& text) const;
};

// Delivers everything posted so far (and what that posts in turn).
void Pump();
void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void Click(QWidget* w, QPoint pos);

}  // namespace tolvane::ui::test
