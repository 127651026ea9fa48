#include "ui/adv_dlg.h"

#include <QPainter>

#include "app/log.h"
#include "config/catalogue.h"
#include "config/sensor.h"
#include "device/hid_dev.h"
#include "profile/profile_device.h"
#include "program/program.h"
#include "ui/adv_logic.h"
#include "ui/color_dlg.h"
#include "ui/factories.h"
#include "ui/msg_dlg.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

constexpr int kBarWidth = 650;
constexpr uint32_t kIdPointerSpeed = 129, kIdDoubleClick = 130, kIdScroll = 132;
constexpr uint32_t kIdDpiLight = 272, kIdDpiSpeed = 273, kIdLevelBar = 144;
constexpr int kDpiEffects[3] = {1, 2, 0};
constexpr const char* kDpiEffectText[3] = {"tc_led_mode1", "tc_led_mode2", "tc_led_mode7"};

QString Num(int v) { return QString::number(v); }

}  // namespace

CAdvDlg::CAdvDlg(QWidget* parent, Program& program, PointerSettings& pointer, Chooser& chooser)
    : SettingsPage(parent, program, "adv_nr.png"), pointer_(pointer), chooser_(chooser) {
  number_ = [this](const QString& title, int lo, int hi) -> std::optional<int> {
    CMsgDlg dlg(this, CMsgDlg::kNumber, QString(), title);
    dlg.SetRange(lo, hi);
    if (dlg.exec() != 1) return std::nullopt;
    return dlg.Number();
  };
  const PointerValues v = pointer_.Current();
  pointerCopy_ = {v.nScrollLines, v.nDoubleClickTime, v.nPointerSpeed, v.bEnhancePrecision ? 1 : 0,
                  v.nTrails};
  Build();
  Refresh();
}

