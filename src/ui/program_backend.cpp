#include "ui/program_backend.h"

#include <cstdio>

#include "app/log.h"
#include "app/paths.h"
#include "config/texts.h"
#include "program/battery_notice.h"
#include "program/program.h"
#include "profile/profile_store.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

WindowConfig WindowConfigFrom(const Catalogue& cat, const std::string& programDir) {
  WindowConfig c;
  c.title = cat.opt.Title;
  c.drvVer = cat.opt.DrvVer;
  c.txtColor = cat.opt.Txt_clr;
  c.clrMask = cat.opt.clrMask;
  c.powerX = cat.opt.ptPower.x;
  c.powerY = cat.opt.ptPower.y;
  c.showPowerAtStart = cat.opt.ShowPower == 0;
  c.programDir = programDir;
  return c;
}

DeviceTile TileFor(const DevCfg& model, int entry) {
  DeviceTile t;
  t.entry = entry;
  t.modelName = model.Name();
  char sub[16];
  std::snprintf(sub, sizeof sub, "%02x%02x", unsigned(model.nCid & 0xFF), unsigned(model.nMid & 0xFF));
  t.skinFolder = sub;
  t.connected = true;
  t.hasMainLight = model.bShowMainEffect != 0;
  t.hasLogoLight = model.bShowLogoEffect != 0;
  t.readsBattery = model.nFw == 0;
  return t;
}

void ApplyCatalogueStyle(const Catalogue& cat) {
  UiStyle& s = Style();
  const OptCfg& o = cat.opt;
  if (o.Btn_txt_clr_nr || o.Btn_txt_clr_ov || o.Btn_txt_clr_dn) {
    s.btnTxtNr = o.Btn_txt_clr_nr;
    s.btnTxtOv = o.Btn_txt_clr_ov;
    s.btnTxtDn = o.Btn_txt_clr_dn;
  }
  if (o.Menu_txt_clr_nr || o.Menu_txt_clr_ov) {
    s.menuTxtNr = o.Menu_txt_clr_nr;
    s.menuTxtOv = o.Menu_txt_clr_ov;
  }
  s.clrEdit = o.clrEdit;
  s.clrMaskDialog = o.clrMaskDialog;
  s.comboRec = o.ComboRec != 0;
  s.btnTips = o.BtnTips != 0;
  s.uiDebug = o.UIDebug != 0;
  s.hiRes = false;
  s.barY = int(o.BarY);
  s.dpiBarY = int(o.DpiBarY);
  s.sliderY = int(o.SliderY);
  s.fontName = QString::fromStdString(o.FontName);
  s.fontSize = int(o.FontSize);
}

std::function<void(const platform::InstanceMessage&)> ForwardInstanceMessages(EventSink& sink) {
  return [&sink](const platform::InstanceMessage& m) { sink.Post(m.msg, m.wParam, m.lParam); };
}

ProgramBackend::ProgramBackend(Program& program, EventSink& sink,
                               std::shared_ptr<std::atomic<bool>> visible)
    : program_(program),
      sink_(sink),
      visible_(visible ? std::move(visible) : std::make_shared<std::atomic<bool>>(false)),
      config_(WindowConfigFrom(Cat(), ProgramDir)),
      notice_(LoadNoticeSettings(UserDataDir)) {}

ProgramBackend::~ProgramBackend() {
  if (exit_.joinable()) exit_.join();
}

std::vector<DeviceTile> ProgramBackend::Devices() const {
  std::vector<DeviceTile> tiles;
  const DiscoveryConfig& dc = program_.Manager().Config();
  for (const DevEntryView& v : program_.Devices()) {
    if (!v.pDev || !v.pDevCfg) continue;
    DeviceTile t = TileFor(*v.pDevCfg, int(v.nIndex));
    t.connected = v.bConnected && !v.bOffline;
    t.wireless = dc.IsWireless(v.pDev->wPID);
    t.wiredVer = v.wWiredVer;
    t.wirelessVer = v.wWirelessVer;
    tiles.push_back(std::move(t));
  }
  return tiles;
}

