// CMenuDlg: the skinned popup menu with at most one open submenu.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

#include "ui/skin_widget.h"

namespace tolvane::ui {

constexpr uint32_t kMenuTopGroup = 255;
constexpr size_t kMaxMenuItems = 50;

struct MenuItem {
  uint32_t group = kMenuTopGroup;  // 255 top level, else index of the item owning it
  uint32_t value = 0;              // returned with WM_MENU_PICK
  QString text;                    // at most 40 UTF-16 code units
};

// The menu pictures, decoded once for the whole application.
struct MenuPictures {
  QImage item, itemOver, sub, subOver;
  bool loaded = false;
};
// Decodes "menu_nr.png", "menu_ov.png", "menusub_nr.png", "menusub_ov.png"
// from the skins folder (again, when called again).
void LoadMenuPictures();
void ReleaseMenuPictures();
const MenuPictures& GetMenuPictures();

class CMenuDlg : public SkinWidget {
  Q_OBJECT
 public:
  struct Options {
    int width = 100;
    QPoint pos;               // global top-left
    uint32_t clrNr = 0xC8C8C8, clrOv = 0xFFFFFF;
    intptr_t tag = 0;
    int border = 1;
    int textX = 0;
  };
  // Closes the open menu and opens a new one; picks go to `owner` as
  // WM_MENU_PICK (value, tag). The menu deletes itself when closed.
  static CMenuDlg* Open(QObject* owner, std::vector<MenuItem> items, const Options& opt);
  static void CloseOpen();
  static CMenuDlg* Current();
  // The menu as it paints, with item `hovered` under the mouse, without
  // opening it.
  static QImage Preview(std::vector<MenuItem> items, const Options& opt, int hovered);

  ~CMenuDlg() override;

  int ItemHeight() const { return itemH_; }
  int Hovered() const { return hovered_; }
  CMenuDlg* Submenu() const { return sub_; }
  bool IsSubmenu() const { return isSub_; }
  // Rectangle of item i in the menu (empty for items shown in the submenu).
  QRect ItemRect(size_t i) const { return i < rects_.size() ? rects_[i] : QRect(); }
  size_t ItemCount() const { return items_.size(); }
  // Number of items whose group is `pos` (the submenu of item pos).
  int SubCount(size_t pos) const;
  // Index of the item under `p` (menu coordinates), or -1.
  int HitTest(const QPoint& p) const;

  // Mouse handling, in menu coordinates (the popup routes events over an
  // open submenu to it).
  void HandleMove(const QPoint& p);
  void HandleRelease(const QPoint& p);

 protected:
  void PaintBuffer(QPainter& p) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool event(QEvent* e) override;

 private:
  CMenuDlg(QObject* owner, std::vector<MenuItem> items, const Options& opt, bool isSub);
  bool Owns(size_t i) const { return !isSub_ && SubCount(i) > 0; }
  void OpenSub(size_t i);
  void CloseSub();
  CMenuDlg* SubAt(const QPoint& globalPos) const;

  QObject* owner_;
  std::vector<MenuItem> items_;
  std::vector<QRect> rects_;
  Options opt_;
  bool isSub_;
  int itemH_ = 0;
  int hovered_ = -1;
  QPointer<CMenuDlg> sub_;
  uint32_t fill_ = 0x2F2A29, frame_ = 0x6A6061, hoverFill_ = 0x403839;
};

}  // namespace tolvane::ui