void CAdvDlg::Build() {
  const OptCfg& opt = g_Catalogue().opt;
  const int x = opt.ptDpiBar.x;
  for (int i = 0; i < kProfileDpiLevels; ++i) {
    Level& l = levels_[size_t(i)];
    l.bar = new CPngHSliderBarEx(this);
    if (!NewSmallPngHSliderBarEx(bg_, QStringLiteral("slider2.png"), this,
                                 QStringLiteral("slider.png"), l.bar, kIdLevelBar + uint32_t(i),
                                 QPoint(0, Style().dpiBarY), QRect(x, 0, kBarWidth, 14))) {
      delete l.bar;
      l.bar = nullptr;
    }
    for (CPngBtn** b : {&l.x, &l.y}) {
      *b = MakeButton(QRect(0, 0, 60, 20), "dpi_input.png", "dpi_input.png", false);
      if (*b) {
        (*b)->SetDblClkNotify(true);
        (*b)->SetTextColors(txtColor_, txtColor_, txtColor_);
      }
    }
    l.swatch = new CColorDlg(this, i);
    l.swatch->SetChooser(&chooser_);
    l.swatch->SetAccept([this, i](uint32_t c) {
      return Edit([i, c](ProfileFile& f, const EditModel& m) { return EditDpiColor(f, m, i, c); });
    });
    l.selector = MakeButton(QRect(0, 0, 21, 21), "radio_nr.png", "radio_dn.png", true);
    if (l.selector) connect(l.selector, &CPngBtn::clicked, this, [this, i] { ChooseLevel(i); });
  }
  const QString countPic = QStringLiteral("combo2_nr.png");
  count_ = NewSkinButton<CComboBtn>(this, bg_, QRect(858, 18, 97, 32), countPic, countPic, countPic);
  if (count_) {
    count_->SetVeto([this](uint32_t) { return program_.CanChangeSettings() != 0; });
    connect(count_, &CPngBtn::clicked, this,
            [this] { ChooseLevelCount(int(count_->GetSelectedValue())); });
  }
  separate_ = MakeButton(QRect(x, 0, 21, 21), "check_nr.png", "check_dn.png", true);
  if (separate_) connect(separate_, &CPngBtn::clicked, this, &CAdvDlg::ToggleSeparate);

  for (int i = 0; i < 2; ++i) {
    lod_[size_t(i)] = MakeButton(QRect(587 + 96 * i, 342, 13, 13), "radio_nr.png", "radio_dn.png",
                                 true);
    if (lod_[size_t(i)])
      connect(lod_[size_t(i)], &CPngBtn::clicked, this, [this, i] { ChooseLiftOff(i + 1); });
  }
  ripple_ = MakeButton(QRect(779, 342, 13, 13), "radio_nr.png", "radio_dn.png", true);
  fixLine_ = MakeButton(QRect(892, 342, 13, 13), "radio_nr.png", "radio_dn.png", true);
  if (ripple_) connect(ripple_, &CPngBtn::clicked, this, &CAdvDlg::ToggleRipple);
  if (fixLine_) connect(fixLine_, &CPngBtn::clicked, this, &CAdvDlg::ToggleAngleSnapping);

  speed_ = MakeSlider(QPoint(opt.ptMoveSpeed.x, opt.ptMoveSpeed.y), 215, 1, 11, kIdPointerSpeed);
  scroll_ = MakeSlider(QPoint(opt.ptScrollSpeed.x, opt.ptScrollSpeed.y), 215, 1, 10, kIdScroll);
  dblClick_ =
      MakeSlider(QPoint(opt.ptDbClickSpeed.x, opt.ptDbClickSpeed.y), 215, 1, 11, kIdDoubleClick);
  if (speed_) speed_->SetValueTable(PointerSpeedTable());
  if (scroll_) scroll_->SetValueTable(ScrollLinesTable());
  if (dblClick_) dblClick_->SetValueTable(DoubleClickTable());
  auto below = [this](CPngSliderBar* s) { return s ? s->geometry().bottom() + 9 : 0; };
  precision_ = MakeButton(QRect(60, below(speed_), 13, 13), "radio_nr.png", "radio_dn.png", true);
  page_ = MakeButton(QRect(60, below(scroll_), 13, 13), "radio_nr.png", "radio_dn.png", true);
  if (precision_) connect(precision_, &CPngBtn::clicked, this, &CAdvDlg::TogglePrecision);
  if (page_) connect(page_, &CPngBtn::clicked, this, &CAdvDlg::TogglePagePerNotch);
  auto valueLabel = [this](CPngSliderBar* s) -> CPngBtn* {
    if (!s) return nullptr;
    auto* b = new CPngBtn(this);
    const QRect g = s->geometry();
    // Wide enough for the four digits of a double-click time.
    b->setGeometry(QRect(QPoint(g.right() + 13, g.top() - 2), QPoint(g.right() + 52, g.top() + 15)));
    b->SetTextColors(txtColor_, txtColor_, txtColor_);
    b->SetBkPicture(CutBackground(bg_, b->geometry()));
    b->show();
    return b;
  };
  scrollLabel_ = valueLabel(scroll_);
  dblClickLabel_ = valueLabel(dblClick_);

  for (int i = 0; i < 3; ++i) {
    dpiEft_[size_t(i)] = MakeButton(QRect(opt.ptDpiEft.x + 100 * i, opt.ptDpiEft.y, 13, 13),
                                    "radio_nr.png", "radio_dn.png", true);
    if (dpiEft_[size_t(i)])
      connect(dpiEft_[size_t(i)], &CPngBtn::clicked, this,
              [this, i] { ChooseDpiEffect(kDpiEffects[i]); });
  }
  dpiBright_ = MakeSlider(QPoint(opt.ptDpiLight.x, opt.ptDpiLight.y), 300, 0, 9, kIdDpiLight);
  dpiSpeed_ = MakeSlider(QPoint(opt.ptDpiSpeed.x, opt.ptDpiSpeed.y), 300, 0, 4, kIdDpiSpeed);
  dpiBrightLabel_ = valueLabel(dpiBright_);
  dpiSpeedLabel_ = valueLabel(dpiSpeed_);

  // Greyed out what this desktop does not let us set.
  const PointerCapabilities caps = pointer_.Capabilities();
  if (speed_) speed_->setEnabled(caps.CanSet(kPointerSpeed));
  if (precision_) precision_->setEnabled(caps.CanSet(kPointerPrecision));
  if (scroll_) scroll_->setEnabled(caps.CanSet(kPointerScrollLines));
  if (page_) page_->setEnabled(caps.CanSet(kPointerScrollPage));
  if (dblClick_) dblClick_->setEnabled(caps.CanSet(kPointerDoubleClick));
}

