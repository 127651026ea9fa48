#include "ui/key_dlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstring>

#include "app/log.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "macro/macro_library.h"
#include "profile/profile_device.h"
#include "profile/profile_edit.h"
#include "profile/profile_session.h"
#include "program/program.h"
#include "ui/factories.h"
#include "ui/hot_spot.h"
#include "ui/key_menu.h"
#include "ui/menu_dlg.h"
#include "ui/msg_dlg.h"
#include "ui/paint_util.h"
#include "ui/pick_macro_dlg.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/qt_event_sink.h"
#include "ui/status_dlgs.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

namespace {

// The page in the main window's picture.
const QRect kPageInWindow(1, 111, 1069, 639);
const QRect kProfileRect(QPoint(793, 427), QPoint(1045, 485));
const QRect kImportRect(QPoint(793, 490), QPoint(916, 548));
const QRect kExportRect(QPoint(923, 490), QPoint(1046, 548));
const QRect kRestoreRect(QPoint(793, 552), QPoint(1045, 610));
const QRect kDebounceRect(QPoint(150, 521), QPoint(716, 563));
const QRect kSleepRect(QPoint(150, 568), QPoint(716, 610));
// The sensor switch's box: 196 x 42 just above the sleep control, or above
// the debounce control when that one is shown there.
QRect SwitchBox(bool debounceShown) {
  const int bottom = debounceShown ? kDebounceRect.top() : kSleepRect.top();
  return QRect(150, bottom - 42, 196, 42);
}
constexpr int kToggleW = 33, kToggleH = 17;
constexpr uint32_t kSwitchBoxColor = 0x2F2829;
constexpr uint32_t kMaskedText = 0x646464;
constexpr uint32_t kSensorWithSwitch = 0x3395;  // 13205

QString Q(const std::string& s) { return QString::fromStdString(s); }

TextLookup Texts() {
  return [](std::string_view id) { return Tx(id); };
}

uint32_t TextColor() {
  const uint32_t c = Cat().opt.Txt_clr;
  return c != 0 ? c : 0xC8C8C8;
}

QRect ToQRect(const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

}  // namespace

// ---------------------------------------------------------------- choosers, prompts

std::string QtFileChooser::OpenFile(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, QString(), filter).toStdString();
}

std::string QtFileChooser::SaveFile(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, title, QString(), filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite)
      .toStdString();
}

PagePrompts PagePrompts::Kit() {
  PagePrompts p;
  p.message = [](QWidget* parent, const QString& text) {
    CMsgDlg dlg(parent, CMsgDlg::kMessage, text, UiText("tc_tips"));
    dlg.exec();
  };
  p.confirm = [](QWidget* parent, const QString& text) {
    CMsgDlg dlg(parent, CMsgDlg::kConfirm, text, UiText("tc_tips"));
    return dlg.exec() == 1;
  };
  p.combo = [](QWidget* parent, const QString& text, bool boxes) -> std::optional<KeyCombo> {
    CMsgDlg dlg(parent, CMsgDlg::kCombo, text, UiText("tc_str3"));
    dlg.SetShowCheckBoxes(boxes);
    if (dlg.exec() != 1) return std::nullopt;
    return dlg.Combo();
  };
  p.pickMacro = [](QWidget* parent, Program& program) { return PickMacro(parent, program); };
  return p;
}

// ---------------------------------------------------------------- debounce, sleep

CValueCtrl::CValueCtrl(QWidget* parent, uint32_t id, const std::vector<int>& values,
                       const char* labelId, std::function<QString(int)> format, AskFn ask,
                       SetFn set)
    : SkinWidget(parent),
      labelId_(labelId),
      format_(std::move(format)),
      ask_(std::move(ask)),
      set_(std::move(set)) {
  bg_ = LoadSkinPicture(QStringLiteral("Debounce.png"));
  if (bg_.isNull()) {
    ShowWarning("Warrning", "Debounce.png not exist");
    return;
  }
  resize(bg_.size());
  const int y = (bg_.height() - 14) / 2;
  const QRect track(230, y, 220, 14);
  auto* bar = new CPngSliderBar(this);
  if (!NewSmallPngSliderBar(bar, this, bg_, QStringLiteral("slider.png"), 0,
                            int(values.size()) - 1, id, QPoint(0, Style().barY), track, track)) {
    delete bar;
    return;
  }
  bar_ = bar;
  bar_->SetValueTable(values);
  bar_->EvenScale();
  bar_->SetThumbY(Style().sliderY);
  Relabel();
}