std::optional<DeviceTile> ProgramBackend::Device(int entry) const {
  if (entry < 0) return std::nullopt;
  for (DeviceTile& t : Devices())
    if (t.entry == entry) return t;
  return std::nullopt;
}

int ProgramBackend::CurrentEntry() const {
  const int cur = program_.Current();
  return Device(cur) ? cur : -1;
}

std::string ProgramBackend::CurrentSkinFolder() const {
  const DevCfg* model = program_.CurrentModel();
  return model ? TileFor(*model, -1).skinFolder : std::string();
}

Gate ProgramBackend::CanChangeSettings(int entry) const {
  if (program_.ReadRunning()) return Gate::Busy;
  const int i = entry < 0 ? program_.Current() : entry;
  for (const DevEntryView& v : program_.Devices())
    if (int(v.nIndex) == i) return v.bConnected ? Gate::Ok : Gate::NotConnected;
  return Gate::NotConnected;
}

uint64_t ProgramBackend::ChooseDevice(int entry) { return program_.ChooseDevice(entry); }

void ProgramBackend::LeaveDevice() {
  program_.Session().SaveCurrentStore();
  program_.TellDriverStatus(0);
}

void ProgramBackend::WindowShown(bool shown) {
  program_.TellDriverStatus(shown ? 1 : 0);
  if (shown) program_.WindowShown();
}

void ProgramBackend::VisibilityChanged(bool visible) { visible_->store(visible); }

uint64_t ProgramBackend::RequestBattery() { return program_.ReadBattery(); }

int ProgramBackend::RescanCount() const { return program_.Manager().RescanCounter(); }
bool ProgramBackend::RescanTimerActive() const { return program_.Manager().FindDevTimerRunning(); }

std::vector<std::string> ProgramBackend::TakeMessages() {
  std::vector<std::string> texts;
  for (const auto& m : program_.TakeMessages()) texts.push_back(m.text);
  return texts;
}

WindowSettings ProgramBackend::Settings() const {
  const GlobalSettings g = program_.Session().Globals();
  return {g.bStartHidden != 0, g.bRunAtLogon != 0, notice_.bLowBattery};
}

bool ProgramBackend::SaveSettings(const WindowSettings& s) {
  GlobalSettings g;
  g.bStartHidden = s.startHidden ? 1 : 0;
  g.bRunAtLogon = s.runAtLogon ? 1 : 0;
  if (SaveGlobalSettings(UserDataDir, g) != 1) return false;
  program_.Session().SetGlobals(g);
  if (s.lowBatteryNotice != notice_.bLowBattery) {
    const NoticeSettings notice{s.lowBatteryNotice};
    if (SaveNoticeSettings(UserDataDir, notice) != 0) return false;
    notice_ = notice;
  }
  return true;
}

std::vector<std::string> ProgramBackend::Languages() const {
  std::vector<std::string> names;
  for (const Language& l : Cat().languages) names.push_back(l.name);
  return names;
}

int ProgramBackend::CurrentLanguage() const { return CurrentLanguageIndex(); }

bool ProgramBackend::ChooseLanguage(int index) {
  std::vector<std::string> folders;
  for (const Language& l : Cat().languages) folders.push_back(l.folder);
  return tolvane::ChooseLanguage(folders, index);
}

void ProgramBackend::SetProgressWindow(std::shared_ptr<EventSink> window) {
  program_.SetProgressWindow(std::move(window));
}

void ProgramBackend::Exit() {
  if (exit_.joinable()) return;
  exit_ = std::thread([this] {
    program_.Exit(true);
    exitDone_ = true;
    sink_.Post(WM_EXIT_DONE, 0, 0);
  });
}

}  // namespace tolvane::ui