bool CAdvDlg::FourK() const {
  const int cur = program_.Current();
  for (const DevEntryView& v : program_.Devices())
    if (int(v.nIndex) == cur && v.pDev) return v.pDev->b4KDevice != 0;
  return false;
}

void CAdvDlg::BuildForModel() {
  model_ = program_.CurrentModel();
  dpiTable_.clear();
  if (model_)
    if (const SensorCfg* t = g_Catalogue().sensors.Find(model_->nSensor))
      dpiTable_.assign(t->nDpi, t->nDpi + std::min(t->nCount, kMaxSensorDpi));
  const OptCfg& opt = g_Catalogue().opt;
  const int x = opt.ptDpiBar.x;
  const int h = model_ && model_->nDPIH ? int(model_->nDPIH) : 15;
  const int n = model_ ? model_->DpiLevels() : 0;
  for (int i = 0; i < kProfileDpiLevels; ++i) {
    Level& l = levels_[size_t(i)];
    l.top = opt.ptDpiBar.y + i * (h + 14);
    if (l.bar) {
      l.bar->move(x, l.top);
      if (!dpiTable_.empty()) {
        l.bar->SetRange(0, int(dpiTable_.size()) - 1);
        l.bar->SetValueTable(dpiTable_);
        l.bar->EvenScale();
      }
    }
    if (l.x) l.x->move(x + kBarWidth + 12, l.top - 3);
    if (l.y) l.y->move(x + kBarWidth + 78, l.top - 3);
    l.swatch->setGeometry(Box(x - 41, l.top - 4, x - 21, l.top + 16));
    if (l.selector) l.selector->move(x - 130, l.top - 2);
  }
  if (separate_) separate_->move(x, (n > 0 ? levels_[size_t(n - 1)].top + 14 : opt.ptDpiBar.y) + 15);
  if (count_) {
    count_->ClearItems(0);
    for (int i = 1; i <= n; ++i) count_->AddItem(0, uint32_t(i), Num(i));
  }
  for (CPngBtn* b : rates_) delete b;
  rates_.clear();
  rateHz_.clear();
  const bool fourK = FourK();
  const int startX = fourK ? 143 : 163;
  // Six rate radios 77 apart run into the lift-off group: with it shown they
  // are packed closer and the group moves right, clear of the ripple toggle.
  const bool packed = fourK && model_ && model_->bShowLOD;
  const int step = packed ? 66 : 77;
  liftOffShift_ = packed ? 30 : 0;
  for (int i = 0; i < 2; ++i)
    if (lod_[size_t(i)]) lod_[size_t(i)]->move(587 + 96 * i + liftOffShift_, 342);
  const std::vector<RateRadio> radios = RateRadios(fourK);
  for (size_t i = 0; i < radios.size(); ++i) {
    CPngBtn* b = MakeButton(QRect(startX + step * int(i), 344, 13, 13), "radio_nr.png",
                            "radio_dn.png", true);
    if (!b) continue;
    const int idx = int(i);
    connect(b, &CPngBtn::clicked, this, [this, idx] { ChooseRate(idx); });
    rates_.push_back(b);
    rateHz_.push_back(radios[i].hz);
  }
}

