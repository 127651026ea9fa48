#include "ui/png_slider.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {
int g_lastLive = 0;  // live value of the one-thumb slider being dragged
}

// ---------------------------------------------------------------- CPngSlider

CPngSlider::CPngSlider(SliderTrack* track) : SkinWidget(track), track_(track) {
  hide();
  SyncLength();
}

void CPngSlider::SetPicture(const QImage& pic) {
  picture_ = pic;
  if (pic.isNull()) {
    hide();  // a thumb without a picture is hidden
  } else {
    resize(pic.size());
    show();
  }
  update();
}

void CPngSlider::SetRange(int minimum, int maximum) { model_.SetRange(minimum, maximum); }

void CPngSlider::SetScalePos(const std::vector<int>& positions) {
  if (!model_.SetScale(positions))
    ShowWarning("Warning", "CPngSlider::SetScalePos  dwScale and Range unmatch!");
}

void CPngSlider::SyncLength() {
  model_.SetLength(vertical_ ? track_->height() : track_->width());
}

int CPngSlider::Centre() const {
  return vertical_ ? y() + height() / 2 : x() + width() / 2;
}

void CPngSlider::PlaceCentre(int c) {
  if (vertical_)
    move(x(), c - height() / 2);
  else
    move(c - width() / 2, y());
}

bool CPngSlider::SetPos(int value, bool notify) {
  SyncLength();
  std::optional<int> index = model_.IndexOfValue(value);
  if (!index) return false;
  int i = *index;
  if (i < model_.Min() || i > model_.Max()) i = model_.Min();
  model_.SetIndex(i);
  const int centre = model_.CentreOf(i);
  PlaceCentre(centre);
  if (track_->HasFill()) track_->SetFillLength(centre + 1);
  update();
  track_->update();
  if (notify) PostUiMessage(track_, SetMessage(), uintptr_t(model_.ValueOf(i)), NotifyTag());
  return true;
}

uint32_t CPngSlider::SetMessage() const { return WM_SLIDER_SET; }

bool CPngSlider::AskPress() {
  return SendUiMessage(track_, WM_SLIDER_ASK, uintptr_t(GetPos()), intptr_t(id_)) == 1;
}

void CPngSlider::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  valueBeforeDrag_ = GetPos();
  if (!AskPress()) return;
  if (!draggable_) return;
  SyncLength();
  dragging_ = true;
  downPoint_ = e->globalPosition().toPoint();
  downTopLeft_ = pos();
}

void CPngSlider::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  const QPoint d = e->globalPosition().toPoint() - downPoint_;
  if (vertical_) {
    const int limit = std::max(0, track_->height() - height());
    move(x(), std::clamp(downTopLeft_.y() + d.y(), 0, limit));
  } else {
    const int limit = std::max(0, track_->width() - width());
    move(std::clamp(downTopLeft_.x() + d.x(), 0, limit), y());
  }
  DragMoved(mapToParent(e->position().toPoint()));
  update();
  track_->update();
}

void CPngSlider::DragMoved(const QPoint&) {
  const int centre = Centre();
  if (live_) {
    const int v = model_.ValueOf(model_.NearestIndex(centre));
    if (v != g_lastLive) {
      PostUiMessage(track_, WM_SLIDER_DRAG, uintptr_t(v), intptr_t(id_));
      g_lastLive = v;
    }
  }
  if (track_->HasFill()) track_->SetFillLength(centre);
}

void CPngSlider::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  Released(mapToParent(e->position().toPoint()));
}

void CPngSlider::Released(const QPoint&) {
  const int v = model_.ValueOf(model_.NearestIndex(Centre()));
  SetPos(v, v != valueBeforeDrag_);  // also snaps the thumb to its position
  g_lastLive = 0;
}

