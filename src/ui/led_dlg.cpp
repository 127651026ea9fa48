#include "ui/led_dlg.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <utility>

#include "config/catalogue.h"
#include "profile/profile_device.h"
#include "program/program.h"
#include "ui/adv_logic.h"
#include "ui/color_dlg.h"
#include "ui/factories.h"
#include "ui/led_logic.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

constexpr uint32_t kIdMainBright = 272, kIdMainSpeed = 273, kIdLogoSpeed = 276,
                   kIdLogoBright = 277;
constexpr int kSliderWidth = 261;
// With both lights the logo's sliders sit below the light-sleep selector and
// its effect selector below the colour grid, clear of the colour controls.
constexpr int kLogoBelowSleep = 67, kLogoSpeedBelowSleep = 117, kLogoBelowGrid = 84;

}  // namespace

CLedDlg::CLedDlg(QWidget* parent, Program& program) : SettingsPage(parent, program, "led_nr.png") {
  picture_ = LoadSkinPicture(QStringLiteral("color.png"));
  Build();
  Refresh();
}

CPngSliderBar* CLedDlg::MakeSlider(const QPoint& at, int lo, int hi, uint32_t id) {
  return SettingsPage::MakeSlider(at, kSliderWidth, lo, hi, id);
}

void CLedDlg::Build() {
  const OptCfg& opt = g_Catalogue().opt;
  auto combo = [this](const QRect& r, const char* name) {
    const QString pic = QString::fromLatin1(name);
    CComboBtn* c = NewSkinButton<CComboBtn>(this, bg_, r, pic, pic, pic);
    if (c) c->SetVeto([this](uint32_t) { return program_.CanChangeSettings() != 0; });
    return c;
  };
  const QPoint eft(opt.ptLedEft.x, opt.ptLedEft.y);
  mainEft_ = combo(QRect(eft, QSize(147, 30)), "combo_nr.png");
  logoEft_ = combo(QRect(eft, QSize(147, 30)), "combo_nr.png");
  if (mainEft_) {
    for (const EffectItem& it : MainEffects()) mainEft_->AddItem(0, uint32_t(it.mode), QString());
    connect(mainEft_, &CPngBtn::clicked, this,
            [this] { ChooseMainEffect(int(mainEft_->GetSelectedValue())); });
  }
  if (logoEft_) {
    for (const EffectItem& it : LogoEffects()) logoEft_->AddItem(0, uint32_t(it.mode), QString());
    connect(logoEft_, &CPngBtn::clicked, this,
            [this] { ChooseLogoEffect(int(logoEft_->GetSelectedValue())); });
  }
  const QPoint light(opt.ptLight.x, opt.ptLight.y), speed(opt.ptSpeed.x, opt.ptSpeed.y);
  mainBright_ = MakeSlider(light, 1, 10, kIdMainBright);
  mainSpeed_ = MakeSlider(speed, 1, 10, kIdMainSpeed);
  logoBright_ = MakeSlider(light, 1, 10, kIdLogoBright);
  logoSpeed_ = MakeSlider(speed, 1, 5, kIdLogoSpeed);

  swatch_ = new CColorDlg(this, 0);
  swatch_->setGeometry(QRect(QPoint(opt.ptResult.x, opt.ptResult.y), QSize(30, 30)));
  swatch_->SetSelected(true);  // the lighting page picks colours without the chooser
  for (int i = 0; i < 3; ++i) {
    rgb_[i] = new QLineEdit(this);
    rgb_[i]->setGeometry(QRect(QPoint(opt.ptRGBEdit.x + 75 * i, opt.ptRGBEdit.y), QSize(45, 20)));
    rgb_[i]->setAlignment(Qt::AlignCenter);
    rgb_[i]->setMaxLength(4);
    connect(rgb_[i], &QLineEdit::textEdited, this, [this, i](const QString& t) { TypeChannel(i, t); });
    connect(rgb_[i], &QLineEdit::editingFinished, this, &CLedDlg::FinishChannels);
  }
  code_ = new CPngBtn(this);
  const int gap = opt.ptRGBEdit.x - (swatch_->geometry().right() + 1);
  const int codeX = swatch_->geometry().right() + 1 + (gap - 80) / 2;
  code_->setGeometry(QRect(QPoint(codeX, opt.ptRGBEdit.y), QSize(70, 20)));
  code_->SetTextColors(txtColor_, txtColor_, txtColor_);
  code_->SetBkPicture(CutBackground(bg_, code_->geometry()));
  code_->hide();

  sleep_ = combo(QRect(QPoint(opt.ptSleep.x, opt.ptSleep.y), QSize(97, 32)), "combo2_nr.png");
  if (sleep_)
    connect(sleep_, &CPngBtn::clicked, this,
            [this] { ChooseSleep(int(sleep_->GetSelectedValue())); });
  offMove_ = MakeButton(QRect(QPoint(opt.ptLightOffOnMoving.x, opt.ptLightOffOnMoving.y), QSize(21, 21)),
                        "check_nr.png", "check_dn.png", true);
  if (offMove_) connect(offMove_, &CPngBtn::clicked, this, &CLedDlg::ToggleLightOffOnMove);
  Relabel();
}

