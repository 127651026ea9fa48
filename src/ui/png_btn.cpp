#include "ui/png_btn.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "ui/menu_dlg.h"
#include "ui/paint_util.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

BtnLook ChooseBtnLook(const BtnState& s) {
  const BtnLook idle{s.disabled ? BtnPicture::Disabled
                     : s.altOn  ? BtnPicture::AltNormal
                                : BtnPicture::Normal,
                     BtnTextColor::Normal};
  if (s.toggle) {
    if (s.checked && s.disabled) return {BtnPicture::Disabled, BtnTextColor::Normal};
    if (s.checked) return {BtnPicture::Pressed, BtnTextColor::Pressed};
    if (s.hover) return {BtnPicture::Hover, BtnTextColor::Hover};
    return idle;
  }
  if (s.checked || s.pressed) return {BtnPicture::Pressed, BtnTextColor::Pressed};
  if (s.hover) return {BtnPicture::Hover, BtnTextColor::Hover};
  return idle;
}

// ---------------------------------------------------------------- CPngBtn

CPngBtn::CPngBtn(QWidget* parent) : SkinWidget(parent) {
  ownFont_ = Style().hiRes ? DialogFont(24, 400) : DialogFont(18, 600);
  hiRes_ = Style().hiRes;
  debugFrame_ = Style().uiDebug;
  setMouseTracking(true);
}

void CPngBtn::SetImages(const QString& normal, const QString& hover, const QString& pressed) {
  SetImages(LoadSkinPicture(normal), LoadSkinPicture(hover), LoadSkinPicture(pressed));
}

void CPngBtn::SetImages(const QImage& normal, const QImage& hover, const QImage& pressed) {
  normal_ = normal;
  hoverPic_ = hover;
  pressedPic_ = pressed;
  disabled_ = normal.copy();
  update();
}

void CPngBtn::SetIcon(const QImage& icon) { icon_ = icon; update(); }
void CPngBtn::SetAltNormal(const QImage& pic) { altNormal_ = pic; update(); }
void CPngBtn::SetAltSwitch(bool on) { altSwitch_ = on; update(); }
void CPngBtn::SetCaption(const QString& text) { caption_ = text; update(); }

void CPngBtn::SetCheck(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  update();
}

void CPngBtn::SetLock(bool locked) {
  if (locked_ == locked) return;
  locked_ = locked;
  if (locked) pressed_ = pressInside_ = false;
  update();
}

void CPngBtn::SetTipText(const QString& text) { setToolTip(text); }

void CPngBtn::SetTextColors(uint32_t nr, uint32_t ov, uint32_t dn) {
  clrNr_ = nr;
  clrOv_ = ov;
  clrDn_ = dn;
  update();
}

BtnLook CPngBtn::CurrentLook() const {
  BtnState s;
  s.toggle = toggle_;
  s.checked = checked_;
  s.pressed = IsPressed();
  s.hover = hover_;
  s.disabled = !isEnabled();
  s.altOn = altSwitch_ && !altNormal_.isNull();
  return ChooseBtnLook(s);
}

const QImage& CPngBtn::PictureOf(BtnPicture which) const {
  switch (which) {
    case BtnPicture::AltNormal: return altNormal_;
    case BtnPicture::Hover: return hoverPic_;
    case BtnPicture::Pressed: return pressedPic_;
    case BtnPicture::Disabled: return disabled_;
    case BtnPicture::Normal: break;
  }
  return normal_;
}

void CPngBtn::DrawPicture(QPainter& p, const QImage& img) {
  if (img.isNull()) return;  // a missing picture is skipped
  if (hiRes_)
    p.drawImage(rect(), img);
  else
    p.drawImage(0, 0, img);
}

