// Picture sliders: the one-thumb CPngSliderBar with its thumb CPngSlider, and
// the two-thumb CPngHSliderBarEx with its thumbs CPngHSliderEx.
#pragma once

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <vector>

#include "ui/skin_widget.h"
#include "ui/slider_model.h"

namespace tolvane::ui {

class SliderTrack;

// The thumb. Holds the slider's tables and index; a child of its track.
class CPngSlider : public SkinWidget {
  Q_OBJECT
 public:
  explicit CPngSlider(SliderTrack* track);

  void SetId(uint32_t id) { id_ = id; }
  uint32_t Id() const { return id_; }
  void SetPicture(const QImage& pic);
  const QImage& Picture() const { return picture_; }
  void SetRange(int minimum, int maximum);
  void SetValueTable(const std::vector<int>& values) { model_.SetValueTable(values); }
  // Warns "CPngSlider::SetScalePos  dwScale and Range unmatch!" when the count
  // does not match the range; the table is used all the same.
  void SetScalePos(const std::vector<int>& positions);
  // Moves the thumb to a value; false (and nothing changes) when the value is
  // not in the value table. With notify, WM_SLIDER_SET goes to the track.
  bool SetPos(int value, bool notify);
  int GetPos() const { return model_.Value(); }
  int Index() const { return model_.Index(); }
  // Thumb centre along the track axis.
  int Centre() const;
  void SetVertical(bool v) { vertical_ = v; }
  bool IsVertical() const { return vertical_; }
  void SetLiveNotify(bool on) { live_ = on; }
  void SetDraggable(bool on) { draggable_ = on; }
  void SetBkMode(int mode) { bkMode_ = mode; }
  void SetBkColor(uint32_t ref) { bkColor_ = ref; }
  bool IsDragging() const { return dragging_; }

  SliderModel& Model() { return model_; }
  const SliderModel& Model() const { return model_; }
  // Places the thumb centre at `c` along the axis (kept inside the track).
  void PlaceCentre(int c);
  // The track length along the thumb's axis, as the model uses it.
  void SyncLength();

 protected:
  void PaintBuffer(QPainter& p) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

  // Hooks the two-thumb variant changes.
  virtual uint32_t SetMessage() const;
  // lParam of the thumb's messages to its track.
  virtual intptr_t NotifyTag() const { return intptr_t(id_); }
  virtual bool AskPress();
  virtual void DragMoved(const QPoint& trackPos);
  virtual void Released(const QPoint& trackPos);

  SliderTrack* track_;
  SliderModel model_;
  QImage picture_;
  uint32_t id_ = 0;
  bool vertical_ = false, live_ = false, draggable_ = true, dragging_ = false;
  QPoint downPoint_, downTopLeft_;
  int valueBeforeDrag_ = 0;
  int bkMode_ = 0;
  uint32_t bkColor_ = 0;
};

// What both tracks share: the composed pictures, the fill and the painting.
class SliderTrack : public SkinWidget {
  Q_OBJECT
 public:
  explicit SliderTrack(QWidget* parent);

  void SetId(uint32_t id) { id_ = id; }
  uint32_t Id() const { return id_; }
  // Composes the track and fill pictures: the background cut over the whole
  // window, then the bar pictures at the bar origin (a bar wider than the
  // window is cut to it). A null fill means no fill.
  void Compose(const QImage& backgroundCut, const QImage& bar, const QImage& fill,
               const QPoint& origin);
  const QImage& TrackPicture() const { return trackPic_; }
  bool HasFill() const { return !fillPic_.isNull(); }
  int FillLength() const { return fillLen_; }
  void SetFillLength(int len) { fillLen_ = len < 0 ? 0 : len; update(); }
  void SetStretch(bool on) { stretch_ = on; }
  void SetDebugFrame(bool on) { debug_ = on; }
  void SetAskBeforeChange(bool on) { ask_ = on; }
  bool AskBeforeChange() const { return ask_; }
  void SetNotifyOnSet(bool on) { notifyOnSet_ = on; }
  bool NotifyOnSet() const { return notifyOnSet_; }
  void SetDisabled(bool first, bool second) { disable1_ = first; disable2_ = second; update(); }
  bool IsDisabled() const { return disable1_ || disable2_; }
  // Scale positions drawn as red lines in the debug frame.
  virtual std::vector<int> DebugScale() const = 0;