QRect CLedDlg::PictureRect() const {
  const OptCfg& opt = g_Catalogue().opt;
  return QRect(QPoint(opt.ptGradit.x, opt.ptGradit.y), QSize(173, 173));
}

QRect CLedDlg::GridCell(int i) const {
  const OptCfg& opt = g_Catalogue().opt;
  return QRect(QPoint(opt.ptGrid.x + 40 * (i % 7), opt.ptGrid.y + 32 * (i / 7)), QSize(22, 22));
}

QString CLedDlg::Title() const { return UiText("tc_msg23"); }

void CLedDlg::Relabel() {
  auto fill = [](CComboBtn* c, const std::vector<EffectItem>& items) {
    if (!c) return;
    const uint32_t sel = c->GetSelectedValue();
    c->ClearItems(0);
    for (const EffectItem& it : items) c->AddItem(0, uint32_t(it.mode), UiText(it.textId));
    c->SelectValue(sel);
  };
  fill(mainEft_, MainEffects());
  fill(logoEft_, LogoEffects());
  if (sleep_ && model_) {
    const uint32_t sel = sleep_->GetSelectedValue();
    sleep_->ClearItems(0);
    const std::string minutes = UiText("tc_adv_str22").toStdString();
    const std::string seconds = UiText("tc_adv_str24").toStdString();
    for (uint32_t v : model_->nSleepVal)
      if (v) sleep_->AddItem(0, v, QString::fromStdString(SleepItemText(int(v), minutes, seconds)));
    sleep_->SelectValue(sel);
  }
  update();
}

void CLedDlg::ShowColor(uint32_t color, bool edits) {
  swatch_->SetColor(color);
  if (edits) {
    rgb_[0]->setText(QString::number(color & 0xFF));
    rgb_[1]->setText(QString::number((color >> 8) & 0xFF));
    rgb_[2]->setText(QString::number((color >> 16) & 0xFF));
  }
  code_->SetCaption(QString::fromStdString(ColorCode(color)));
}

void CLedDlg::ShowPicked(uint32_t color, bool edits) {
  ShowColor(color, edits);
  code_->setVisible(colorShown_);
}