void CPngBtn::PaintBuffer(QPainter& p) {
  if (!bkPicture_.isNull())
    p.drawImage(rect(), bkPicture_);
  else
    p.fillRect(rect(), ColorFromRef(bkColor_));

  const BtnLook look = CurrentLook();
  DrawPicture(p, PictureOf(look.picture));
  const uint32_t color = look.color == BtnTextColor::Hover     ? clrOv_
                         : look.color == BtnTextColor::Pressed ? clrDn_
                                                               : clrNr_;
  const bool shift = pressShift_ && IsPressed();
  if (!toggle_ && DrawsIcon() && !icon_.isNull()) {
    int x = iconX_, y = (height() - icon_.height()) / 2;
    if (shift) { x -= 1; y += 1; }
    p.drawImage(x, y, icon_);
  }
  PaintCaption(p, color, shift);
  PaintExtra(p);
  if (clipRegion_) {
    // Outside the window region nothing shows: paint it in the background.
    QRegion outside = QRegion(rect()).subtracted(region_);
    p.save();
    p.setClipRegion(outside);
    p.fillRect(rect(), ColorFromRef(bkColor_));
    p.restore();
  }
  if (locked_) p.fillRect(rect(), QColor(0x50, 0x50, 0x50, 0xDC));
  if (debugFrame_) {
    p.setPen(ColorFromRef(0xFF000A));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CPngBtn::PaintCaption(QPainter& p, uint32_t color, bool shift) {
  if (caption_.isEmpty()) return;
  p.setFont(SharedFontOr(ownFont_));
  p.setPen(ColorFromRef(color));
  QRect r = customRect_ ? textRect_ : rect();
  r.setLeft(r.left() + textX_);
  if (shift) r.translate(-1, 1);
  uint32_t fmt = textFormat_;
  if (fmt == 0) {
    fmt = kDefaultTextFormat;
    if (textX_ < 1) fmt |= DT_CENTER;
  }
  DrawFormattedText(p, r, caption_, fmt);
}

void CPngBtn::enterEvent(QEnterEvent* e) {
  if (!hover_) {
    hover_ = true;
    update();
  }
  SkinWidget::enterEvent(e);
}

void CPngBtn::leaveEvent(QEvent* e) {
  hover_ = false;
  update();
  SkinWidget::leaveEvent(e);
}

void CPngBtn::mousePressEvent(QMouseEvent* e) {
  if (locked_ || e->button() != Qt::LeftButton || !isEnabled()) return;
  if (toggle_ && flipOnClick_) {
    checked_ = !checked_;
    update();
  }
  pressed_ = pressInside_ = true;
  update();
}

void CPngBtn::mouseMoveEvent(QMouseEvent* e) {
  if (!hover_ && rect().contains(e->position().toPoint())) {
    hover_ = true;
    update();
  }
  if (pressed_) {
    const bool inside = rect().contains(e->position().toPoint());
    if (inside != pressInside_) {
      pressInside_ = inside;
      update();
    }
  }
}

void CPngBtn::mouseReleaseEvent(QMouseEvent* e) {
  if (locked_ || e->button() != Qt::LeftButton) return;
  const bool click = pressed_ && rect().contains(e->position().toPoint());
  pressed_ = pressInside_ = false;
  update();
  if (click) emit clicked();
}

void CPngBtn::mouseDoubleClickEvent(QMouseEvent* e) {
  if (locked_) return;
  if (dblClkNotify_)
    PostUiMessage(parentWidget(), WM_BTN_DBLCLK, HandleOf(this), intptr_t(userValue_));
  mousePressEvent(e);  // the second press of a double-click presses the button too
}

void CPngBtn::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange) {
    pressed_ = pressInside_ = false;
    update();
  }
  SkinWidget::changeEvent(e);
}

// ---------------------------------------------------------------- CComboBtn

CComboBtn::CComboBtn(QWidget* parent) : CPngBtn(parent) {}

CComboBtn::~CComboBtn() {
  if (menu_) menu_->close();
}

int CComboBtn::AddItem(int list, uint32_t value, const QString& text) {
  if (list < 0 || list >= kLists) return 0;
  lists_[list].AddTail(ComboItem{value, text.left(19)});
  return 1;
}

