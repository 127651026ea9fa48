#include "ui/msg_dlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ui/factories.h"
#include "ui/key_translate.h"
#include "ui/my_edit.h"
#include "ui/paint_util.h"
#include "ui/png_btn.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

// ---------------------------------------------------------------- CloseSignal

void CloseSignal::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

bool CloseSignal::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool CloseSignal::Wait(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  return cv_.wait(lock, stop, [this] { return set_; });
}

// ---------------------------------------------------------------- helpers

namespace {

std::vector<QDialog*> g_open;

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CenterOver(QWidget* dlg) {
  QWidget* parent = dlg->parentWidget() ? dlg->parentWidget()->window() : nullptr;
  QRect area;
  if (parent)
    area = parent->frameGeometry();
  else if (QScreen* s = QGuiApplication::primaryScreen())
    area = s->availableGeometry();
  if (area.isValid())
    dlg->move(area.center().x() - dlg->width() / 2, area.center().y() - dlg->height() / 2);
}

// atoi: an optional sign and the digits that follow it.
int LeadingNumber(const QString& t) {
  int i = 0, sign = 1;
  long v = 0;
  if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
    sign = t[i++] == QLatin1Char('-') ? -1 : 1;
  for (; i < t.size() && t[i].isDigit() && v < 100000; ++i) v = v * 10 + t[i].digitValue();
  return int(sign * v);
}

}  // namespace

CPngBtn* DialogTextButton(QWidget* parent, const QImage& bg, const QRect& r,
                          const QString& caption) {
  auto* b = new CPngBtn(parent);
  const QImage nr = LoadSkinPicture(QStringLiteral("button2_nr.png"));
  QImage ov = LoadSkinPicture(QStringLiteral("button2_ov.png"));
  QImage dn = LoadSkinPicture(QStringLiteral("button2_dn.png"));
  if (ov.isNull()) ov = nr;
  if (dn.isNull()) dn = ov;
  b->SetImages(nr, ov, dn);
  b->setGeometry(r);
  b->SetBkPicture(CutBackground(bg, r));
  b->SetTextColors(Style().btnTxtNr, Style().btnTxtOv, Style().btnTxtDn);
  b->SetCaption(caption);
  b->SetOwnFont(DialogFont(16, 500));
  return b;
}

CPngBtn* DialogCloseButton(QWidget* parent, const QImage& bg, const QRect& r) {
  auto* b = new CPngBtn();
  if (!NewSmallPngButton(bg, QStringLiteral("exit_ov.png"), parent,
                         QStringLiteral("exit_nr.png"), QStringLiteral("exit_ov.png"), b, false,
                         false, r.left(), r.top(), r.right() + 1, r.bottom() + 1)) {
    delete b;
    return nullptr;
  }
  return b;
}

// ---------------------------------------------------------------- CMsgDlg

CMsgDlg::CMsgDlg(QWidget* parent, int mode, const QString& text, const QString& title)
    : CFramelessDialog(parent), mode_(mode), message_(text) {
  const QString tips = UiText("tc_tips");
  title_ = title.isEmpty() ? tips : title;
  setObjectName(QString::fromLatin1(kMsgWindowName));
  setWindowTitle(QString::fromLatin1(kMsgWindowName));
  setModal(true);
  clock_ = SteadyMs;
}

CMsgDlg::~CMsgDlg() {
  qApp->removeEventFilter(this);
  if (waiter_.joinable()) {
    waiter_.request_stop();
    waiter_.join();
  }
  g_open.erase(std::remove(g_open.begin(), g_open.end(), this), g_open.end());
}