void CLedDlg::ShowEffects(const ProfileFile& f) {
  const auto& opts = g_Catalogue().ledOpt;
  const bool hasMain = model_ && model_->bShowMainEffect;
  const bool hasLogo = model_ && model_->bShowLogoEffect;
  const EffectControls mc = hasMain ? MainEffectControls(opts, f.MainLight.nMode) : EffectControls{};
  const EffectControls lc = hasLogo ? LogoEffectControls(f.LogoLight.nMode) : EffectControls{};
  auto set = [](CPngSliderBar* s, bool on, int v, int hi) {
    if (!s) return;
    s->setVisible(on);
    // A light read while off carries 0: the slider starts at its first entry.
    s->SetPos(std::clamp(v, 1, hi));
  };
  set(mainBright_, mc.brightness, f.MainLight.nBright, 10);
  set(mainSpeed_, mc.speed, f.MainLight.nSpeed, 10);
  set(logoBright_, lc.brightness, f.LogoLight.nBright, 10);
  set(logoSpeed_, lc.speed, f.LogoLight.nSpeed, 5);
  colorShown_ = mc.color || (!hasMain && lc.color);
  swatch_->setVisible(colorShown_);
  for (QLineEdit* e : rgb_) e->setVisible(colorShown_);
  code_->hide();  // shown once a colour is picked or typed
  ShowColor(hasMain ? f.MainLight.dwColor : f.LogoLight.dwColor, true);
}

void CLedDlg::Refresh() {
  if (program_.CurrentModel() != model_) {
    model_ = program_.CurrentModel();
    Relabel();
  }
  const std::optional<ProfileFile> f = program_.Profile();
  if (mainEft_) mainEft_->setVisible(f && model_ && model_->bShowMainEffect);
  if (logoEft_) logoEft_->setVisible(f && model_ && model_->bShowLogoEffect);
  if (model_) {
    const OptCfg& opt = g_Catalogue().opt;
    const bool both = model_->bShowMainEffect && model_->bShowLogoEffect;
    if (logoEft_)
      logoEft_->move(opt.ptLedEft.x, both ? opt.ptGrid.y + kLogoBelowGrid : opt.ptLedEft.y);
    if (logoBright_)
      logoBright_->move(opt.ptLight.x, both ? opt.ptSleep.y + kLogoBelowSleep : opt.ptLight.y);
    if (logoSpeed_)
      logoSpeed_->move(opt.ptSpeed.x, both ? opt.ptSleep.y + kLogoSpeedBelowSleep : opt.ptSpeed.y);
  }
  if (!f || !model_) {
    for (QWidget* w : std::initializer_list<QWidget*>{mainBright_, mainSpeed_, logoBright_,
                                                      logoSpeed_, swatch_, code_, sleep_, offMove_})
      if (w) w->hide();
    for (QLineEdit* e : rgb_) e->hide();
    update();
    return;
  }
  if (mainEft_) mainEft_->SelectValue(uint32_t(f->MainLight.nMode));
  if (logoEft_) logoEft_->SelectValue(uint32_t(f->LogoLight.nMode));
  ShowEffects(*f);
  const bool wired = Wired();
  if (sleep_) {
    sleep_->setVisible(model_->bShowSleep != 0);
    sleep_->SelectValue(uint32_t(f->nSleepTime));
    sleep_->SetLock(wired);
  }
  if (offMove_) {
    offMove_->setVisible(model_->bShowSleep != 0);
    offMove_->SetCheck(f->bLightOffOnMove != 0);
    offMove_->SetLock(wired);
  }
  typedPending_ = false;
  update();
}

void CLedDlg::OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == WM_LIGHTING_CHECKED && check_ && uint64_t(wParam) == *check_) {
    CheckDone(lParam != 0);
  } else if (msg == WM_OPERATION_DONE && check_ && uint64_t(wParam) == *check_) {
    // The check ended without an answer: the program is ending.
    check_.reset();
    inCheck_ = nullptr;
    waiting_ = nullptr;
  } else if (RecordMayHaveChanged(msg) && !check_) {
    Refresh();
  }
}

void CLedDlg::EditLight(const LightEdit& e) {
  EditLighting([e](ProfileFile& r, const EditModel& m) { return ::tolvane::EditLight(r, m, e); });
}