void CAdvDlg::ShowLevels(int count, bool separate) {
  const bool dpi = model_ && model_->bShowDpi;
  const bool colors = dpi && model_->bShowDpiColor;
  const bool xy = dpi && model_->bShowXY;
  const int n = model_ ? model_->DpiLevels() : 0;
  for (int i = 0; i < kProfileDpiLevels; ++i) {
    const Level& l = levels_[size_t(i)];
    const bool on = dpi && i < n && i < count;
    if (l.bar) {
      l.bar->setVisible(on);
      l.bar->SetThumbPictures(LoadSkinPicture(separate ? QStringLiteral("slider1.png")
                                                       : QStringLiteral("slider.png")),
                              LoadSkinPicture(QStringLiteral("slider2.png")));
      l.bar->SetSeparate(separate);
      l.bar->ShowSecond(separate);
    }
    if (l.x) l.x->setVisible(on);
    if (l.y) l.y->setVisible(on && xy && separate);
    l.swatch->setVisible(on && colors);
    if (l.selector) l.selector->setVisible(on);
  }
  if (count_) count_->setVisible(dpi);
  if (separate_) separate_->setVisible(xy);
  shownCount_ = count;
  update(QRect(0, 0, width(), 320));
}

void CAdvDlg::ShowDpiLight(int mode) {
  const bool shown = model_ && model_->bShowDpi && model_->bShowDpiLED;
  for (int i = 0; i < 3; ++i)
    if (dpiEft_[size_t(i)]) {
      dpiEft_[size_t(i)]->setVisible(shown);
      dpiEft_[size_t(i)]->SetCheck(kDpiEffects[i] == mode);
    }
  // A slider that does not belong to the effect keeps its track only.
  for (auto [s, on] : {std::pair{dpiBright_, mode == 1}, std::pair{dpiSpeed_, mode == 2}})
    if (s) {
      s->setVisible(shown);
      s->SetDisabled(false, !on);
      s->Thumb()->setVisible(on);
      s->setAttribute(Qt::WA_TransparentForMouseEvents, !on);
    }
  if (dpiBrightLabel_) dpiBrightLabel_->setVisible(shown && mode == 1);
  if (dpiSpeedLabel_) dpiSpeedLabel_->setVisible(shown && mode == 2);
}

QRect CAdvDlg::LiftOffTitle() const { return Box(500 + liftOffShift_, 334, 582 + liftOffShift_, 364); }

int CAdvDlg::ShownRateHz() const {
  for (size_t i = 0; i < rates_.size(); ++i)
    if (rates_[i]->GetCheck()) return rateHz_[i];
  return 0;
}