void CValueCtrl::SetValue(int value) {
  if (!bar_) return;
  if (!bar_->SetPos(value)) return;  // a value outside the table leaves the thumb
  valueText_ = format_(value);
  update();
}

int CValueCtrl::Value() const { return bar_ ? bar_->GetPos() : -1; }

void CValueCtrl::Relabel() {
  label_ = UiText(labelId_);
  update();
}

void CValueCtrl::PaintBuffer(QPainter& p) {
  if (!bg_.isNull()) p.drawImage(rect(), bg_);
  p.setPen(ColorFromRef(TextColor()));
  p.setFont(SharedFontOr(DialogFont(16, 400)));
  p.drawText(QRect(25, 0, 200, height()), Qt::AlignLeft | Qt::AlignVCenter, label_);
  p.drawText(QRect(QPoint(481, 11), QPoint(540, 32)), Qt::AlignCenter, valueText_);
}

bool CValueCtrl::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    switch (m->msg) {
      case WM_SLIDER_ASK:
        m->setResult(ask_ && !ask_() ? 0 : 1);
        m->accept();
        return true;
      case WM_SLIDER_DRAG:
        valueText_ = format_(int(m->wParam));
        update();
        m->accept();
        return true;
      case WM_SLIDER_SET:
        valueText_ = format_(int(m->wParam));
        update();
        if (set_) set_(int(m->wParam));
        m->accept();
        return true;
      default: break;
    }
  }
  return SkinWidget::event(e);
}

namespace {
std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}
}  // namespace

CDebounceDlg::CDebounceDlg(QWidget* parent, AskFn ask, SetFn set)
    : CValueCtrl(parent, 132, Range(0, 30), "tc_adv_str21",
                 [](int v) { return QString::number(v); }, std::move(ask), std::move(set)) {}

CSensorSleepDlg::CSensorSleepDlg(QWidget* parent, AskFn ask, SetFn set)
    : CValueCtrl(parent, 133, SensorSleepValues(), "tc_adv_str17",
                 [](int v) { return Q(SensorSleepLabel(v)); }, std::move(ask), std::move(set)) {}

// ---------------------------------------------------------------- the page

CKeyDlg::CKeyDlg(QWidget* parent, Program& program, PageChooser& chooser, PagePrompts prompts)
    : SkinWidget(parent), program_(program), chooser_(chooser), prompts_(std::move(prompts)) {
  const PagePrompts kit = PagePrompts::Kit();
  if (!prompts_.message) prompts_.message = kit.message;
  if (!prompts_.confirm) prompts_.confirm = kit.confirm;
  if (!prompts_.combo) prompts_.combo = kit.combo;
  if (!prompts_.pickMacro) prompts_.pickMacro = kit.pickMacro;

  resize(kPageInWindow.size());
  // The write's progress arrives from the apply thread through this sink.
  progressSink_ = std::make_shared<QtEventSink>(this);
  progressSink_->SetHandler([this](uint32_t msg, uintptr_t w, intptr_t) { OnProgressEvent(msg, w); });
  const QImage main = LoadSkinPicture(QStringLiteral("main_nr.png"));
  pageBg_ = main.isNull() ? QImage() : CutBackground(main, kPageInWindow);
  bg_ = pageBg_;

  auto button = [this](const char* nr, const char* ov, const QRect& r) {
    const QString hover = QString::fromLatin1(ov);
    return NewSkinButton<CPngBtn>(this, pageBg_, r, QString::fromLatin1(nr), hover, hover);
  };
  import_ = button("import_nr.png", "import_ov.png", kImportRect);
  export_ = button("export_nr.png", "export_ov.png", kExportRect);
  restore_ = button("restore_nr.png", "restore_ov.png", kRestoreRect);
  if (import_) connect(import_, &CPngBtn::clicked, this, &CKeyDlg::Import);
  if (export_) connect(export_, &CPngBtn::clicked, this, &CKeyDlg::Export);
  if (restore_) connect(restore_, &CPngBtn::clicked, this, &CKeyDlg::Restore);

  profile_ = NewSkinButton<CComboBtn>(this, pageBg_, kProfileRect, QStringLiteral("Profile_nr.png"),
                                      QStringLiteral("Profile_ov.png"),
                                      QStringLiteral("Profile_ov.png"));
  if (profile_) {
    profile_->SetSameValueNoChange(true);
    profile_->SetVeto([this](uint32_t) { return Gate(); });
    connect(profile_, &CPngBtn::clicked, this, [this] {
      if (!refreshing_) ChooseProfile(int(profile_->GetSelectedValue()));
    });
    profile_->setVisible(Cat().opt.ShowProfile != 0);
  }
  Relabel();
}