void CComboBtn::ClearItems(int list) {
  if (list >= 0 && list < kLists) lists_[list].Clear();
}

void CComboBtn::SetCurList(int list) {
  if (list >= 0 && list < kLists) curList_ = list;
}

int CComboBtn::ItemCount() const { return int(lists_[curList_].Count()); }

void CComboBtn::SelectPos(int pos) {
  const ComboItem* it = pos >= 0 ? lists_[curList_].At(size_t(pos)) : nullptr;
  if (!it) {
    selected_ = -1;
    SetCaption(QString());
    SetUserValue(uint32_t(-1));
    return;
  }
  selected_ = pos;
  SetCaption(it->text);
  SetUserValue(it->value);
}

int CComboBtn::SelectValue(uint32_t value) {
  const CMyList<ComboItem>& l = lists_[curList_];
  for (size_t i = 0; i < l.Count() && i < size_t(kShownItems); ++i) {
    if (l.At(i)->value == value) {
      SelectPos(int(i));
      return 1;
    }
  }
  return 0;
}

QPoint CComboBtn::MenuOrigin(const QRect& btn, int n, int direction, int screenH) {
  const int h = kItemHeight * n;
  const int bottom = btn.top() + btn.height();
  if (direction == 1) return QPoint(btn.left(), btn.top() - h / 2);
  if (screenH < bottom + h) return QPoint(btn.left(), btn.top() - h);
  return QPoint(btn.left(), bottom);
}

CMenuDlg* CComboBtn::OpenList() {
  const CMyList<ComboItem>& l = lists_[curList_];
  std::vector<MenuItem> items;
  for (size_t i = 0; i < l.Count() && i < size_t(kShownItems); ++i)
    items.push_back(MenuItem{kMenuTopGroup, l.At(i)->value, l.At(i)->text});
  if (items.empty()) return nullptr;
  const QRect global(mapToGlobal(QPoint(0, 0)), size());
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const int screenH = screen ? screen->availableGeometry().height() : 100000;
  CMenuDlg::Options o;
  o.width = menuWidth_ < 1 ? width() : menuWidth_;
  o.pos = MenuOrigin(global, int(items.size()), direction_, screenH);
  o.clrNr = Style().menuTxtNr;
  o.clrOv = Style().menuTxtOv;
  o.tag = curList_;
  menu_ = CMenuDlg::Open(this, std::move(items), o);
  return menu_;
}

void CComboBtn::OnPick(uint32_t value, intptr_t) {
  if (menu_) menu_->close();
  menu_ = nullptr;
  if (veto_ && !veto_(value)) return;
  if (sameNoChange_ && selected_ >= 0 && value == UserValue()) return;
  const CMyList<ComboItem>& l = lists_[curList_];
  for (size_t i = 0; i < l.Count() && i < size_t(kShownItems); ++i) {
    if (l.At(i)->value == value) {
      SelectPos(int(i));
      emit clicked();
      return;
    }
  }
}

bool CComboBtn::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_MENU_PICK) {
      OnPick(uint32_t(m->wParam), m->lParam);
      m->accept();
      return true;
    }
  }
  return CPngBtn::event(e);
}

void CComboBtn::mousePressEvent(QMouseEvent* e) { e->accept(); }
void CComboBtn::mouseDoubleClickEvent(QMouseEvent* e) { e->accept(); }

void CComboBtn::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || IsLocked() || disabled_ || !isEnabled()) return;
  OpenList();
}

// ---------------------------------------------------------------- CNaviBtn

BtnLook CNaviBtn::CurrentLook() const {
  if (TabMarked()) return {BtnPicture::Pressed, BtnTextColor::Pressed};
  return CPngBtn::CurrentLook();
}

void CNaviBtn::PaintExtra(QPainter& p) {
  if (!TabMarked() || underline_ <= 0) return;
  const int x = (width() - underline_) / 2;
  p.fillRect(QRect(x, height() - 5, underline_, 5), ColorFromRef(kUnderlineColor));
}

}  // namespace tolvane::ui