void CAdvDlg::Refresh() {
  if (program_.CurrentModel() != model_ || dpiTable_.empty() ||
      int(rates_.size()) != int(RateRadios(FourK()).size()))
    BuildForModel();
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f || !model_) {
    ShowLevels(0, false);
    update();
    return;
  }
  separateOn_ = f->nDpiMode != 0 && model_->bShowXY;
  if (separate_) separate_->SetCheck(separateOn_);
  const int n = model_->DpiLevels();
  int count = f->nDpiLevels;
  if (count_ && !count_->SelectValue(uint32_t(count))) {
    count = n;
    count_->SelectValue(uint32_t(n));
  }
  for (int i = 0; i < n; ++i) {
    Level& l = levels_[size_t(i)];
    const int xv = int(f->Dpi[i].dwDpiX), yv = int(separateOn_ ? f->Dpi[i].dwDpiY : f->Dpi[i].dwDpiX);
    if (l.bar) {
      l.bar->SetPos(1, xv);
      if (separateOn_) l.bar->SetPos(2, yv);
    }
    if (l.x) l.x->SetCaption(Num(xv));
    if (l.y) l.y->SetCaption(Num(yv));
    l.swatch->SetColor(f->Dpi[i].dwColor);
  }
  ShowLevels(count, separateOn_);
  const int cur = program_.CurDpiLevel();
  for (int i = 0; i < kProfileDpiLevels; ++i)
    if (levels_[size_t(i)].selector) levels_[size_t(i)].selector->SetCheck(i == cur);

  ShowDpiLight(f->DpiLight.nMode);
  if (dpiBright_) dpiBright_->SetPos(std::clamp(f->DpiLight.nBright, 0, 9));
  if (dpiSpeed_) dpiSpeed_->SetPos(std::clamp(f->DpiLight.nSpeed, 0, 4));
  if (dpiBrightLabel_) dpiBrightLabel_->SetCaption(Num(dpiBright_->GetPos() + 1));
  if (dpiSpeedLabel_) dpiSpeedLabel_->SetCaption(Num(dpiSpeed_->GetPos() + 1));

  // The pointer controls show the profile's settings, so that a later write
  // never puts an older copy over what a read or an import brought.
  pointerCopy_ = f->SysMouse;
  const bool sys = g_Catalogue().opt.ShowSys != 0;
  const ScrollControls sc = ScrollToControls(pointerCopy_.nScrollLines);
  if (speed_) speed_->SetPos(SnapPointerValue(PointerSpeedTable(), pointerCopy_.nPointerSpeed));
  if (scroll_) scroll_->SetPos(sc.lines);
  if (dblClick_)
    dblClick_->SetPos(SnapPointerValue(DoubleClickTable(), pointerCopy_.nDoubleClickTime));
  if (precision_) precision_->SetCheck(pointerCopy_.bEnhancePrecision != 0);
  if (page_) page_->SetCheck(sc.pagePerNotch);
  if (scrollLabel_) scrollLabel_->SetCaption(Num(sc.lines));
  if (dblClickLabel_ && dblClick_) dblClickLabel_->SetCaption(Num(dblClick_->GetPos()));
  for (QWidget* w : std::initializer_list<QWidget*>{speed_, scroll_, dblClick_, precision_, page_,
                                                    scrollLabel_, dblClickLabel_})
    if (w) w->setVisible(sys);

  if (lod_[0]) lod_[0]->SetCheck(f->nLOD == 1);
  if (lod_[1]) lod_[1]->SetCheck(f->nLOD == 2);
  for (CPngBtn* b : lod_)
    if (b) b->setVisible(model_->bShowLOD);
  if (ripple_) {
    ripple_->SetCheck(f->nRipple != 0);
    ripple_->setVisible(model_->bShowRipple);
  }
  if (fixLine_) {
    fixLine_->SetCheck(f->nFixLine != 0);
    fixLine_->setVisible(model_->bShowFixLine);
  }
  // On a wire the mouse reports at 1000 Hz at most: the record is lowered
  // with it (no write of its own; the next write of the rate takes it).
  const uint32_t rate = ShownRate(f->dwPollingRate, Wired());
  if (rate != f->dwPollingRate)
    program_.Adjust([](ProfileFile& r, const EditModel&) {
      EditResult out;
      const uint32_t lowered = ShownRate(r.dwPollingRate, true);
      out.ok = lowered != r.dwPollingRate;
      r.dwPollingRate = lowered;
      return out;
    });
  const int radio = RateRadioOf(RateRadios(FourK()), rate);
  for (size_t i = 0; i < rates_.size(); ++i) {
    rates_[i]->SetCheck(int(i) == radio);
    rates_[i]->setVisible(model_->bShowUsbRate != 0);
  }
  update();
}

void CAdvDlg::Relabel() { update(); }

void CAdvDlg::OnCoreEvent(uint32_t msg, uintptr_t, intptr_t) {
  if (RecordMayHaveChanged(msg)) Refresh();
}

void CAdvDlg::ReleaseLevel(int level, int thumb, int value) {
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f || level < 0 || level >= kProfileDpiLevels) return;
  const LevelXY cur{int(f->Dpi[level].dwDpiX), int(f->Dpi[level].dwDpiY)};
  const std::optional<LevelXY> next = LevelAfterRelease(cur, separateOn_, thumb, value);
  if (!next) {
    Refresh();
    return;
  }
  Edit([level, n = *next](ProfileFile& r, const EditModel& m) {
    return EditDpi(r, m, level, n.x, n.y);
  });
}

void CAdvDlg::EnterDpi(int level, bool yValue) {
  if (dpiTable_.empty() || level < 0 || level >= kProfileDpiLevels) return;
  const int lo = dpiTable_.front(), hi = dpiTable_.back();
  const QString title =
      QString::fromStdString(DpiPromptTitle(UiText("tc_dpi").toStdString(), lo, hi));
  const std::optional<int> typed = number_(title, lo, hi);
  if (!typed) return;
  // The prompt ran its own loop: take the record as it is now.
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f) return;
  const LevelXY cur{int(f->Dpi[level].dwDpiX), int(f->Dpi[level].dwDpiY)};
  const std::optional<LevelXY> next = LevelAfterInput(cur, separateOn_, yValue, dpiTable_, *typed);
  if (!next) return;
  Edit([level, n = *next](ProfileFile& r, const EditModel& m) {
    return EditDpi(r, m, level, n.x, n.y);
  });
}