void CPngSlider::PaintBuffer(QPainter& p) {
  if (bkColor_ != 0) {
    p.fillRect(rect(), ColorFromRef(bkColor_));
  } else {
    const QImage& bg = track_->TrackPicture();
    if (!bg.isNull()) {
      QRect src = geometry();
      if (bkMode_ == 1 && track_->width() > 0 && track_->height() > 0) {
        const double sx = double(bg.width()) / track_->width();
        const double sy = double(bg.height()) / track_->height();
        src = QRect(int(src.x() * sx), int(src.y() * sy), int(src.width() * sx),
                    int(src.height() * sy));
      }
      p.drawImage(rect(), bg, src);
    }
  }
  if (!picture_.isNull()) p.drawImage(rect(), picture_);
}

// ---------------------------------------------------------------- SliderTrack

SliderTrack::SliderTrack(QWidget* parent) : SkinWidget(parent) {
  debug_ = Style().uiDebug;
  stretch_ = Style().hiRes;
}

void SliderTrack::Compose(const QImage& backgroundCut, const QImage& bar, const QImage& fill,
                          const QPoint& origin) {
  auto compose = [&](const QImage& pic) {
    QImage out(size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    if (!backgroundCut.isNull()) p.drawImage(out.rect(), backgroundCut);
    if (!pic.isNull()) {
      const QRect part(0, 0, std::min(pic.width(), width()), std::min(pic.height(), height()));
      p.drawImage(origin, pic, part);
    }
    return out;
  };
  trackPic_ = compose(bar);
  fillPic_ = fill.isNull() ? QImage() : compose(fill);
  update();
}

void SliderTrack::PaintBuffer(QPainter& p) {
  if (!trackPic_.isNull()) {
    if (stretch_)
      p.drawImage(rect(), trackPic_);
    else
      p.drawImage(0, 0, trackPic_);
  }
  if (fillLen_ > 0 && !disable2_ && DrawsFill() && !fillPic_.isNull()) {
    const int len = std::min(fillLen_, stretch_ ? width() : fillPic_.width());
    if (stretch_) {
      const int srcLen = fillPic_.width() * len / std::max(1, width());
      p.drawImage(QRect(0, 0, len, height()), fillPic_, QRect(0, 0, srcLen, fillPic_.height()));
    } else {
      p.drawImage(QPoint(0, 0), fillPic_, QRect(0, 0, len, fillPic_.height()));
    }
  }
  if (debug_) {
    p.setPen(ColorFromRef(0x0000FF));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int x : DebugScale()) p.drawLine(x, 0, x, height() - 1);
  }
}

// ---------------------------------------------------------------- CPngSliderBar

CPngSliderBar::CPngSliderBar(QWidget* parent) : SliderTrack(parent), thumb_(new CPngSlider(this)) {
  thumb_->SetRange(0, 10);
}

void CPngSliderBar::SetThumbPicture(const QImage& pic) {
  thumb_->SetPicture(pic);
  SetThumbY(thumbY_);
}

void CPngSliderBar::SetThumbY(int y) {
  thumbY_ = y;
  if (thumb_->IsVertical())
    thumb_->move(y, thumb_->y());
  else
    thumb_->move(thumb_->x(), y);
}

bool CPngSliderBar::SetPos(int value) {
  const bool ok = thumb_->SetPos(value, notifyOnSet_);
  if (fillLen_ < 0) fillLen_ = 0;
  if (ok && !HasThumbPicture() && HasFill()) {
    const std::vector<int>& table = thumb_->Model().ValueTable();
    const bool last = table.empty() ? value == thumb_->Model().Max() : value == table.back();
    if (last) SetFillLength(width());
  }
  return ok;
}

void CPngSliderBar::EvenScale() {
  const SliderModel& m = thumb_->Model();
  const int len = thumb_->IsVertical() ? height() : width();
  const int thumbLen = thumb_->IsVertical() ? thumb_->height() : thumb_->width();
  std::vector<int> scale = SliderModel::EvenScale(len, thumbLen, m.Max() - m.Min() + 1);
  if (scale.empty()) {
    ShowWarning("Warning", "Scale num too much");
    return;
  }
  thumb_->SetScalePos(scale);
}

