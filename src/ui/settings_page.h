// What the DPI and the lighting page have in common: the program whose
// current record they edit, the page background their skinned controls are
// cut from, the controls made on it, how a refused edit is told and whether
// the current mouse is on a wire.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>

#include "profile/profile_edit.h"
#include "ui/program_page.h"
#include "ui/skin_widget.h"

namespace tolvane {
class Program;
}

namespace tolvane::ui {

class CPngBtn;
class CPngSliderBar;
class UiMessageEvent;

class SettingsPage : public SkinWidget, public ProgramPage {
  Q_OBJECT
 public:
  using MessageFn = std::function<void(const QString&)>;
  using EditFn = std::function<EditResult(ProfileFile&, const EditModel&)>;
  void SetMessageFn(MessageFn fn) { message_ = std::move(fn); }

 protected:
  // `background`: the page's skin picture, cut to the page rectangle.
  SettingsPage(QWidget* parent, Program& program, const char* background);

  // A message of the page's controls; false when it is none of the page's.
  // Presses on sliders ask the gate first, and the page answers them here.
  virtual bool OnUiMessage(UiMessageEvent& m) = 0;
  bool event(QEvent* e) override;

  // The core events after which the record may differ from what is shown.
  static bool RecordMayHaveChanged(uint32_t msg);
  // Program::Edit with `fn`; a refusal of the edit function is told (the
  // program tells the gate's own refusals), and the page shows the record
  // again either way. False when refused.
  bool Edit(const EditFn& fn);
  // The current mouse is connected by wire (its product id is a wired one).
  bool Wired() const;
  // A one-thumb slider of `width` with the page's bar and thumb heights.
  CPngSliderBar* MakeSlider(const QPoint& at, int width, int lo, int hi, uint32_t id);
  // A picture button (`toggle`: a check or radio) on the page background.
  CPngBtn* MakeButton(const QRect& r, const char* nr, const char* dn, bool toggle);
  // A rectangle from its edges, right and bottom exclusive.
  static QRect Box(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

  Program& program_;
  MessageFn message_;
  QImage bg_;
  const DevCfg* model_ = nullptr;  // the model the page is built for
  uint32_t txtColor_ = 0xE8E2DE;
};

}  // namespace tolvane::ui