void CAdvDlg::PickLevelColor(int level) {
  if (level >= 0 && level < kProfileDpiLevels) levels_[size_t(level)].swatch->Pick();
}

void CAdvDlg::ChooseLevel(int level) {
  if (!model_ || !model_->bSetDPIByClick) {
    Refresh();
    return;
  }
  Edit([level](ProfileFile& r, const EditModel& m) { return EditCurrentLevel(r, m, level); });
}

void CAdvDlg::ChooseLevelCount(int count) {
  const int cur = program_.CurDpiLevel();
  Edit([count, cur](ProfileFile& r, const EditModel& m) {
    return EditLevelCount(r, m, count, cur);
  });
}

void CAdvDlg::ToggleSeparate() {
  const bool want = !separateOn_;
  Edit([want](ProfileFile& r, const EditModel& m) { return EditDpiMode(r, m, want); });
}

void CAdvDlg::ChooseRate(int radio) {
  if (radio < 0 || radio >= int(rateHz_.size())) return;
  const int hz = rateHz_[size_t(radio)];
  Edit([hz](ProfileFile& r, const EditModel& m) { return EditRate(r, m, hz); });
}

void CAdvDlg::ChooseLiftOff(int lod) {
  Edit([lod](ProfileFile& r, const EditModel& m) { return EditLiftOff(r, m, lod); });
}

void CAdvDlg::ToggleRipple() {
  // Flipped in the record itself, under the store's lock.
  if (program_.Profile())
    Edit([](ProfileFile& r, const EditModel& m) { return EditRipple(r, m, r.nRipple == 0); });
}

void CAdvDlg::ToggleAngleSnapping() {
  // Flipped in the record itself, under the store's lock.
  if (program_.Profile())
    Edit([](ProfileFile& r, const EditModel& m) {
      return EditAngleSnapping(r, m, r.nFixLine == 0);
    });
}

void CAdvDlg::ChooseDpiEffect(int mode) {
  LightEdit e;
  e.part = kLightDpi;
  e.mode = mode;
  Edit([e](ProfileFile& r, const EditModel& m) { return EditLight(r, m, e); });
}

void CAdvDlg::ReleaseDpiLight(bool speed, int value) {
  const std::optional<ProfileFile> f = program_.Profile();
  // Brightness belongs to the steady light, speed to breathing.
  if (!f || f->DpiLight.nMode != (speed ? 2 : 1)) return;
  LightEdit e;
  e.part = kLightDpi;
  e.mode = f->DpiLight.nMode;
  (speed ? e.speed : e.brightness) = value;
  Edit([e](ProfileFile& r, const EditModel& m) { return EditLight(r, m, e); });
}

void CAdvDlg::EditPointerCopy() {
  const SysMouseSettings s = pointerCopy_;
  Edit([s](ProfileFile& r, const EditModel& m) { return EditPointer(r, m, s); });
}

void CAdvDlg::ReleasePointerSpeed(int value) {
  pointerCopy_.nPointerSpeed = SnapPointerValue(PointerSpeedTable(), value);
  EditPointerCopy();
}

void CAdvDlg::ReleaseScrollLines(int value) {
  ScrollControls c = ScrollToControls(pointerCopy_.nScrollLines);
  c.lines = SnapPointerValue(ScrollLinesTable(), value);
  pointerCopy_.nScrollLines = ScrollFromControls(c);
  EditPointerCopy();
}

void CAdvDlg::ReleaseDoubleClick(int value) {
  pointerCopy_.nDoubleClickTime = SnapPointerValue(DoubleClickTable(), value);
  EditPointerCopy();
}

void CAdvDlg::TogglePrecision() {
  pointerCopy_.bEnhancePrecision = pointerCopy_.bEnhancePrecision ? 0 : 1;
  EditPointerCopy();
}

