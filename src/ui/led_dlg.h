// The lighting page CLedDlg: main and logo effects with their brightness and
// speed, the colour (picture, preset grid, R/G/B edits, swatch and code),
// light sleep and turn-off-while-moving. Changes go through Program::Edit; a
// PRO device is first asked, off the window's thread, whether it takes
// lighting changes now, and a refused change never reaches the record.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "profile/profile_edit.h"
#include "ui/program_page.h"
#include "ui/skin_widget.h"

class QLineEdit;

namespace tolvane {
class Program;
}

namespace tolvane::ui {

class CColorDlg;
class CComboBtn;
class CPngBtn;
class CPngSliderBar;

class CLedDlg : public SkinWidget, public ProgramPage {
  Q_OBJECT
 public:
  using MessageFn = std::function<void(const QString&)>;
  CLedDlg(QWidget* parent, Program& program);
  ~CLedDlg() override;

  void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void Refresh() override;
  void Relabel() override;
  void SetMessageFn(MessageFn fn) { message_ = std::move(fn); }

  // What the controls do.
  void ChooseMainEffect(int mode);
  void ChooseLogoEffect(int mode);
  // `logo`: the logo light's slider; `speed`: the speed slider.
  void ReleaseSlider(bool logo, bool speed, int value);
  // A press on the page: the colour picture or a grid cell picks a colour.
  // False when the point is neither (the window may be moved instead).
  bool PressAt(const QPoint& pos);
  // One colour picked: gate, record and one write with this colour.
  void PickColor(uint32_t color);
  // The R/G/B edits: typing shows the colour; finishing the edit writes it.
  void TypeChannel(int channel, const QString& text);
  void FinishChannels();
  void ChooseSleep(int seconds);
  void ToggleLightOffOnMove();
  // True while a device check for a lighting change is running.
  bool Checking() const { return checking_; }

  // The parts, for tests and screenshots.
  CComboBtn* MainEffect() const { return mainEft_; }
  CComboBtn* LogoEffect() const { return logoEft_; }
  CPngSliderBar* MainBrightness() const { return mainBright_; }
  CPngSliderBar* MainSpeed() const { return mainSpeed_; }
  CPngSliderBar* LogoBrightness() const { return logoBright_; }
  CPngSliderBar* LogoSpeed() const { return logoSpeed_; }
  CColorDlg* Swatch() const { return swatch_; }
  QLineEdit* ChannelEdit(int i) const { return rgb_[i]; }
  CPngBtn* ColorLabel() const { return code_; }
  CComboBtn* Sleep() const { return sleep_; }
  CPngBtn* OffOnMove() const { return offMove_; }
  QRect PictureRect() const;
  QRect GridCell(int i) const;
  QString Title() const;

 protected:
  void PaintBuffer(QPainter& p) override;
  bool event(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Build();
  void ShowColor(uint32_t color, bool edits);
  void ShowPicked(uint32_t color, bool edits);  // with the colour code
  void ShowEffects(const ProfileFile& f);
  bool Wired() const;
  // Gate, then (for a PRO device) the device check on a worker, then the edit.
  void EditLight(LightEdit e);
  void RunEdit(const LightEdit& e);
  void StartCheck();
  void CheckDone(bool refused);
  bool EditNow(const std::function<EditResult(ProfileFile&, const EditModel&)>& fn);
  CPngSliderBar* MakeSlider(const QPoint& at, int lo, int hi, uint32_t id);

  Program& program_;
  MessageFn message_;
  QImage bg_, picture_;
  const DevCfg* model_ = nullptr;
  CComboBtn* mainEft_ = nullptr;
  CComboBtn* logoEft_ = nullptr;
  CPngSliderBar* mainBright_ = nullptr;
  CPngSliderBar* mainSpeed_ = nullptr;
  CPngSliderBar* logoBright_ = nullptr;
  CPngSliderBar* logoSpeed_ = nullptr;
  CColorDlg* swatch_ = nullptr;
  QLineEdit* rgb_[3] = {};
  CPngBtn* code_ = nullptr;
  CComboBtn* sleep_ = nullptr;
  CPngBtn* offMove_ = nullptr;
  bool colorShown_ = false;
  uint32_t typed_ = 0;
  bool typedPending_ = false;
  uint32_t txtColor_ = 0xE8E2DE;
  // The device check: one at a time; a change made meanwhile waits, and only
  // the latest waiting change is kept.
  bool checking_ = false;
  std::optional<LightEdit> inCheck_, waiting_;
  std::thread worker_;
};

}  // namespace tolvane::ui
