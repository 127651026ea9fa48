// The DPI and performance page CAdvDlg: the DPI levels (two-thumb bars, value
// labels with the number prompt, colour swatches, the current-level
// selectors), the level count, X/Y separation, report rate, lift-off
// distance, ripple, angle snapping, the DPI light and the desktop's pointer
// settings. Every change goes through Program::Edit; the page then shows the
// record again.
#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "platform/pointer_settings.h"
#include "profile/profile_file.h"
#include "ui/settings_page.h"

namespace tolvane::ui {

class CColorDlg;
class CComboBtn;
class CPngBtn;
class CPngHSliderBarEx;
class CPngSliderBar;
class Chooser;

class CAdvDlg : public SettingsPage {
  Q_OBJECT
 public:
  // The number prompt: title, range; nothing on cancel.
  using NumberFn = std::function<std::optional<int>(const QString& title, int lo, int hi)>;
  CAdvDlg(QWidget* parent, Program& program, PointerSettings& pointer, Chooser& chooser);

  void OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void Refresh() override;
  void Relabel() override;

  void SetNumberPrompt(NumberFn fn) { number_ = std::move(fn); }

  // What the controls do (the event handlers call these).
  void ReleaseLevel(int level, int thumb, int value);
  void EnterDpi(int level, bool yValue);
  void PickLevelColor(int level);
  void ChooseLevel(int level);
  void ChooseLevelCount(int count);
  void ToggleSeparate();
  void ChooseRate(int radio);
  void ChooseLiftOff(int lod);
  void ToggleRipple();
  void ToggleAngleSnapping();
  void ChooseDpiEffect(int mode);
  void ReleaseDpiLight(bool speed, int value);
  void ReleasePointerSpeed(int value);
  void ReleaseScrollLines(int value);
  void ReleaseDoubleClick(int value);
  void TogglePrecision();
  void TogglePagePerNotch();

  // The parts, for tests and screenshots.
  CPngHSliderBarEx* LevelBar(int i) const { return levels_[size_t(i)].bar; }
  CPngBtn* XLabel(int i) const { return levels_[size_t(i)].x; }
  CPngBtn* YLabel(int i) const { return levels_[size_t(i)].y; }
  CColorDlg* Swatch(int i) const { return levels_[size_t(i)].swatch; }
  CPngBtn* Selector(int i) const { return levels_[size_t(i)].selector; }
  CComboBtn* LevelCount() const { return count_; }
  CPngBtn* SeparateCheck() const { return separate_; }
  const std::vector<CPngBtn*>& RateButtons() const { return rates_; }
  CPngBtn* LiftOffRadio(int i) const { return lod_[size_t(i)]; }
  CPngBtn* RippleToggle() const { return ripple_; }
  CPngBtn* AngleSnappingToggle() const { return fixLine_; }
  QRect LiftOffTitle() const;  // the box its title is centred in
  // The rate radio checked now (its Hz), 0 for none.
  int ShownRateHz() const;
  CPngSliderBar* PointerSpeed() const { return speed_; }
  CPngSliderBar* ScrollLines() const { return scroll_; }
  CPngSliderBar* DoubleClick() const { return dblClick_; }
  CPngBtn* PrecisionToggle() const { return precision_; }
  CPngBtn* PageToggle() const { return page_; }
  CPngSliderBar* DpiBrightness() const { return dpiBright_; }
  CPngSliderBar* DpiSpeed() const { return dpiSpeed_; }
  const SysMouseSettings& PointerCopy() const { return pointerCopy_; }
  std::vector<int> DpiTable() const { return dpiTable_; }

 protected:
  void PaintBuffer(QPainter& p) override;
  bool OnUiMessage(UiMessageEvent& m) override;

 private:
  struct Level {
    CPngHSliderBarEx* bar = nullptr;
    CPngBtn* x = nullptr;
    CPngBtn* y = nullptr;
    CColorDlg* swatch = nullptr;
    CPngBtn* selector = nullptr;
    int top = 0;
  };
  void Build();
  void BuildForModel();
  void EditPointerCopy();
  void ShowLevels(int count, bool separate);
  void ShowDpiLight(int mode);
  bool FourK() const;

  PointerSettings& pointer_;
  Chooser& chooser_;
  NumberFn number_;
  std::vector<int> dpiTable_;
  std::array<Level, kProfileDpiLevels> levels_{};
  CComboBtn* count_ = nullptr;
  CPngBtn* separate_ = nullptr;
  std::vector<CPngBtn*> rates_;
  std::vector<int> rateHz_;
  std::array<CPngBtn*, 2> lod_{};
  CPngBtn* ripple_ = nullptr;
  CPngBtn* fixLine_ = nullptr;
  CPngSliderBar* speed_ = nullptr;
  CPngSliderBar* scroll_ = nullptr;
  CPngSliderBar* dblClick_ = nullptr;
  CPngBtn* precision_ = nullptr;
  CPngBtn* page_ = nullptr;
  std::array<CPngBtn*, 3> dpiEft_{};
  CPngSliderBar* dpiBright_ = nullptr;
  CPngSliderBar* dpiSpeed_ = nullptr;
  CPngBtn* scrollLabel_ = nullptr;
  CPngBtn* dblClickLabel_ = nullptr;
  CPngBtn* dpiBrightLabel_ = nullptr;
  CPngBtn* dpiSpeedLabel_ = nullptr;
  SysMouseSettings pointerCopy_;
  bool separateOn_ = false;
  int shownCount_ = 0;
  int liftOffShift_ = 0;
};

}  // namespace tolvane::ui
