#include "ui/status_dlgs.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>

#include "app/log.h"
#include "ui/factories.h"
#include "ui/msg_dlg.h"
#include "ui/paint_util.h"
#include "ui/picture_cache.h"
#include "ui/png_btn.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"
#include "app/event_sink.h"

namespace tolvane::ui {

namespace {

bool SwallowedKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
         key == Qt::Key_Space || key == Qt::Key_F1;
}

struct Animation {
  QString path;
  std::optional<PictureSource> source;
  QVector<QImage> frames;
  QVector<int> delays;
};

// The frames of the animation at `path`, decoded once while the file stays
// as it is: the wait animation opens at every read, and decoding its frames
// took 1.3 to 3 ms of the window's thread each time. Later dialogs share the
// pixels. Window's thread only.
const Animation& DecodedAnimation(const QString& path) {
  static Animation last;
  const std::optional<PictureSource> source = SourceOf(path);
  if (source && last.path == path && last.source == source) return last;
  last = Animation{path, source, {}, {}};
  QImageReader reader(path);
  while (reader.canRead()) {
    const QImage frame = reader.read();
    if (frame.isNull()) break;
    last.frames.push_back(frame);
    last.delays.push_back(FrameDelayMs(reader.nextImageDelay()));
  }
  return last;
}

}  // namespace

// ---------------------------------------------------------------- CPowerDlg

CPowerDlg::CPowerDlg(QWidget* parent, const QImage& backgroundCut, uint32_t textColor)
    : SkinWidget(parent), bg_(backgroundCut), textColor_(textColor) {
  resize(kWidth, kHeight);
  for (int l = 10; l <= 100; l += 10)
    levels_[l / 10] = LoadSkinPicture(QStringLiteral("power%1.png").arg(l));
  charging_ = LoadSkinPicture(QStringLiteral("power_charging.png"));
  timer_.setInterval(ChargeAnimation::kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    anim_.Tick();
    update();
  });
}

void CPowerDlg::SetPower(int level, bool charging) {
  anim_.Set(level, charging);
  if (anim_.Running()) {
    if (!timer_.isActive()) timer_.start();
  } else {
    timer_.stop();
  }
  update();
}

void CPowerDlg::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x0F0F0F));
  else p.drawImage(rect(), bg_);
  const int shown = anim_.Charging() ? BatteryPictureLevel(anim_.Frame()) : PictureLevel();
  const QImage& pic = levels_[shown / 10];
  if (!pic.isNull()) p.drawImage(QPoint(0, (height() - pic.height()) / 2), pic);
  if (anim_.Charging() && !charging_.isNull())
    p.drawImage(QPoint(0, (height() - charging_.height()) / 2), charging_);
  if (anim_.ShowsPercent()) {
    p.setPen(ColorFromRef(textColor_));
    p.setFont(SharedFontOr(DialogFont(16, 500)));
    DrawFormattedText(p, QRect(157, 10, 40, 20), QStringLiteral("%1%").arg(anim_.Level()),
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (Style().uiDebug) {
    p.setPen(Qt::red);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

// ---------------------------------------------------------------- CProgressDlg

CProgressDlg::CProgressDlg(QWidget* parent, const QString& background, const QString& fill)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QString::fromLatin1(kWindowName));
  setWindowTitle(QString::fromLatin1(kWindowName));
  bg_ = LoadSkinPicture(background);
  fill_ = LoadSkinPicture(fill);
  if (bg_.isNull() || fill_.isNull()) {
    ShowWarning("Tolvane", "ProgressDlg skin loss");
    return;
  }
  ready_ = true;
  resize(bg_.size());
  close_ = new CPngBtn(this);
  const int w = bg_.width();
  if (NewSmallPngButton(bg_, QStringLiteral("exit_nr.png"), this, QStringLiteral("exit_nr.png"),
                        QStringLiteral("exit_ov.png"), close_, false, false, w - 58, 0, w - 48,
                        30)) {
    connect(close_, &CPngBtn::clicked, this, [this] { done(0); });
  } else {
    delete close_;
    close_ = nullptr;
  }
}

void CProgressDlg::SetPos(int pos) {
  pos_ = ClampProgress(pos, min_, max_);
  repaint();
}

bool CProgressDlg::Start() {
  if (!ready_) return false;
  if (QWidget* p = parentWidget()) {
    const QRect pr = p->frameGeometry();
    move(pr.center() - QPoint(width() / 2, height() / 2));
  }
  setWindowModality(Qt::WindowModal);
  show();
  return true;
}

bool CProgressDlg::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_PROGRESS) {
      SetPos(int(intptr_t(m->wParam)));
      m->accept();
      return true;
    }
  }
  return QDialog::event(e);
}

void CProgressDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(rect(), bg_);
  const int right = ProgressFillRight(pos_, min_, max_, barLeft_, barRight_);
  if (right > 0) p.drawImage(QRect(0, 0, right, height()), fill_, QRect(0, 0, right, height()));
  p.setPen(Qt::white);
  p.setFont(SharedFontOr(DialogFont(16, 500)));
  DrawFormattedText(p, textRect_, text_, kDefaultTextFormat);
}

void CProgressDlg::keyPressEvent(QKeyEvent* e) {
  if (SwallowedKey(e->key())) return;
  QDialog::keyPressEvent(e);
}

// ---------------------------------------------------------------- CPlayGIFDlg

CPlayGIFDlg::CPlayGIFDlg(QWidget* parent, const QString& gifPath)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QString::fromLatin1(kMsgWindowName));
  setWindowTitle(QString::fromLatin1(kMsgWindowName));
  const Animation& animation = DecodedAnimation(gifPath);
  frames_ = animation.frames;
  delays_ = animation.delays;
  if (frames_.isEmpty()) LogPrint("CPlayGIFDlg: no frames in %s", qPrintable(gifPath));
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CPlayGIFDlg::NextFrame);
}

void CPlayGIFDlg::Place(const QRect& box, const QImage& parentBackground) {
  const int side = std::min(box.width(), box.height());
  const QRect r(box.center().x() - side / 2 + 1, box.center().y() - side / 2 + 1, side, side);
  cut_ = CutBackground(parentBackground, r);
  resize(side, side);
  if (QWidget* p = parentWidget()) move(p->mapToGlobal(r.topLeft()));
}

int CPlayGIFDlg::CurrentDelayMs() const {
  return delays_.isEmpty() ? 0 : delays_[current_];
}

void CPlayGIFDlg::Start() {
  setWindowModality(Qt::WindowModal);
  show();
  if (!frames_.isEmpty()) timer_.start(CurrentDelayMs());
}

void CPlayGIFDlg::NextFrame() {
  if (frames_.isEmpty()) return;
  current_ = (current_ + 1) % int(frames_.size());
  update();
  timer_.start(CurrentDelayMs());
}

void CPlayGIFDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!cut_.isNull()) p.drawImage(rect(), cut_);
  else p.fillRect(rect(), ColorFromRef(0x0F0F0F));
  if (!frames_.isEmpty()) p.drawImage(rect(), frames_[current_]);
}

void CPlayGIFDlg::keyPressEvent(QKeyEvent* e) {
  if (SwallowedKey(e->key())) return;
  QDialog::keyPressEvent(e);
}

}  // namespace tolvane::ui
