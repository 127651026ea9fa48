#include "ui_test_util.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace tolvane::ui::test {

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

TempSkin::TempSkin() { SetSkinDir(dir_.path().toStdString()); }
TempSkin::~TempSkin() { SetSkinDir(""); }

void TempSkin::Add(const QString& name, int w, int h, QColor color) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(color);
  AddImage(name, img);
}

void TempSkin::AddImage(const QString& name, const QImage& img) {
  ASSERT_TRUE(img.save(dir_.path() + "/" + name, "PNG")) << name.toStdString();
}

std::vector<Recorder::Msg> Recorder::Of(uint32_t msg) const {
  std::vector<Msg> out;
  for (const Msg& m : msgs)
    if (m.msg == msg) out.push_back(m);
  return out;
}

bool Recorder::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    msgs.push_back({m->msg, m->wParam, m->lParam});
    if (m->msg == WM_SLIDER_ASK || m->msg == WM_XYSLIDER_ASK) {
      ++asks;
      m->setResult(askReply);
    }
    m->accept();
    return true;
  }
  return QWidget::event(e);
}

Warnings::Warnings() {
  SetWarningHandler([this](const std::string& title, const std::string& text) {
    seen.emplace_back(title, text);
  });
}
Warnings::~Warnings() { SetWarningHandler(WarningHandler()); }

int Warnings::Count(const std::string& text) const {
  int n = 0;
  for (const auto& w : seen) n += w.second == text;
  return n;
}

void Pump() {
  for (int i = 0; i < 4; ++i) QCoreApplication::sendPostedEvents();
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
  const QPointF local(pos);
  const QPointF global = QPointF(w->mapToGlobal(pos));
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent ev(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button,
                 buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &ev);
}

void Click(QWidget* w, QPoint pos) {
  Mouse(w, QEvent::MouseButtonPress, pos);
  Mouse(w, QEvent::MouseButtonRelease, pos);
}

}  // namespace tolvane::ui::test
