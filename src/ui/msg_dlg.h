// The skinned message dialog CMsgDlg (messages, prompts, key combinations,
// confirmations) and the cursor-move dialog CMoveDlg.
#pragma once

#include <QImage>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "records/key_info.h"
#include "ui/combo_capture.h"
#include "ui/frameless_dialog.h"

namespace tolvane::ui {

class CPngBtn;
class CMyEdit;

// An event another thread signals to close a waiting dialog.
class CloseSignal {
 public:
  void Set();
  bool IsSet() const;
  // Waits until set (true) or until a stop is requested (false).
  bool Wait(std::stop_token stop);

 private:
  mutable std::mutex mutex_;
  std::condition_variable_any cv_;
  bool set_ = false;
};

inline const char* kMsgWindowName = "TolvaneMsgTopWindow";

class CMsgDlg : public CFramelessDialog {
  Q_OBJECT
 public:
  enum Mode { kMessage = 1, kText = 2, kNumber = 3, kCombo = 4, kConfirm = 5 };

  CMsgDlg(QWidget* parent, int mode, const QString& text, const QString& title = QString());
  ~CMsgDlg() override;

  // A dialog closed by `signal` instead of by the user: no buttons; a
  // waiting thread posts WM_MSGDLG_CLOSE when the signal is set.
  void SetCloseSignal(CloseSignal* signal) { closeSignal_ = signal; }
  void SetTextLimit(int limit) { limit_ = limit; }
  void SetRange(int minimum, int maximum) { min_ = minimum; max_ = maximum; }
  void SetShowCheckBoxes(bool on) { checkBoxes_ = on; }
  // Time source of the one-second rule (milliseconds, monotonic).
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

  // Modal run; 1 for OK, 0 for Cancel or the close button (0 at once when
  // "msg_nr.png" is missing).
  int exec() override;

  QString Text() const { return text_; }
  int Number() const { return number_; }
  KeyCombo Combo() const { return combo_; }

  // OK as the button does; false when the dialog stays open.
  bool TryOk();
  // Builds the dialog without showing it (previews); false without its picture.
  bool Prepare() { return Build(); }
  // What the combination edit shows.
  QString ComboText() const;
  CPngBtn* OkButton() const { return ok_; }
  CPngBtn* CancelButton() const { return cancel_; }
  CPngBtn* CheckBox(int i) const { return (i >= 0 && i < 4) ? checks_[i] : nullptr; }
  CMyEdit* Edit() const { return edit_; }
  // Feeds a key event to the combination capture (mode 4).
  void ComboKey(const QKeyEvent& e);

  // Closes every open message or cursor-move dialog (the main window's exit).
  static void CloseAll();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  bool Build();
  void CenterOverParent();

  int mode_;
  QString title_, message_;
  CloseSignal* closeSignal_ = nullptr;
  std::jthread waiter_;
  int limit_ = 0, min_ = 0, max_ = 0;
  bool checkBoxes_ = false;
  std::function<int64_t()> clock_;
  QImage bg_;
  CPngBtn* ok_ = nullptr;
  CPngBtn* cancel_ = nullptr;
  CPngBtn* close_ = nullptr;
  CPngBtn* checks_[4] = {};
  CMyEdit* edit_ = nullptr;
  ComboCapture capture_{false};
  QString text_;
  int number_ = 0;
  KeyCombo combo_;
  bool built_ = false;
};

// The buttons of the skinned dialogs, placed at `r` on the dialog picture
// `bg`: a text button ("button2_nr.png" with its hover and pressed pictures
// where the skin has them) and the close button ("exit_nr.png", "exit_ov.png";
// null without them).
CPngBtn* DialogTextButton(QWidget* parent, const QImage& bg, const QRect& r,
                          const QString& caption);
CPngBtn* DialogCloseButton(QWidget* parent, const QImage& bg, const QRect& r);

// Shows `text` as a message (mode 1); with a close signal the dialog has no
// buttons and closes when the signal is set. Returns the dialog's result.
int ShowMessage(QWidget* parent, const QString& text, CloseSignal* closeSignal = nullptr);

class CMoveDlg : public CFramelessDialog {
  Q_OBJECT
 public:
  explicit CMoveDlg(QWidget* parent);
  int exec() override;
  bool Accepted() const { return accepted_; }
  int X() const { return x_; }
  int Y() const { return y_; }
  CMyEdit* EditX() const { return editX_; }
  CMyEdit* EditY() const { return editY_; }
  CPngBtn* OkButton() const { return ok_; }
  // Reads both numbers and closes with OK.
  void Ok();
  // The rule every edit change goes through: cut at the first character that
  // is not a digit, '-' or '+'; a complete number outside -127..127 becomes
  // "-127" or "127".
  static QString CleanMoveText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  bool Build();
  QImage bg_;
  CMyEdit* editX_ = nullptr;
  CMyEdit* editY_ = nullptr;
  CPngBtn* ok_ = nullptr;
  CPngBtn* cancel_ = nullptr;
  CPngBtn* close_ = nullptr;
  bool accepted_ = false;
  int x_ = 0, y_ = 0;
  bool built_ = false;
};

}  // namespace tolvane::ui
