#include "ui/preview_backend.h"

#include <cstdio>

#include "config/texts.h"
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

DeviceTile TileFor(const DevCfg& model, int entry, const std::string& programDir) {
  DeviceTile t;
  t.entry = entry;
  t.modelName = model.Name();
  char sub[16];
  std::snprintf(sub, sizeof sub, "%02x%02x", unsigned(model.nCid & 0xFF), unsigned(model.nMid & 0xFF));
  t.skinFolder = sub;
  t.picturePath = programDir + "skins/" + sub + "/mouse.png";
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

PreviewBackend::PreviewBackend(const Catalogue& cat, const std::string& programDir, EventSink& sink)
    : cat_(cat), programDir_(programDir), sink_(sink), config_(WindowConfigFrom(cat, programDir)) {
  // One wired model of the PRO family and one wireless of the PRO+ family.
  const std::vector<int> models = cat.ModelsInUse();
  int pro = -1, proPlus = -1;
  for (size_t i = 0; i < models.size(); ++i) {
    const DevCfg& m = cat.dev[size_t(models[i])];
    if (m.nFw == 0 && pro < 0) pro = int(i);
    if (m.nFw == 1 && proPlus < 0) proPlus = int(i);
  }
  if (pro < 0 && !models.empty()) pro = 0;
  if (pro >= 0) {
    DeviceTile t = TileFor(cat.dev[size_t(models[size_t(pro)])], pro, programDir);
    t.wiredVer = 0x0105;
    devices_.push_back(t);
  }
  if (proPlus >= 0 && proPlus != pro) {
    DeviceTile t = TileFor(cat.dev[size_t(models[size_t(proPlus)])], proPlus, programDir);
    t.wireless = true;
    t.wiredVer = 0x0203;
    t.wirelessVer = 0x0110;
    devices_.push_back(t);
  }
}

std::optional<DeviceTile> PreviewBackend::Device(int entry) const {
  for (const DeviceTile& t : devices_)
    if (t.entry == entry) return t;
  return std::nullopt;
}

Gate PreviewBackend::CanChangeSettings(int entry) const {
  return Device(entry < 0 ? current_ : entry) ? Gate::Ok : Gate::NotConnected;
}

uint64_t PreviewBackend::ChooseDevice(int entry) {
  if (!Device(entry)) return 0;
  current_ = entry;
  const uint64_t t = nextTicket_++;
  sink_.Post(WM_SYNC_OK, uintptr_t(t), 1);
  return t;
}

uint64_t PreviewBackend::RequestBattery() {
  const uint64_t t = nextTicket_++;
  sink_.Post(WM_BATTERY, uintptr_t(t), 80);
  return t;
}

bool PreviewBackend::SaveSettings(const WindowSettings& s) {
  settings_ = s;
  return true;
}

std::vector<std::string> PreviewBackend::Languages() const {
  std::vector<std::string> names;
  for (const Language& l : cat_.languages) names.push_back(l.name);
  return names;
}

bool PreviewBackend::ChooseLanguage(int index) {
  if (index < 0 || size_t(index) >= cat_.languages.size()) return false;
  std::vector<std::string> folders;
  for (const Language& l : cat_.languages) folders.push_back(l.folder);
  Texts().Load(LanguageTextPath(folders, index));
  language_ = index;
  return true;
}

void PreviewBackend::Exit() { sink_.Post(WM_EXIT_DONE, 0, 0); }

}  // namespace tolvane::ui