bool CPngSliderBar::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    switch (m->msg) {
      case WM_SLIDER_ASK:
        m->setResult(ask_ ? SendUiMessage(parentWidget(), WM_SLIDER_ASK, m->wParam, id_) : 1);
        m->accept();
        return true;
      case WM_SLIDER_SET:
      case WM_SLIDER_DRAG:
        PostUiMessage(parentWidget(), m->msg, m->wParam, id_);
        m->setResult(1);
        m->accept();
        return true;
      default:
        break;
    }
  }
  return SliderTrack::event(e);
}

void CPngSliderBar::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || IsDisabled()) return;
  thumb_->SyncLength();
  const QPoint pt = e->position().toPoint();
  const SliderModel& m = thumb_->Model();
  const int v = m.ValueOf(m.NearestIndex(thumb_->IsVertical() ? pt.y() : pt.x()));
  if (ask_ && SendUiMessage(parentWidget(), WM_SLIDER_ASK, uintptr_t(v), id_) != 1) return;
  const int before = GetPos();
  thumb_->SetPos(v, false);
  if (!HasThumbPicture() && HasFill()) {
    const std::vector<int>& table = m.ValueTable();
    if (table.empty() ? v == m.Max() : v == table.back()) SetFillLength(width());
  }
  if (v != before) PostUiMessage(parentWidget(), WM_SLIDER_SET, uintptr_t(v), id_);
}

void CPngSliderBar::resizeEvent(QResizeEvent* e) {
  thumb_->SyncLength();
  SliderTrack::resizeEvent(e);
}

// ---------------------------------------------------------------- CPngHSliderEx

CPngHSliderEx::CPngHSliderEx(CPngHSliderBarEx* track, int number)
    : CPngSlider(track), bar_(track), number_(number) {}

intptr_t CPngHSliderEx::Tag() const {
  return intptr_t((uint32_t(number_) << 16) | (bar_->Id() & 0xFFFF));
}

int& CPngHSliderEx::LastLiveValue() {
  static int last = 0;
  return last;
}

uint32_t CPngHSliderEx::SetMessage() const { return WM_XYSLIDER_SET; }

bool CPngHSliderEx::AskPress() { return bar_->Ask(number_, GetPos()); }

void CPngHSliderEx::DragMoved(const QPoint& trackPos) {
  if (live_) {
    const int v = model_.ValueOf(model_.NearestIndex(std::max(0, trackPos.x())));
    if (v != LastLiveValue()) {
      PostUiMessage(bar_->parentWidget(), WM_XYSLIDER_DRAG, uintptr_t(v), Tag());
      LastLiveValue() = v;
    }
  }
  if (!bar_->Separate() && bar_->HasFill()) bar_->SetFillLength(Centre());
}

void CPngHSliderEx::Released(const QPoint& trackPos) {
  const int index = model_.NearestIndex(std::max(0, trackPos.x()));
  LastLiveValue() = 0;
  if (index == model_.Index()) {
    SetPos(GetPos(), false);  // back to its place, nothing reported
    return;
  }
  const int v = model_.ValueOf(index);
  SetPos(v, true);
  PostUiMessage(bar_, WM_XYSLIDER_SYNC, uintptr_t(v), number_);
}

// ---------------------------------------------------------------- CPngHSliderBarEx

CPngHSliderBarEx::CPngHSliderBarEx(QWidget* parent)
    : SliderTrack(parent), thumb1_(new CPngHSliderEx(this, 1)), thumb2_(new CPngHSliderEx(this, 2)) {
  SetRange(1, 4);
}

void CPngHSliderBarEx::SetThumbPictures(const QImage& thumb1, const QImage& thumb2) {
  thumb1_->SetPicture(thumb1);
  thumb2_->SetPicture(thumb2);
  Layout();
}

void CPngHSliderBarEx::SetSeparate(bool on) {
  separate_ = on;
  if (!on) FollowFill();
  update();
}

void CPngHSliderBarEx::ShowSecond(bool show) {
  single_ = !show;
  Layout();
}

void CPngHSliderBarEx::Layout() {
  if (single_) {
    thumb2_->hide();
    if (!thumb1_->Picture().isNull()) thumb1_->setGeometry(thumb1_->x(), 0, thumb1_->width(), height());
  } else {
    if (!thumb1_->Picture().isNull())
      thumb1_->setGeometry(thumb1_->x(), 0, thumb1_->Picture().width(), thumb1_->Picture().height());
    if (!thumb2_->Picture().isNull()) {
      const QImage& p2 = thumb2_->Picture();
      thumb2_->setGeometry(thumb2_->x(), height() - p2.height(), p2.width(), p2.height());
      thumb2_->show();
    }
  }
}