void CLedDlg::EditLighting(EditFn fn) {
  if (!program_.CanChangeSettings()) {
    Refresh();
    return;
  }
  // Only a PRO device is asked, and only when the change would be written now.
  const bool ask = model_ && model_->nFw == 0 && program_.ApplyNow();
  if (!ask) {
    Edit(fn);
    return;
  }
  if (check_) {
    waiting_ = std::move(fn);
    return;
  }
  inCheck_ = std::move(fn);
  StartCheck();
}

void CLedDlg::StartCheck() { check_ = program_.CheckLighting(); }

void CLedDlg::CheckDone(bool refused) {
  check_.reset();
  const EditFn fn = std::exchange(inCheck_, nullptr);
  if (refused) {
    // The mouse keeps its lighting: the record keeps it too.
    waiting_ = nullptr;
    message_(UiText("tc_adv_str29"));
    Refresh();
    return;
  }
  if (fn) Edit(fn);
  if (waiting_) {
    inCheck_ = std::exchange(waiting_, nullptr);
    StartCheck();
  }
}

void CLedDlg::ChooseMainEffect(int mode) {
  const EffectStart s = MainEffectStart(g_Catalogue().ledOpt, mode);
  LightEdit e;
  e.part = kLightMain;
  e.mode = mode;
  e.speed = s.speed;
  e.brightness = s.brightness;
  EditLight(e);
}

void CLedDlg::ChooseLogoEffect(int mode) {
  LightEdit e;
  e.part = kLightLogo;
  e.mode = mode;
  EditLight(e);
}

void CLedDlg::ReleaseSlider(bool logo, bool speed, int value) {
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f) return;
  LightEdit e;
  e.part = logo ? kLightLogo : kLightMain;
  e.mode = logo ? f->LogoLight.nMode : f->MainLight.nMode;
  (speed ? e.speed : e.brightness) = value;
  EditLight(e);
}

void CLedDlg::PickColor(uint32_t color) {
  color &= 0xFFFFFF;
  ShowPicked(color, true);
  if (!program_.Profile() || !model_) return;
  EditLighting([color](ProfileFile& r, const EditModel& m) { return EditLightColor(r, m, color); });
}

bool CLedDlg::PressAt(const QPoint& pos) {
  if (!colorShown_) return false;
  const QRect pic = PictureRect();
  if (pic.contains(pos) && !picture_.isNull()) {
    const QPoint at = pos - pic.topLeft();
    if (picture_.valid(at)) {
      PickColor(RefFromColor(picture_.pixelColor(at)));
      return true;
    }
  }
  for (int i = 0; i < 14; ++i)
    if (GridCell(i).contains(pos)) {
      PickColor(PresetColors()[size_t(i)]);
      return true;
    }
  return false;
}

void CLedDlg::TypeChannel(int channel, const QString& text) {
  if (channel < 0 || channel > 2) return;
  const ChannelText t = ReadChannel(text.toStdString());
  if (t.replaced) {
    rgb_[channel]->setText(QStringLiteral("255"));
    rgb_[channel]->setCursorPosition(3);
  }
  int v[3];
  for (int i = 0; i < 3; ++i) v[i] = ReadChannel(rgb_[i]->text().toStdString()).value;
  typed_ = ComposeColor(v[0], v[1], v[2]);
  typedPending_ = true;
  ShowPicked(typed_, false);
}

void CLedDlg::FinishChannels() {
  if (!typedPending_) return;
  typedPending_ = false;
  if (colorShown_) PickColor(typed_);
}

void CLedDlg::ChooseSleep(int seconds) {
  Edit([seconds](ProfileFile& r, const EditModel& m) { return EditSleep(r, m, seconds); });
}

void CLedDlg::ToggleLightOffOnMove() {
  // Flipped in the record itself, under the store's lock.
  if (program_.Profile())
    Edit([](ProfileFile& r, const EditModel& m) {
      return EditLightOffOnMove(r, m, r.bLightOffOnMove == 0);
    });
}