void CAdvDlg::TogglePagePerNotch() {
  ScrollControls c = ScrollToControls(pointerCopy_.nScrollLines);
  c.pagePerNotch = !c.pagePerNotch;
  if (scroll_) c.lines = scroll_->GetPos();
  pointerCopy_.nScrollLines = ScrollFromControls(c);
  EditPointerCopy();
}

bool CAdvDlg::OnUiMessage(UiMessageEvent& m) {
  const int value = int(m.wParam);
  switch (m.msg) {
    case WM_XYSLIDER_DRAG: {
      const int id = int(m.lParam & 0xFFFF), thumb = int(m.lParam >> 16);
      const int level = id - int(kIdLevelBar);
      if (level >= 0 && level < kProfileDpiLevels) {
        CPngBtn* label = thumb == 2 && separateOn_ ? levels_[size_t(level)].y
                                                  : levels_[size_t(level)].x;
        if (label) label->SetCaption(Num(value));
      }
      break;
    }
    case WM_XYSLIDER_SET: {
      const int id = int(m.lParam & 0xFFFF), thumb = int(m.lParam >> 16);
      ReleaseLevel(id - int(kIdLevelBar), thumb, value);
      break;
    }
    case WM_SLIDER_DRAG:
      if (uint32_t(m.lParam) == kIdScroll && scrollLabel_) scrollLabel_->SetCaption(Num(value));
      if (uint32_t(m.lParam) == kIdDoubleClick && dblClickLabel_)
        dblClickLabel_->SetCaption(Num(value));
      if (uint32_t(m.lParam) == kIdDpiLight && dpiBrightLabel_)
        dpiBrightLabel_->SetCaption(Num(value + 1));
      if (uint32_t(m.lParam) == kIdDpiSpeed && dpiSpeedLabel_)
        dpiSpeedLabel_->SetCaption(Num(value + 1));
      break;
    case WM_SLIDER_SET:
      switch (uint32_t(m.lParam)) {
        case kIdPointerSpeed: ReleasePointerSpeed(value); break;
        case kIdScroll: ReleaseScrollLines(value); break;
        case kIdDoubleClick: ReleaseDoubleClick(value); break;
        case kIdDpiLight: ReleaseDpiLight(false, value); break;
        case kIdDpiSpeed: ReleaseDpiLight(true, value); break;
        default: break;
      }
      break;
    case WM_BTN_DBLCLK:
      for (int i = 0; i < kProfileDpiLevels; ++i) {
        if (HandleOf(levels_[size_t(i)].x) == m.wParam) EnterDpi(i, false);
        if (HandleOf(levels_[size_t(i)].y) == m.wParam) EnterDpi(i, true);
      }
      break;
    default:
      return false;
  }
  return true;
}