void CPngHSliderBarEx::SetRange(int minimum, int maximum) {
  thumb1_->SetRange(minimum, maximum);
  thumb2_->SetRange(minimum, maximum);
}

void CPngHSliderBarEx::SetValueTable(const std::vector<int>& v) {
  thumb1_->SetValueTable(v);
  thumb2_->SetValueTable(v);
}

void CPngHSliderBarEx::SetScalePos(const std::vector<int>& p) {
  thumb1_->SetScalePos(p);
  thumb2_->Model().SetScale(p);  // one warning for the pair
}

void CPngHSliderBarEx::SetLiveNotify(bool on) {
  thumb1_->SetLiveNotify(on);
  thumb2_->SetLiveNotify(on);
}

void CPngHSliderBarEx::FollowFill() {
  if (!separate_ && HasFill()) SetFillLength(thumb1_->Centre() + 1);
}

bool CPngHSliderBarEx::SetPos(int number, int value) {
  bool ok;
  if (!separate_) {
    ok = thumb1_->SetPos(value, notifyOnSet_);
    thumb2_->SetPos(value, notifyOnSet_);
  } else {
    ok = Thumb(number)->SetPos(value, notifyOnSet_);
  }
  FollowFill();
  return ok;
}

void CPngHSliderBarEx::EvenScale() {
  const SliderModel& m = thumb1_->Model();
  std::vector<int> scale =
      SliderModel::EvenScale(width(), thumb1_->width(), m.Max() - m.Min() + 1);
  if (scale.empty()) {
    ShowWarning("Warning", "Scale num too much");
    return;
  }
  SetScalePos(scale);
}

bool CPngHSliderBarEx::Ask(int number, int value) {
  if (!ask_) return true;
  const intptr_t tag = intptr_t((uint32_t(number) << 16) | (id_ & 0xFFFF));
  return SendUiMessage(parentWidget(), WM_XYSLIDER_ASK, uintptr_t(value), tag) != 0;
}

bool CPngHSliderBarEx::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_XYSLIDER_SET) {
      PostUiMessage(parentWidget(), m->msg, m->wParam,
                    intptr_t((uint32_t(m->lParam) & 0xFFFF0000u) | (id_ & 0xFFFF)));
      m->accept();
      return true;
    }
    if (m->msg == WM_XYSLIDER_SYNC) {
      if (!separate_) {
        CPngHSliderEx* other = m->lParam == 1 ? thumb2_ : thumb1_;
        other->SetPos(int(m->wParam), true);
        FollowFill();
      }
      m->accept();
      return true;
    }
  }
  return SliderTrack::event(e);
}

void CPngHSliderBarEx::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || IsDisabled()) return;
  thumb1_->SyncLength();
  thumb2_->SyncLength();
  const QPoint pt = e->position().toPoint();
  const int number = separate_ && !single_ && pt.y() >= height() / 2 ? 2 : 1;
  CPngHSliderEx* t = Thumb(number);
  const int v = t->Model().ValueOf(t->Model().NearestIndex(std::max(0, pt.x())));
  if (!Ask(number, v)) return;
  const int before = t->GetPos();
  if (!separate_) {
    thumb1_->SetPos(v, notifyOnSet_);
    thumb2_->SetPos(v, notifyOnSet_);
    FollowFill();
  } else {
    t->SetPos(v, notifyOnSet_);
  }
  if (!notifyOnSet_ && v != before) PostUiMessage(parentWidget(), WM_XYSLIDER_SET, uintptr_t(v), t->Tag());
}

void CPngHSliderBarEx::resizeEvent(QResizeEvent* e) {
  thumb1_->SyncLength();
  thumb2_->SyncLength();
  Layout();
  SliderTrack::resizeEvent(e);
}

}  // namespace tolvane::ui