bool CLedDlg::OnUiMessage(UiMessageEvent& m) {
  const int value = int(m.wParam);
  switch (m.msg) {
    case WM_SLIDER_SET:
      switch (uint32_t(m.lParam)) {
        case kIdMainBright: ReleaseSlider(false, false, value); break;
        case kIdMainSpeed: ReleaseSlider(false, true, value); break;
        case kIdLogoBright: ReleaseSlider(true, false, value); break;
        case kIdLogoSpeed: ReleaseSlider(true, true, value); break;
        default: break;
      }
      break;
    case WM_SLIDER_DRAG:
      update();
      break;
    default:
      return false;
  }
  return true;
}

void CLedDlg::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && PressAt(e->position().toPoint())) return;
  SkinWidget::mousePressEvent(e);
  e->ignore();  // the window moves
}

void CLedDlg::PaintBuffer(QPainter& p) {
  p.drawImage(0, 0, bg_);
  if (model_) {
    const QImage mouse = LoadSkinPicture(
        QString::asprintf("%02x%02x/mouse_led.png", unsigned(model_->nCid), unsigned(model_->nMid)));
    if (!mouse.isNull()) p.drawImage(QPoint(model_->ptLedMark.x, model_->ptLedMark.y), mouse);
  }
  p.setPen(ColorFromRef(txtColor_));
  p.setFont(SharedFontOr(DialogFont(14, 400)));
  auto text = [&p](const QRect& r, const QString& s, int align = Qt::AlignLeft | Qt::AlignVCenter) {
    p.drawText(r, align, s);
  };
  text(Box(43, 20, 243, 40), Title());
  for (CComboBtn* c : {mainEft_, logoEft_})
    if (c && c->isVisibleTo(this))
      text(Box(44, c->y(), c->x(), c->geometry().bottom() + 1), UiText("tc_adv_str8"));
  for (CPngSliderBar* s : {mainBright_, logoBright_, mainSpeed_, logoSpeed_})
    if (s && s->isVisibleTo(this)) {
      const bool bright = s == mainBright_ || s == logoBright_;
      text(Box(s->x(), s->y() - 27, s->x() + 150, s->y() - 12),
           UiText(bright ? "tc_adv_str7" : "tc_adv_str10"));
      text(Box(s->geometry().right() + 12, s->y() - 2, s->geometry().right() + 40, s->y() + 16),
           QString::number(s->GetPos()));
    }
  if (offMove_ && offMove_->isVisibleTo(this)) {
    const QRect r = offMove_->geometry();
    text(Box(r.right() + 11, r.top(), r.right() + 281, r.bottom() + 1), UiText("tc_adv_str20"));
  }
  if (sleep_ && sleep_->isVisibleTo(this)) {
    const QRect r = sleep_->geometry();
    text(Box(r.right() + 11, r.top(), r.right() + 281, r.bottom() + 1), UiText("tc_adv_str23"));
  }
  if (colorShown_) {
    if (!picture_.isNull()) p.drawImage(PictureRect().topLeft(), picture_);
    const QRect g0 = GridCell(0);
    text(Box(g0.left() - 18, g0.top() - 40, g0.left() + 162, g0.top() - 22), UiText("tc_adv_str11"));
    for (int i = 0; i < 14; ++i) p.fillRect(GridCell(i), ColorFromRef(PresetColors()[size_t(i)]));
    const char* rgb[3] = {"R", "G", "B"};
    for (int i = 0; i < 3; ++i) {
      const QRect r = rgb_[i]->geometry();
      text(Box(r.left() - 30, r.top(), r.left() - 5, r.bottom() + 1), QString::fromLatin1(rgb[i]),
           Qt::AlignRight | Qt::AlignVCenter);
    }
  }
}

}  // namespace tolvane::ui