CKeyDlg::~CKeyDlg() {
  CMenuDlg::CloseOpen();
  if (progressShown_) program_.SetProgressWindow(nullptr);
  progressSink_->SetHandler({});
}

void CKeyDlg::ClearModelControls() {
  for (CHotSpotBtn*& b : hot_) {
    delete b;
    b = nullptr;
  }
  delete switch_;
  switch_ = nullptr;
  delete debounce_;
  debounce_ = nullptr;
  delete sleep_;
  sleep_ = nullptr;
  shown_ = 0;
  switchShown_ = false;
}

void CKeyDlg::BuildForModel() {
  CMenuDlg::CloseOpen();
  ClearModelControls();
  bg_ = pageBg_;
  if (!model_) {
    update();
    return;
  }
  const QString folder = QString::asprintf("%02x%02x/", model_->nCid, model_->nMid);
  const QImage pic = LoadSkinPicture(folder + QStringLiteral("key_nr.png"));
  if (!pic.isNull()) bg_ = pic.size() == size() ? pic : CutBackground(pic, kPageInWindow);

  shown_ = model_->KeyCount();
  const uint32_t mask = Cat().opt.KeyMask;
  for (int i = 0; i < shown_; ++i) {
    auto* b = new CHotSpotBtn(this);
    const QRect r = ToQRect(model_->rcKey[i]);
    const QImage cut = CutBackground(bg_, r);
    b->SetImages(cut, cut, cut);
    b->setGeometry(r);
    b->SetUserValue(uint32_t(i));
    b->SetLabelFont(SharedFontOr(DialogFont(Style().hiRes ? 26 : 16, Style().hiRes ? 500 : 400)));
    if (KeyMasked(mask, i)) {
      b->SetTextColors(kMaskedText, kMaskedText, kMaskedText);
      b->setEnabled(false);
    } else {
      b->SetTextColors(Style().btnTxtNr, Style().btnTxtOv, Style().btnTxtDn);
    }
    connect(b, &CPngBtn::clicked, this, [this, i] { OpenMenu(i); });
    b->show();
    hot_[i] = b;
  }

  auto ask = [this] { return Gate(); };
  // A value of the debounce or sensor-sleep control: a refused edit is said
  // and the page shows the record again.
  auto edit = [this](Program::EditFn fn) {
    const EditOutcome o = program_.Edit(std::move(fn));
    if (!o.ok && !o.gateRefused && !o.edit.text.empty()) Message(Q(o.edit.text));
    if (!o.ok) Refresh();
  };
  if (model_->bShowDebounce) {
    debounce_ = new CDebounceDlg(this, ask, [edit](int v) {
      edit([v](ProfileFile& f, const EditModel& m) { return EditDebounce(f, m, v); });
    });
    debounce_->move(kDebounceRect.topLeft());
    debounce_->show();
  }
  sleep_ = new CSensorSleepDlg(this, ask, [edit](int v) {
    edit([v](ProfileFile& f, const EditModel& m) { return EditSensorSleep(f, m, v); });
  });
  sleep_->move(kSleepRect.topLeft());
  sleep_->show();

  switchShown_ = model_->nSensor == kSensorWithSwitch;
  if (switchShown_) {
    const QImage off = LoadSkinPicture(QStringLiteral("toggle_off.png"));
    const QImage on = LoadSkinPicture(QStringLiteral("toggle_on.png"));
    if (!off.isNull() && !on.isNull()) {
      switch_ = new CPngBtn(this);
      switch_->SetImages(off, off, on);
      switch_->SetToggle(true);
      const QRect box = SwitchBox(debounce_ != nullptr);
      switch_->setGeometry(box.right() + 1 - 20 - kToggleW,
                           box.top() + (box.height() - kToggleH) / 2, kToggleW, kToggleH);
      connect(switch_, &CPngBtn::clicked, this, &CKeyDlg::FlipSensorSwitch);
      switch_->show();
    }
  }
  for (QWidget* w : std::initializer_list<QWidget*>{profile_, import_, export_, restore_})
    if (w) w->raise();
  update();
}