bool CMsgDlg::Build() {
  if (built_) return true;
  bg_ = LoadSkinPicture(QStringLiteral("msg_nr.png"));
  if (bg_.isNull()) return false;
  built_ = true;
  setFixedSize(bg_.size());
  ShapeDialog(this, bg_);
  const int w = bg_.width();
  const bool buttons = closeSignal_ == nullptr;
  close_ = DialogCloseButton(this, bg_, QRect(QPoint(399, 1), QPoint(423, 25)));
  if (close_) {
    connect(close_, &CPngBtn::clicked, this, &QDialog::reject);
    close_->setVisible(buttons);
  }
  if (mode_ >= kText && mode_ <= kCombo) {
    edit_ = new CMyEdit(this);
    edit_->setGeometry((w - 300) / 2, 95, 300, 18);
    if (limit_ > 0) edit_->setMaxLength(limit_);
    if (mode_ == kNumber) edit_->SetNumericMode(0, max_, false);
    if (mode_ == kCombo) edit_->SetReadOnlyMode();
    edit_->setFocus();
  }
  if (mode_ == kCombo && checkBoxes_) {
    static const char* kLabels[4] = {"Shift", "Ctrl", "Alt", "Win"};
    const QImage nr = LoadSkinPicture(QStringLiteral("Check_nr.png"));
    const QImage dn = LoadSkinPicture(QStringLiteral("Check_dn.png"));
    const QSize sz = nr.isNull() ? QSize(16, 16) : nr.size();
    for (int i = 0; i < 4; ++i) {
      auto* c = new CPngBtn(this);
      c->SetImages(nr, nr, dn);
      c->SetToggle(true);
      c->SetFlipOnClick(true);
      const QRect r(QPoint((w - 300) / 2 + i * 75, 68), sz);
      c->setGeometry(r);
      c->SetBkPicture(CutBackground(bg_, r));
      c->setAccessibleName(QString::fromLatin1(kLabels[i]));
      checks_[i] = c;
    }
  }
  capture_ = ComboCapture(mode_ == kCombo && checkBoxes_);
  if (buttons) {
    const int y = mode_ == kCombo ? 120 : 100;
    if (mode_ == kConfirm) {
      const int x = (w - 170) / 2;
      ok_ = DialogTextButton(this, bg_, QRect(x, y, 80, 27), UiText("tc_ok"));
      cancel_ = DialogTextButton(this, bg_, QRect(x + 90, y, 80, 27), UiText("tc_cancel"));
      connect(cancel_, &CPngBtn::clicked, this, &QDialog::reject);
    } else {
      ok_ = DialogTextButton(this, bg_, QRect((w - 80) / 2, y, 80, 27), UiText("tc_ok"));
    }
    connect(ok_, &CPngBtn::clicked, this, [this] { TryOk(); });
  }
  return true;
}

void CMsgDlg::CenterOverParent() { CenterOver(this); }

int CMsgDlg::exec() {
  if (!Build()) return 0;  // without its picture the dialog closes at once
  CenterOverParent();
  g_open.push_back(this);
  if (mode_ == kCombo) qApp->installEventFilter(this);
  if (closeSignal_) {
    CloseSignal* sig = closeSignal_;
    waiter_ = std::jthread([this, sig](std::stop_token stop) {
      if (sig->Wait(stop)) PostUiMessage(this, WM_MSGDLG_CLOSE, 0, 0);
    });
  }
  const int r = QDialog::exec();
  qApp->removeEventFilter(this);
  if (waiter_.joinable()) {
    waiter_.request_stop();
    waiter_.join();
  }
  g_open.erase(std::remove(g_open.begin(), g_open.end(), this), g_open.end());
  return r == 1 ? 1 : 0;
}

bool CMsgDlg::TryOk() {
  switch (mode_) {
    case kText:
      text_ = edit_ ? edit_->text() : QString();
      done(text_.isEmpty() ? 0 : 1);  // an empty text counts as Cancel
      return true;
    case kNumber: {
      int v = 0;
      if (!edit_ || edit_->ReadNumber(&v) != 1 || v < min_ || v > max_) return false;
      number_ = v;
      done(1);
      return true;
    }
    case kCombo: {
      KeyCombo c = capture_.Combo();
      if (checkBoxes_) {
        static const uint8_t kBits[4] = {0x02, 0x01, 0x04, 0x08};  // Shift, Ctrl, Alt, Win
        c.bModifiers = 0;
        for (int i = 0; i < 4; ++i)
          if (checks_[i] && checks_[i]->GetCheck()) c.bModifiers |= kBits[i];
        if (ComboCapture::Members(c) > 3) {
          ShowMessage(this, UiText("tc_msg29"));
          return false;
        }
      }
      combo_ = c;
      done(1);
      return true;
    }
    default:
      done(1);
      return true;
  }
}

QString CMsgDlg::ComboText() const { return edit_ ? edit_->text() : QString(); }

void CMsgDlg::ComboKey(const QKeyEvent& e) {
  if (e.isAutoRepeat()) return;
  const uint8_t vk = SidedVk(TranslateKey(e));
  if (capture_.OnKey(vk, e.type() == QEvent::KeyRelease, clock_()) && edit_)
    edit_->setText(ComboCapture::Label(capture_.Combo()));
}

void CMsgDlg::CloseAll() {
  const std::vector<QDialog*> open = g_open;
  for (QDialog* d : open) d->reject();
}

bool CMsgDlg::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type() &&
      static_cast<UiMessageEvent*>(e)->msg == WM_MSGDLG_CLOSE) {
    e->accept();
    done(1);
    return true;
  }
  return QDialog::event(e);
}

bool CMsgDlg::eventFilter(QObject* o, QEvent* e) {
  const QEvent::Type t = e->type();
  if (mode_ == kCombo && isVisible() && (t == QEvent::KeyPress || t == QEvent::KeyRelease)) {
    // A key for this dialog (or before it reaches one of its children).
    QWidget* w = qobject_cast<QWidget*>(o);
    if (!w || w->window() == this || o->isWindowType()) {
      ComboKey(*static_cast<QKeyEvent*>(e));
      return true;
    }
  }
  if (mode_ == kCombo && t == QEvent::ShortcutOverride) {
    e->accept();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

void CMsgDlg::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      TryOk();
      return;
    case Qt::Key_Escape:
    case Qt::Key_Space:
    case Qt::Key_F1:
      e->accept();
      return;
    default:
      QDialog::keyPressEvent(e);
  }
}

void CMsgDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, bg_);
  const int w = width();
  p.setPen(ColorFromRef(Style().btnTxtNr));
  p.setFont(DialogFont(18, 600));
  DrawFormattedText(p, QRect(10, 1, w - 50, 26), title_, kDefaultTextFormat);
  p.setFont(DialogFont(16, 400));
  if (edit_)
    DrawFormattedText(p, QRect((w - 300) / 2, 41, 300, 20), message_, 0x8114);
  else
    DrawFormattedText(p, QRect(10, 64, w - 20, 20), message_, 0x8115);
  for (CPngBtn* c : checks_) {
    if (!c) continue;
    const QRect r = c->geometry();
    DrawFormattedText(p, QRect(r.right() + 1 + 5, r.top(), 60, r.height()),
                      c->accessibleName(), DT_SINGLELINE | DT_VCENTER);
  }
}

int ShowMessage(QWidget* parent, const QString& text, CloseSignal* closeSignal) {
  CMsgDlg dlg(parent, CMsgDlg::kMessage, text);
  dlg.SetCloseSignal(closeSignal);
  return dlg.exec();
}

// ---------------------------------------------------------------- CMoveDlg

CMoveDlg::CMoveDlg(QWidget* parent) : CFramelessDialog(parent) {
  setObjectName(QString::fromLatin1(kMsgWindowName));
  setWindowTitle(QString::fromLatin1(kMsgWindowName));
  setModal(true);
  Build();
}

QString CMoveDlg::CleanMoveText(const QString& text) {
  int cut = 0;
  while (cut < text.size()) {
    const QChar c = text[cut];
    if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
          c == QLatin1Char('+')))
      break;
    ++cut;
  }
  const QString t = text.left(cut);
  static const QRegularExpression kNumber(QStringLiteral("^([+-]?)0*(\\d+)$"));
  const QRegularExpressionMatch m = kNumber.match(t);
  if (m.hasMatch()) {
    const QString digits = m.captured(2);
    if (digits.size() > 3 || digits.toInt() > 127)
      return m.captured(1) == QLatin1String("-") ? QStringLiteral("-127") : QStringLiteral("127");
  }
  return t;
}

bool CMoveDlg::Build() {
  bg_ = LoadSkinPicture(QStringLiteral("msg_nr.png"));
  if (bg_.isNull()) return false;
  built_ = true;
  setFixedSize(bg_.size());
  ShapeDialog(this, bg_);
  close_ = DialogCloseButton(this, bg_, QRect(QPoint(399, 10), QPoint(423, 34)));
  if (close_) connect(close_, &CPngBtn::clicked, this, &QDialog::reject);
  ok_ = DialogTextButton(this, bg_, QRect(136, 110, 80, 27), UiText("tc_ok"));
  cancel_ = DialogTextButton(this, bg_, QRect(242, 110, 80, 27), UiText("tc_cancel"));
  connect(ok_, &CPngBtn::clicked, this, &CMoveDlg::Ok);
  connect(cancel_, &CPngBtn::clicked, this, &QDialog::reject);
  editX_ = new CMyEdit(this);
  editX_->setGeometry(135, 70, 80, 20);
  editY_ = new CMyEdit(this);
  editY_->setGeometry(242, 70, 80, 20);
  for (CMyEdit* e : {editX_, editY_}) {
    connect(e, &QLineEdit::textChanged, this, [e](const QString& t) {
      const QString clean = CleanMoveText(t);
      if (clean != t) e->setText(clean);
    });
  }
  editX_->setFocus();
  return true;
}

int CMoveDlg::exec() {
  if (!built_) return 0;
  CenterOver(this);
  g_open.push_back(this);
  const int r = QDialog::exec();
  g_open.erase(std::remove(g_open.begin(), g_open.end(), this), g_open.end());
  return r == 1 ? 1 : 0;
}

void CMoveDlg::Ok() {
  x_ = std::clamp(LeadingNumber(editX_ ? editX_->text() : QString()), -127, 127);
  y_ = std::clamp(LeadingNumber(editY_ ? editY_->text() : QString()), -127, 127);
  accepted_ = true;
  done(1);
}

void CMoveDlg::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Ok();
      return;
    case Qt::Key_Escape:
    case Qt::Key_F1:
      e->accept();
      return;
    default:
      QDialog::keyPressEvent(e);
  }
}

void CMoveDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, bg_);
  p.setPen(ColorFromRef(Style().btnTxtNr));
  p.setFont(DialogFont(16, 500));
  DrawFormattedText(p, QRect(115, 70, 18, 20), QStringLiteral("X"), DT_SINGLELINE | DT_VCENTER);
  DrawFormattedText(p, QRect(222, 70, 18, 20), QStringLiteral("Y"), DT_SINGLELINE | DT_VCENTER);
}

}  // namespace tolvane::ui
