// Picture buttons: CPngBtn, the drop-list button CComboBtn and the tab CNaviBtn.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <functional>

#include "ui/menu_dlg.h"
#include "ui/my_list.h"
#include "ui/skin_widget.h"

namespace tolvane::ui {



// Which of the button's pictures an idle/hover/pressed state shows.
enum class BtnPicture { Normal, AltNormal, Hover, Pressed, Disabled };
enum class BtnTextColor { Normal, Hover, Pressed };
struct BtnLook {
  BtnPicture picture;
  BtnTextColor color;
};
struct BtnState {
  bool toggle = false, checked = false, pressed = false, hover = false, disabled = false;
  bool altOn = false;  // the alternative normal picture is switched on and present
};
BtnLook ChooseBtnLook(const BtnState& s);

class CPngBtn : public SkinWidget {
  Q_OBJECT
 public:
  explicit CPngBtn(QWidget* parent = nullptr);

  // Pictures by skin name; the old ones are released, the disabled picture
  // becomes a copy of the normal one, a picture that fails to load is dropped.
  void SetImages(const QString& normal, const QString& hover, const QString& pressed);
  // The same with pictures already decoded (the factories load them once).
  void SetImages(const QImage& normal, const QImage& hover, const QImage& pressed);
  void SetIcon(const QImage& icon);
  void SetAltNormal(const QImage& pic);
  void SetAltSwitch(bool on);
  void SetIconX(int x) { iconX_ = x; update(); }
  void SetCaption(const QString& text);
  QString Caption() const { return caption_; }
  void SetTextOffset(int x) { textX_ = x; update(); }
  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }
  void SetToggle(bool toggle) { toggle_ = toggle; }
  bool IsToggle() const { return toggle_; }
  void SetFlipOnClick(bool on) { flipOnClick_ = on; }
  void SetPressShift(bool on) { pressShift_ = on; }
  void SetLock(bool locked);
  bool IsLocked() const { return locked_; }
  void SetTipText(const QString& text);
  void SetBkColor(uint32_t colorRef) { bkColor_ = colorRef; update(); }
  void SetBkPicture(const QImage& cut) { bkPicture_ = cut; update(); }
  void SetTextColors(uint32_t nr, uint32_t ov, uint32_t dn);
  void SetTextRect(const QRect& r) { customRect_ = true; textRect_ = r; update(); }
  void SetTextFormat(uint32_t format) { textFormat_ = format; update(); }
  void SetUserValue(uint32_t v) { userValue_ = v; }
  uint32_t UserValue() const { return userValue_; }
  void SetDblClkNotify(bool on) { dblClkNotify_ = on; }
  void SetClipRegion(const QRegion& r) { clipRegion_ = true; region_ = r; update(); }
  void SetHiRes(bool on) { hiRes_ = on; update(); }
  void SetDebugFrame(bool on) { debugFrame_ = on; update(); }
  void SetOwnFont(const QFont& f) { ownFont_ = f; update(); }

  bool IsHover() const { return hover_; }
  // Shows the hover state without a mouse (previews, the gallery).
  void SetHoverState(bool on) { hover_ = on; update(); }
  bool IsPressed() const { return pressed_ && pressInside_; }
  const QImage& NormalPicture() const { return normal_; }

 signals:
  // The button was clicked (press and release inside, not locked).
  void clicked();

 protected:
  void PaintBuffer(QPainter& p) override;
  // Picture and colour for the current state; tabs override it.
  virtual BtnLook CurrentLook() const;
  virtual bool DrawsIcon() const { return true; }
  virtual void PaintExtra(QPainter&) {}
  // The caption in the state's text colour, moved by the press when `shift`.
  virtual void PaintCaption(QPainter& p, uint32_t color, bool shift);
  const QImage& PictureOf(BtnPicture which) const;
  void DrawPicture(QPainter& p, const QImage& img);

  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  QImage normal_, hoverPic_, pressedPic_, disabled_, icon_, altNormal_;
  bool altSwitch_ = false;
  int iconX_ = 5;
  bool customRect_ = false;
  QRect textRect_;
  QString caption_;
  uint32_t userValue_ = 0;
  int textX_ = 0;
  uint32_t clrOv_ = 0x646464, clrNr_ = 0xC8C8C8, clrDn_ = 0;
  bool checked_ = false, toggle_ = false, hover_ = false;
  uint32_t textFormat_ = 0;
  bool flipOnClick_ = false, pressShift_ = false;
  bool clipRegion_ = false;
  QRegion region_;
  bool locked_ = false;
  uint32_t bkColor_ = 0;
  QImage bkPicture_;
  QFont ownFont_;
  bool debugFrame_ = false, hiRes_ = false, dblClkNotify_ = false;
  bool pressed_ = false, pressInside_ = false;
};

struct ComboItem {
  uint32_t value = 0;
  QString text;  // at most 19 characters
};

class CComboBtn : public CPngBtn {
  Q_OBJECT
 public:
  static constexpr int kLists = 4;
  static constexpr int kShownItems = 20;
  static constexpr int kItemHeight = 20;

  explicit CComboBtn(QWidget* parent = nullptr);
  ~CComboBtn() override;

  // Adds an item to list `list` (0..3); 0 for another index.
  int AddItem(int list, uint32_t value, const QString& text);
  void ClearItems(int list);
  void SetCurList(int list);
  int CurList() const { return curList_; }
  // Negative position clears the selection, the caption and the value (-1).
  void SelectPos(int pos);
  // Searches the first 20 items of the list in use; 1 when found.
  int SelectValue(uint32_t value);
  uint32_t GetSelectedValue() const { return UserValue(); }
  int SelectedPos() const { return selected_; }
  int ItemCount() const;
  void SetMenuWidth(int w) { menuWidth_ = w; }
  // 0: below the button (above when it would leave the screen); 1: centred.
  void SetDropDirection(int d) { direction_ = d; }
  void SetDisabled(bool on) { disabled_ = on; }
  void SetSameValueNoChange(bool on) { sameNoChange_ = on; }
  // Asked before a choice is accepted; a false answer drops the choice.
  void SetVeto(std::function<bool(uint32_t value)> veto) { veto_ = std::move(veto); }

  // Opens the list as the left-button release does; the open menu or null.
  CMenuDlg* OpenList();
  CMenuDlg* OpenMenu() const { return menu_; }
  // Top-left of the menu for a button at global rectangle `btn`, `n` items,
  // usable screen height `screenH`.
  static QPoint MenuOrigin(const QRect& btn, int n, int direction, int screenH);

 protected:
  bool event(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void OnPick(uint32_t value, intptr_t tag);

  CMyList<ComboItem> lists_[kLists];
  int curList_ = 0;
  int selected_ = -1;
  int menuWidth_ = 0;
  int direction_ = 0;
  bool disabled_ = false, sameNoChange_ = false;
  std::function<bool(uint32_t)> veto_;
  QPointer<CMenuDlg> menu_;  // the popup this button opened, while open
};

class CNaviBtn : public CPngBtn {
  Q_OBJECT
 public:
  explicit CNaviBtn(QWidget* parent = nullptr) : CPngBtn(parent) {}
  void SetUnderlineWidth(int w) { underline_ = w; update(); }
  static constexpr uint32_t kUnderlineColor = 0xFF8000;

 protected:
  BtnLook CurrentLook() const override;
  bool DrawsIcon() const override { return false; }
  void PaintExtra(QPainter& p) override;

 private:
  bool TabMarked() const { return IsToggle() && GetCheck() && isEnabled(); }
  int underline_ = 0;
};

}  // namespace tolvane::ui