void CAdvDlg::PaintBuffer(QPainter& p) {
  p.drawImage(0, 0, bg_);
  p.setPen(ColorFromRef(txtColor_));
  p.setFont(SharedFontOr(DialogFont(14, 400)));
  auto text = [&p](const QRect& r, const QString& s, int align = Qt::AlignLeft | Qt::AlignVCenter) {
    p.drawText(r, align, s);
  };
  const bool dpi = model_ && model_->bShowDpi;
  if (dpi) {
    text(Box(110, 25, 410, 45), UiText("tc_msg22"));
    for (int i = 0; i < shownCount_ && i < kProfileDpiLevels; ++i)
      if (levels_[size_t(i)].selector) {
        const QRect s = levels_[size_t(i)].selector->geometry();
        text(Box(s.right() + 9, s.top(), s.right() + 51, s.bottom() + 1), QStringLiteral("DPI%1").arg(i + 1));
      }
    if (count_) {
      const QRect c = count_->geometry();
      text(Box(c.left() - 160, c.top(), c.left() - 10, c.bottom() + 1), UiText("tc_adv_str19"),
           Qt::AlignRight | Qt::AlignVCenter);
    }
    if (separate_ && separate_->isVisibleTo(this)) {
      const QRect c = separate_->geometry();
      text(Box(c.right() + 9, c.top(), c.right() + 251, c.bottom() + 1), UiText("tc_msg19"));
    }
  }
  text(Box(26, 334, 159, 364), UiText("tc_adv_str6"), Qt::AlignCenter);
  for (size_t i = 0; i < rates_.size(); ++i) {
    const QRect r = rates_[i]->geometry();
    const std::vector<RateRadio> radios = RateRadios(rates_.size() > 4);
    text(Box(r.right() + 5, r.top() - 4, r.right() + 61, r.bottom() + 5),
         QStringLiteral("%1Hz").arg(QString::fromLatin1(radios[i].label)));
  }
  if (model_ && model_->bShowLOD) {
    text(LiftOffTitle(), UiText("tc_adv_str9"), Qt::AlignCenter);
    for (int i = 0; i < 2; ++i)
      if (lod_[size_t(i)]) {
        const QRect r = lod_[size_t(i)]->geometry();
        text(Box(r.right() + 5, r.top() - 4, r.right() + 61, r.bottom() + 5),
             QStringLiteral("%1 mm").arg(i + 1));
      }
  }
  if (ripple_ && ripple_->isVisibleTo(this)) {
    const QRect r = ripple_->geometry();
    text(Box(r.right() + 5, r.top() - 4, r.right() + 151, r.bottom() + 5), UiText("tc_adv_str12"));
  }
  if (fixLine_ && fixLine_->isVisibleTo(this)) {
    const QRect r = fixLine_->geometry();
    text(Box(r.right() + 5, r.top() - 4, r.right() + 151, r.bottom() + 5), UiText("tc_adv_str13"));
  }
  if (g_Catalogue().opt.ShowSys) {
    text(Box(60, 398, 410, 418), UiText("tc_adv_str18"));
    auto rowTitle = [&](CPngSliderBar* s, const char* id) {
      if (!s) return;
      const QRect r = s->geometry();
      const int right = s == speed_ ? r.left() - 75 : r.left() - 4;  // "Slow" sits left of speed
      text(Box(60, r.top() - 4, right, r.bottom() + 5), UiText(id));
    };
    rowTitle(speed_, "tc_adv_str2");
    rowTitle(scroll_, "tc_adv_str3");
    rowTitle(dblClick_, "tc_adv_str1");
    if (speed_) {
      const QRect r = speed_->geometry();
      text(Box(r.left() - 70, r.top() - 4, r.left() - 20, r.bottom() + 5), UiText("tc_msg37"),
           Qt::AlignRight | Qt::AlignVCenter);
      text(Box(r.right() + 21, r.top() - 4, r.right() + 71, r.bottom() + 5), UiText("tc_msg38"));
    }
    auto toggleText = [&](CPngBtn* b, const char* id) {
      if (!b) return;
      const QRect r = b->geometry();
      text(Box(r.right() + 9, r.top() - 4, r.right() + 301, r.bottom() + 5), UiText(id));
    };
    toggleText(precision_, "tc_adv_str5");
    toggleText(page_, "tc_adv_str4");
  }
  if (dpi && model_->bShowDpiLED) {
    text(Box(525, 398, 875, 418), UiText("tc_adv_str14"));
    for (int i = 0; i < 3; ++i)
      if (dpiEft_[size_t(i)]) {
        const QRect r = dpiEft_[size_t(i)]->geometry();
        text(Box(r.right() + 9, r.top() - 4, r.right() + 151, r.bottom() + 5),
             UiText(kDpiEffectText[i]));
      }
    const int ex = g_Catalogue().opt.ptDpiEft.x;
    if (dpiBright_) {
      const QRect r = dpiBright_->geometry();
      text(Box(ex, r.top() - 4, r.left() - 10, r.bottom() + 5), UiText("tc_adv_str7"));
    }
    if (dpiSpeed_) {
      const QRect r = dpiSpeed_->geometry();
      text(Box(ex, r.top() - 4, r.left() - 10, r.bottom() + 5), UiText("tc_adv_str10"));
    }
  }
}

}  // namespace tolvane::ui