void CKeyDlg::Refresh() {
  const DevCfg* model = program_.CurrentModel();
  if (model != model_) {
    model_ = model;
    BuildForModel();
  }
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f || !model_) return;
  refreshing_ = true;
  if (profile_ && switchTicket_ == 0) {
    const int index = program_.ProfileIndex();
    if (index >= 0 && index <= 3) profile_->SelectValue(uint32_t(index));
    else profile_->SelectPos(-1);
  }
  if (f->nKeyTable >= 0 && f->nKeyTable < kKeyModes)
    for (int i = 0; i < shown_; ++i) ShowKey(i, f->Key[f->nKeyTable][i]);
  if (debounce_) debounce_->SetValue(f->nDebounce);
  if (sleep_) sleep_->SetValue(f->nSensorSleep);
  if (switch_) switch_->SetCheck(f->bButtonOption != 0);
  refreshing_ = false;
}

void CKeyDlg::ShowKey(int key, const KeyInfo& info) {
  CHotSpotBtn* b = HotSpot(key);
  if (!b || !model_) return;
  // An assignment without a name stays as it is and is shown as unknown.
  const ModelKeyEnv env(model_, &program_.Library());
  const QString name = Q(AssignmentName(info, env, Texts()));
  const std::string icon = IconName(info.dwFunID);
  b->ShowAssignment(name, icon.empty() ? QImage() : LoadSkinPicture(Q("Icon/" + icon)),
                    Style().btnTips);
}

void CKeyDlg::Relabel() {
  if (import_) {
    import_->SetCaption(UiText("tc_msg33"));
    import_->SetTipText(UiText("tc_msg33"));
  }
  if (export_) {
    export_->SetCaption(UiText("tc_msg32"));
    export_->SetTipText(UiText("tc_msg32"));
  }
  if (restore_) {
    restore_->SetCaption(UiText("tc_restore"));
    restore_->SetTipText(UiText("tc_restore"));
  }
  if (profile_) {
    const uint32_t value = profile_->GetSelectedValue();
    const int pos = profile_->SelectedPos();
    profile_->ClearItems(0);
    for (int i = 0; i < 4; ++i)
      profile_->AddItem(0, uint32_t(i), QStringLiteral("%1 %2").arg(UiText("tc_msg35")).arg(i + 1));
    refreshing_ = true;
    if (pos >= 0) profile_->SelectValue(value);
    refreshing_ = false;
  }
  if (debounce_) debounce_->Relabel();
  if (sleep_) sleep_->Relabel();
  Refresh();
  update();
}

void CKeyDlg::PaintBuffer(QPainter& p) {
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(rect(), bg_);
  if (switchShown_) {
    const QRect box = SwitchBox(debounce_ != nullptr);
    p.fillRect(box, ColorFromRef(kSwitchBoxColor));
    p.setPen(ColorFromRef(TextColor()));
    p.setFont(SharedFontOr(DialogFont(16, 400)));
    p.drawText(box.adjusted(12, 0, -(20 + kToggleW + 4), 0), Qt::AlignLeft | Qt::AlignVCenter,
               UiText("tc_msg16"));
  }
}

bool CKeyDlg::event(QEvent* e) {
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_MENU_PICK) {
      m->accept();
      Choose(int(m->lParam), uint32_t(m->wParam));
      return true;
    }
  }
  return SkinWidget::event(e);
}

// ---------------------------------------------------------------- gate, messages

bool CKeyDlg::GateQuiet() { return switchTicket_ == 0 && restoreTicket_ == 0; }

bool CKeyDlg::Gate() {
  // A switch re-reads the profile and a restore rewrites it: nothing is
  // edited before they have ended.
  if (!GateQuiet()) {
    Message(UiText("tc_adv_str15"));
    return false;
  }
  return program_.CanChangeSettings() != 0;  // a refusal is announced by the program
}

void CKeyDlg::Message(const QString& text) {
  if (prompts_.message) prompts_.message(this, text);
}

// ---------------------------------------------------------------- function menu

