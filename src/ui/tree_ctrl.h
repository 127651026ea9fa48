// CTreeCtrlEx: the skinned tree of the macro page and the macro picker, and
// CTreeCtrlExRk, which adds the delete and modify pictures on the row under
// the mouse. The control paints rows it is given (the caller flattens its
// tree, folders open or closed) and reports the user's clicks to its parent
// as numbered messages: wParam = the control id, lParam = the row's item
// (0 for empty space).
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

#include "ui/skin_widget.h"

namespace tolvane::ui {

constexpr uint32_t WM_TREE_DBLCLK = 0x0591;
constexpr uint32_t WM_TREE_RCLICK = 0x0592;
constexpr uint32_t WM_TREE_CLICK = 0x0594;
constexpr uint32_t WM_TREE_DELETE = 0x0595;
constexpr uint32_t WM_TREE_MODIFY = 0x0598;

struct TreeRow {
  uint32_t item = 0;  // what the row stands for (never 0)
  int depth = 0;      // 0 at the top level
  QString text;
  QImage icon;
  bool folder = false;
  bool expanded = false;
};

class CTreeCtrlEx : public SkinWidget {
  Q_OBJECT
 public:
  static constexpr int kIndent = 18;

  CTreeCtrlEx(QWidget* parent, uint16_t ctrlId);

  void SetRows(std::vector<TreeRow> rows);
  const std::vector<TreeRow>& Rows() const { return rows_; }
  // Selects the row of `item` (0: nothing) and scrolls it into view.
  void SetSelected(uint32_t item);
  uint32_t Selected() const { return selected_; }
  // While off, every mouse button is swallowed (the page records).
  void SetInputEnabled(bool on) { inputEnabled_ = on; }
  bool InputEnabled() const { return inputEnabled_; }
  void SetBackground(const QImage& cut) { bg_ = cut; update(); }
  // Colours 0x00BBGGRR; a frame colour of 0 draws no frame.
  void SetColors(uint32_t fill, uint32_t text, uint32_t selection, uint32_t frame);
  void SetFolderPictures(const QImage& open, const QImage& closed);
  void SetItemHeight(int h) { itemH_ = h > 0 ? h : itemH_; update(); }
  int ItemHeight() const { return itemH_; }
  uint16_t CtrlId() const { return id_; }

  // Row index under `pos` (control coordinates), -1 for empty space.
  int RowAt(QPoint pos) const;
  QRect RowRect(int row) const;
  int RowOf(uint32_t item) const;
  int Scroll() const { return scroll_; }

 signals:
  // A folder row was opened or closed (its expander or a double-click).
  void folderToggled(uint32_t item);

 protected:
  void PaintBuffer(QPainter& p) override;
  virtual void PaintHovered(QPainter&, const QRect&) {}
  // After a left press selected row `row`: the delete and modify pictures.
  virtual void PressedOnRow(int, QPoint) {}
  void Notify(uint32_t msg, uint32_t item);
  int Hovered() const { return hovered_; }

  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  int MaxScroll() const;
  void ScrollTo(int row);

  uint16_t id_;
  std::vector<TreeRow> rows_;
  uint32_t selected_ = 0;
  int hovered_ = -1;
  int scroll_ = 0;  // first row shown
  int itemH_ = 34;
  bool inputEnabled_ = true;
  QImage bg_, open_, closed_;
  uint32_t fill_ = 0x231F1E, text_ = 0xC8C8C8, selection_ = 0x4A4040, frame_ = 0;
};

class CTreeCtrlExRk : public CTreeCtrlEx {
  Q_OBJECT
 public:
  CTreeCtrlExRk(QWidget* parent, uint16_t ctrlId);
  // Where the delete and modify pictures sit on row `row`.
  QRect DeleteRect(int row) const;
  QRect ModifyRect(int row) const;

 protected:
  void PaintHovered(QPainter& p, const QRect& row) override;
  void PressedOnRow(int row, QPoint pos) override;

 private:
  QImage del_, modify_;
};

}  // namespace tolvane::ui