 protected:
  void PaintBuffer(QPainter& p) override;
  virtual bool DrawsFill() const { return true; }

  uint32_t id_ = 0;
  QImage trackPic_, fillPic_;
  int fillLen_ = 0;
  bool stretch_ = false, debug_ = false, ask_ = true, notifyOnSet_ = false;
  bool disable1_ = false, disable2_ = false;
};

class CPngSliderBar : public SliderTrack {
  Q_OBJECT
 public:
  explicit CPngSliderBar(QWidget* parent);

  CPngSlider* Thumb() const { return thumb_; }
  // The thumb picture; none gives a bar without a thumb.
  void SetThumbPicture(const QImage& pic);
  bool HasThumbPicture() const { return !thumb_->Picture().isNull(); }
  void SetThumbY(int y);
  void SetVertical(bool v) { thumb_->SetVertical(v); thumb_->SyncLength(); }
  void SetRange(int minimum, int maximum) { thumb_->SetRange(minimum, maximum); }
  void SetValueTable(const std::vector<int>& v) { thumb_->SetValueTable(v); }
  void SetScalePos(const std::vector<int>& p) { thumb_->SetScalePos(p); }
  void SetLiveNotify(bool on) { thumb_->SetLiveNotify(on); }
  bool SetPos(int value);
  int GetPos() const { return thumb_->GetPos(); }
  // Scale table spread evenly for the current range (high-resolution mode).
  void EvenScale();
  std::vector<int> DebugScale() const override { return thumb_->Model().Scale(); }

 protected:
  bool event(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  CPngSlider* thumb_;
  int thumbY_ = 0;
};

class CPngHSliderBarEx;

class CPngHSliderEx : public CPngSlider {
  Q_OBJECT
 public:
  CPngHSliderEx(CPngHSliderBarEx* track, int number);
  int Number() const { return number_; }
  // Thumb number << 16 | slider id.
  intptr_t Tag() const;
  // The last live value any two-thumb slider reported (shared by all).
  static int& LastLiveValue();

 protected:
  uint32_t SetMessage() const override;
  intptr_t NotifyTag() const override { return Tag(); }
  bool AskPress() override;
  void DragMoved(const QPoint& trackPos) override;
  void Released(const QPoint& trackPos) override;

 private:
  CPngHSliderBarEx* bar_;
  int number_;
};

class CPngHSliderBarEx : public SliderTrack {
  Q_OBJECT
 public:
  explicit CPngHSliderBarEx(QWidget* parent);

  CPngHSliderEx* Thumb(int number) const { return number == 2 ? thumb2_ : thumb1_; }
  void SetThumbPictures(const QImage& thumb1, const QImage& thumb2);
  void SetSeparate(bool on);
  bool Separate() const { return separate_; }
  // Shows or hides thumb 2 and lays the thumbs out.
  void ShowSecond(bool show);
  bool SecondShown() const { return !single_; }
  void SetRange(int minimum, int maximum);
  void SetValueTable(const std::vector<int>& v);
  void SetScalePos(const std::vector<int>& p);
  void SetLiveNotify(bool on);
  // Sets thumb `number` (1 or 2); both when they are not separate.
  bool SetPos(int number, int value);
  int GetPos(int number) const { return Thumb(number)->GetPos(); }
  void EvenScale();
  std::vector<int> DebugScale() const override { return thumb1_->Model().Scale(); }
  // Asks the parent whether thumb `number` may take `value`.
  bool Ask(int number, int value);

 protected:
  bool event(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool DrawsFill() const override { return !separate_; }

 private:
  void Layout();
  void FollowFill();

  CPngHSliderEx* thumb1_;
  CPngHSliderEx* thumb2_;
  bool single_ = true, separate_ = false;
};

}  // namespace tolvane::ui