void CKeyDlg::OpenMenu(int key) {
  CMenuDlg::CloseOpen();
  if (!model_ || key < 0 || key >= shown_ || KeyMasked(Cat().opt.KeyMask, key)) return;
  const QRect r = ToQRect(model_->rcKey[key]);
  const QPoint tl = mapToGlobal(r.topLeft());
  const Rect hot{tl.x(), tl.y(), tl.x() + r.width(), tl.y() + r.height()};
  int screenBottom = 1 << 20;
  if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
    screenBottom = s->availableGeometry().bottom() + 1;
  const MenuPlace place =
      PlaceKeyMenu(hot, int(Cat().opt.MenuW), int(Cat().opt.MenuItems), screenBottom);

  KeyMenuFacts facts;
  facts.showProfileSwitch = Cat().opt.ShowProSw != 0;
  facts.sensor = Cat().sensors.Find(model_->nSensor);
  std::vector<MenuItem> items;
  for (const KeyMenuEntry& e : BuildKeyMenu(*model_, facts, Texts()))
    items.push_back({e.group, e.value, Q(e.text)});
  CMenuDlg::Options o;
  o.width = place.width;
  o.pos = QPoint(place.x, place.y);
  o.clrNr = Style().menuTxtNr;
  o.clrOv = Style().menuTxtOv;
  o.tag = key;
  CMenuDlg::Open(this, std::move(items), o);
}

void CKeyDlg::Choose(int key, uint32_t value) {
  CMenuDlg::CloseOpen();
  if (!Gate()) return;
  if (key < 0 || key >= kMaxKeys) {
    Message(UiText("tc_macro_msg17"));
    return;
  }
  if (!program_.Profile() || !model_) return;
  const MenuChoice c = DecideChoice(value);
  std::optional<KeyInfo> info;
  switch (c.kind) {
    case ChoiceKind::Macro: info = AskMacro(); break;
    case ChoiceKind::Combination: {
      const auto combo = prompts_.combo(this, UiText("tc_combo_tips"), Style().comboRec);
      if (!combo) return;
      info = ComboAssignment(*combo);
      // The dialog ran its own loop: the gate is asked again.
      if (info && !Gate()) return;
      break;
    }
    case ChoiceKind::Assignment: info = c.key; break;
  }
  if (info) Store(key, *info);
}

std::optional<KeyInfo> CKeyDlg::AskMacro() {
  if (program_.Library().Count() == 0) {
    if (prompts_.confirm(this, UiText("tc_msg9"))) emit macroPageRequested();
    return std::nullopt;
  }
  const std::optional<int64_t> id = prompts_.pickMacro(this, program_);
  if (!id) return std::nullopt;
  if (*id < 0) {  // a new macro: the macro page makes it
    emit macroPageRequested();
    return std::nullopt;
  }
  // The picker ran its own loop: the gate is asked again.
  if (!Gate()) return std::nullopt;
  KeyInfo k;
  k.dwFunID = kFunMacro;
  k.dwMacroID = uint32_t(*id) & 0xFFFFFF;
  return k;
}

void CKeyDlg::Store(int key, const KeyInfo& info) {
  const EditOutcome o = program_.Edit(
      [key, info](ProfileFile& f, const EditModel& m) { return EditButton(f, m, key, info); });
  if (o.gateRefused) return;
  if (!o.ok) {
    if (!o.edit.text.empty()) Message(Q(o.edit.text));
    return;
  }
  const std::optional<ProfileFile> f = program_.Profile();
  if (!f) return;
  const int table = f->nKeyTable >= 0 && f->nKeyTable < kKeyModes ? f->nKeyTable : 0;
  const KeyInfo& k = f->Key[table][key];
  uint32_t combo = 0;
  std::memcpy(&combo, &k.stCombo, sizeof combo);
  LogPrint("pFile->Key[%d][%d]: dwFunID=0x%x, dwMacroID=0x%08x, dwParameter=0x%08x, stCombo=0x%08x",
           table, key, k.dwFunID, k.dwMacroID, k.dwParameter, combo);
  ShowKey(key, k);
}

// ---------------------------------------------------------------- profile, switch

