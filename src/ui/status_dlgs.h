// The battery display CPowerDlg, the progress dialog CProgressDlg and the
// wait animation CPlayGIFDlg. None of them waits on anything: the progress
// dialog takes positions as they are posted, the wait animation is closed by
// the window when the read's result arrives.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <QVector>

#include <cstdint>

#include "ui/skin_widget.h"
#include "ui/window_logic.h"

namespace tolvane::ui {

class CPngBtn;

class CPowerDlg : public SkinWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 210, kHeight = 36;
  explicit CPowerDlg(QWidget* parent, const QImage& backgroundCut, uint32_t textColor);
  // Level 0..100 and the charging flag (starts or stops the animation).
  void SetPower(int level, bool charging);
  const ChargeAnimation& Animation() const { return anim_; }
  // Number of the level picture shown.
  int PictureLevel() const { return BatteryPictureLevel(anim_.Level()); }
  bool AnimationTimerActive() const { return timer_.isActive(); }

 protected:
  void PaintBuffer(QPainter& p) override;

 private:
  QImage bg_, charging_;
  QImage levels_[11];  // index level/10
  uint32_t textColor_;
  ChargeAnimation anim_;
  QTimer timer_;
};

class CProgressDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kWindowName = "MyProgressDlg..";
  CProgressDlg(QWidget* parent, const QString& background, const QString& fill);
  void SetText(const QString& text, const QRect& rect) { text_ = text; textRect_ = rect; update(); }
  void SetBar(int left, int right) { barLeft_ = left; barRight_ = right; update(); }
  void SetRange(int minimum, int maximum) { min_ = minimum; max_ = maximum; }
  // Clamped to the range; repaints at once.
  void SetPos(int pos);
  int Pos() const { return pos_; }
  // False when a picture is missing ("ProgressDlg skin loss" was shown).
  bool Ready() const { return ready_; }
  // Opens the dialog without waiting (window-modal) centred over its parent.
  bool Start();

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QImage bg_, fill_;
  QString text_;
  QRect textRect_;
  int barLeft_ = 0, barRight_ = 0, min_ = 0, max_ = 100, pos_ = 0;
  bool ready_ = false;
  CPngBtn* close_ = nullptr;
};

class CPlayGIFDlg : public QDialog {
  Q_OBJECT
 public:
  // `gifPath`: the animation; without it the dialog shows only its background.
  CPlayGIFDlg(QWidget* parent, const QString& gifPath);
  // The square centred over `box` (parent coordinates) with the parent's
  // background under it.
  void Place(const QRect& box, const QImage& parentBackground);
  // Opens without waiting and starts the frames.
  void Start();
  int FrameCount() const { return int(frames_.size()); }
  const QImage& Frame(int i) const { return frames_[i]; }
  int CurrentFrame() const { return current_; }
  int CurrentDelayMs() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void NextFrame();
  QVector<QImage> frames_;
  QVector<int> delays_;
  QImage cut_;
  int current_ = 0;
  QTimer timer_;
};

}  // namespace tolvane::ui
