// Colours: the chooser the pages open (the platform's colour dialog in the
// program, a scripted one in tests) and the colour swatch CColorDlg.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "ui/skin_widget.h"

namespace tolvane::ui {

// The dialogs a page opens to let the user pick something.
class Chooser {
 public:
  virtual ~Chooser() = default;
  // The colour dialog, opened with `initial` (0x00BBGGRR); nothing on cancel.
  virtual std::optional<uint32_t> ChooseColor(QWidget* parent, uint32_t initial) = 0;
};

// The platform's dialogs.
class DialogChooser : public Chooser {
 public:
  std::optional<uint32_t> ChooseColor(QWidget* parent, uint32_t initial) override;
};

// A colour swatch: the colour fills the client area less a 2-pixel margin; a
// selected swatch is framed in white. A click opens the chooser (when one is
// set); the chosen colour is offered to `accept`, which answers whether it
// was taken (the page passes it through the gate and the record), and the
// swatch shows it only then.
class CColorDlg : public SkinWidget {
  Q_OBJECT
 public:
  using AcceptFn = std::function<bool(uint32_t color)>;
  CColorDlg(QWidget* parent, int index);
  int Index() const { return index_; }
  void SetColor(uint32_t color) { color_ = color & 0xFFFFFF; update(); }
  uint32_t Color() const { return color_; }
  void SetSelected(bool on) { selected_ = on; update(); }
  bool Selected() const { return selected_; }
  // Null: a click only selects.
  void SetChooser(Chooser* chooser) { chooser_ = chooser; }
  void SetAccept(AcceptFn fn) { accept_ = std::move(fn); }
  // What a click does: the chooser, then `accept`, then the new colour.
  // True when the colour changed.
  bool Pick();

 signals:
  void clicked(int index);

 protected:
  void PaintBuffer(QPainter& p) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  int index_;
  uint32_t color_ = 0;
  bool selected_ = false;
  Chooser* chooser_ = nullptr;
  AcceptFn accept_;
};

}  // namespace tolvane::ui