void CKeyDlg::ChooseProfile(int profile) {
  if (profile < 0 || profile > 3 || switchTicket_ != 0) return;
  profileBeforeSwitch_ = program_.ProfileIndex();
  if (profile == profileBeforeSwitch_) return;
  if (profile_) {
    refreshing_ = true;
    profile_->SelectValue(uint32_t(profile));
    refreshing_ = false;
  }
  switchTicket_ = program_.SwitchProfile(profile);
}

void CKeyDlg::FlipSensorSwitch() {
  if (!switch_ || !Gate()) return;
  const bool on = !switch_->GetCheck();
  const EditOutcome o = program_.Edit(
      [on](ProfileFile& f, const EditModel& m) { return EditButtonOption(f, m, on); });
  if (o.ok) switch_->SetCheck(on);
  else if (!o.gateRefused && !o.edit.text.empty()) Message(Q(o.edit.text));
}

// ---------------------------------------------------------------- restore, import, export

void CKeyDlg::Restore() {
  if (program_.Current() < 0) {
    Message(UiText("tc_msg15"));
    return;
  }
  if (!GateQuiet() || program_.ReadRunning()) {
    Message(UiText("tc_adv_str15"));
    return;
  }
  if (!program_.CanChangeSettings()) return;
  // The global settings are cleared by the restore itself, after this answer.
  if (!prompts_.confirm(this, UiText("tc_msg5"))) return;
  CloseProgress();
  auto* dlg = new CProgressDlg(this, QStringLiteral("progress_nr.png"),
                               QStringLiteral("progress_ov.png"));
  if (dlg->Ready()) {
    dlg->SetText(UiText("tc_msg12"), QRect(QPoint(15, 5), QPoint(454, 24)));
    dlg->SetBar(45, 486);
    dlg->SetRange(0, 100);
    dlg->SetPos(0);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    progress_ = dlg;
    program_.SetProgressWindow(progressSink_);
    progressShown_ = true;
    dlg->Start();
  } else {
    delete dlg;
  }
  restoreTicket_ = program_.RestoreDefaults();
}

void CKeyDlg::OnProgressEvent(uint32_t msg, uintptr_t wParam) {
  if (msg == WM_PROGRESS) {
    if (progress_) progress_->SetPos(int(intptr_t(wParam)));
  } else if (msg == WM_CLOSE_WINDOW) {
    CloseProgress();
  }
}

void CKeyDlg::CloseProgress() {
  if (progressShown_) program_.SetProgressWindow(nullptr);
  progressShown_ = false;
  if (progress_) progress_->close();
  progress_ = nullptr;
}

void CKeyDlg::Import() {
  if (!Gate()) return;
  const std::string path =
      chooser_.OpenFile(this, UiText("tc_msg33"), QStringLiteral("*.qxa (*.qxa)"));
  if (path.empty()) return;
  importTicket_ = program_.ImportProfile(path);
}

void CKeyDlg::Export() {
  std::string path = chooser_.SaveFile(this, UiText("tc_msg32"), QStringLiteral("*.qxa (*.qxa)"));
  if (path.empty()) return;
  path = WithQxaSuffix(path);
  if (QFileInfo::exists(Q(path)) &&
      !prompts_.confirm(this, UiText("tc_file_replace")))
    return;
  program_.ExportProfile(path);
}

// ---------------------------------------------------------------- core events

void CKeyDlg::OnCoreEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case WM_PROFILE_SWITCHED:
      if (wParam != 0 && wParam == switchTicket_ && lParam < 0) {
        LogPrint("SetCurProfile Err");
        if (profile_) {
          refreshing_ = true;
          profile_->SelectValue(uint32_t(std::clamp(profileBeforeSwitch_, 0, 3)));
          refreshing_ = false;
        }
        Message(UiText("tc_profile_switch_err"));
      }
      break;
    case WM_OPERATION_DONE:
      if (wParam == 0) break;
      if (wParam == switchTicket_) {
        switchTicket_ = 0;
        Refresh();
      } else if (wParam == restoreTicket_) {
        restoreTicket_ = 0;
        if (lParam == 0) CloseProgress();  // refused: no write closes it
        Refresh();
      } else if (wParam == importTicket_) {
        importTicket_ = 0;
        Refresh();
      }
      break;
    case WM_SYNC_OK:
    case WM_READ_DONE:
    case WM_BEHAVIOR_DECODED:
    case WM_CURRENT_REMOVED:
      Refresh();
      break;
    default: break;
  }
}

}  // namespace tolvane::ui
