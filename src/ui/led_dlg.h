// The lighting page CLedDlg: main and logo effects with their brightness and
// speed, the colour (picture, preset grid, R/G/B edits, swatch and code),
// light sleep and turn-off-while-moving. Changes go through Program::Edit; a
// PRO device is first asked by the program, off the window's thread, whether
// it takes lighting changes now (the answer comes as an event), and a refused
// change never reaches the record.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

#include "ui/settings_page.h"

class QLineEdit;

namespace tolvane::ui {

class CColorDlg;
class CComboBtn;
class CPngBtn;
class CPngSliderBar;

class CLedDlg : public SettingsPage {
  Q_OBJECT
 public:
  CLedDlg(QWidget* parent, Program& program);

  void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void Refresh() override;
  void Relabel() override;

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
  bool Checking() const { return check_.has_value(); }

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
  CComboBtn* SleepCombo() const { return sleep_; }
  CPngBtn* OffOnMove() const { return offMove_; }
  QRect PictureRect() const;
  QRect GridCell(int i) const;
  QString Title() const;

 protected:
  void PaintBuffer(QPainter& p) override;
  bool OnUiMessage(UiMessageEvent& m) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Build();
  void ShowColor(uint32_t color, bool edits);
  void ShowPicked(uint32_t color, bool edits);  // with the colour code
  void ShowEffects(const ProfileFile& f);
  // Gate, then (for a PRO device) the program's check whether the mouse
  // takes lighting changes now, then the edit.
  void EditLighting(EditFn fn);
  void EditLight(const LightEdit& e);
  void StartCheck();
  void CheckDone(bool refused);
  CPngSliderBar* MakeSlider(const QPoint& at, int lo, int hi, uint32_t id);

  QImage picture_;
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
  // The device check: one at a time (its ticket); a change made meanwhile
  // waits, and only the latest waiting change is kept.
  std::optional<uint64_t> check_;
  EditFn inCheck_, waiting_;
};

}  // namespace tolvane::ui
