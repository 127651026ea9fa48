// The device catalogue: everything cfg.ini says about the program, its window
// and the supported models, read once at start-up and read-only afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/dev_cfg.h"
#include "config/sensor.h"

namespace tolvane {

class Notifier;

// [OPT]: program options, USB identifiers, fonts, colours and positions.
// Field names are the cfg.ini key names.
struct OptCfg {
  // Program switches and numbers.
  uint32_t Debug = 0;
  uint32_t b3325Setp200 = 0;  // "3325Setp200"
  uint32_t Suwnd = 1;
  uint32_t ApplyNow = 0;
  uint32_t DrvVer = 0;
  uint32_t BtnTips = 0;
  uint32_t MenuItems = 13;
  uint32_t DefDevIndex = 0;
  uint32_t EnhancePrecision = 1;
  uint32_t Debounce = 4;
  uint32_t ShowWelcome = 0;
  uint32_t ShowProfile = 1;
  uint32_t ComboRec = 1;
  uint32_t FontSize = 12;
  uint32_t MinDelay = 10;
  uint32_t MacroDir = 0;
  uint32_t MacroOptX = 756;
  uint32_t MacroHasMsKey = 0;
  uint32_t ListTrans = 0;
  uint32_t InsertBefore = 1;
  uint32_t MinUIDelay = 1;
  uint32_t Sensor = 0x3050;
  uint32_t Pop = 0;
  uint32_t TrayIcon = 2;
  uint32_t AutoSw = 0;
  uint32_t GoWithNoDev = 0;
  uint32_t ExitType = 0;
  uint32_t ShowSys = 1;
  uint32_t ShowPower = 1;
  uint32_t ShowProSw = 1;
  uint32_t KeyMask = 0;
  uint32_t UIDebug = 0;
  uint32_t SubDebug = 0;
  uint32_t SpotFw = 3;
  uint32_t ShowFWUpdate = 0;
  uint32_t Retry = 3;
  uint32_t BarY = 6, DpiBarY = 6, DpiSliderY = 0, ScaleY = 4, SliderY = 0, MenuW = 0;

  // Strings (UTF-8, cut to the lengths of their buffers).
  std::vector<uint16_t> VID;   // accepted vendor ids
  std::vector<uint16_t> PID;   // wired product ids
  std::vector<uint16_t> PID2;  // wireless (receiver) product ids
  std::string FontName;        // at most 29 characters
  std::string USBString;       // at most 29 characters
  std::string appdir;          // at most 29 characters
  std::string Title;           // at most 39 characters
  std::array<uint8_t, 6> LEDParam = {3, 10, 8, 255, 0, 255};  // mode, brightness, speed, r, g, b

  // Rectangles.
  Rect rcMacroList{100, 85, 326, 464};
  Rect rcKeyList{401, 85, 627, 464};
  Rect rcSupprotBtn{160, 400, 770, 430};
  Rect rcHomePageBtn{};

  // Colours, 0x00BBGGRR.
  uint32_t clrMacFrame = 0, Txt_clr = 0;
  uint32_t Btn_txt_clr_nr = 0, Btn_txt_clr_ov = 0, Btn_txt_clr_dn = 0;
  uint32_t Menu_txt_clr_nr = 0, Menu_txt_clr_ov = 0, Menu_txt_clr_dn = 0;
  uint32_t LstBox_txt_clr_nr = 0, LstBox_txt_clr_dn = 0;
  uint32_t LstBox_bkg_clr = 0, LstBox_item_clr = 0;
  uint32_t clrEdit = 0x141414;
  uint32_t clrMask = 0;
  uint32_t clrDpiMark = 0x0000FF;
  uint32_t clrMaskDialog = 0x00FF00;

  // Points.
  Point ptNavi{25, 110}, ptMin{952, 12}, ptApply{867, 645}, ptKey{72, 77};
  Point ptMoveSpeed{221, 440}, ptScrollSpeed{221, 510}, ptDbClickSpeed{221, 575};
  Point ptPower{850, 50}, ptProfile{111, 30}, ptDpiBar{240, 80}, ptLedEft{130, 60};
  Point ptDpiEft{530, 440}, ptDpiLight{626, 502}, ptDpiSpeed{626, 558}, ptLight{558, 366};
  Point ptSpeed{558, 423}, ptGradit{143, 189}, ptResult{80, 127}, ptRGBEdit{150, 133};
  Point ptLightOffOnMoving{558, 457}, ptSleep{558, 483}, ptGrid{100, 412};
};

// One lighting effect's options ("LedOpt%d"; effect 0 uses the seventh).
struct LedOption {
  uint32_t bPresent = 1;
  uint8_t A = 0;  // speed the effect starts with; 0 hides the speed control
  uint8_t B = 0;  // brightness it starts with; 0 hides the brightness control
  uint8_t C = 0, D = 0;
  uint8_t E = 0;  // nonzero shows the colour choice
  uint32_t clr[7] = {0x0000FF, 0xFF0000, 0x00FF00, 0xFF0080, 0x03C6FA, 0x6A03FA, 0xFA00FA};
};
constexpr int kLedOptions = 7;

// One entry of the language list ("Lang%d" = display name, folder).
struct Language {
  std::string name;    // at most 29 characters
  std::string folder;  // subfolder of ProgramDir holding its text.xml
};
constexpr int kMaxLanguages = 10;

// Limits of macros, fixed once the catalogue is read.
struct MacroLimits {
  uint32_t nMinDelay = 10;      // [OPT] MinDelay
  uint32_t nMaxDelay = 65535;   // ms
  uint32_t nHwMacroSize = 384;  // bytes of a device macro record
  uint32_t nMaxEvents = 70;     // events per macro
};

struct Catalogue {
  OptCfg opt;
  std::array<DevCfg, kMaxModels> dev{};  // [DEV_1]..[DEV_25]; unused entries have nSensor 0
  std::vector<Language> languages;
  std::array<LedOption, kLedOptions> ledOpt{};
  SensorTables sensors;
  MacroLimits macro;
  bool bLoaded = false;  // LoadCatalogue succeeded

  // Catalogue entry numbers (0-based) of the models in use, in entry order:
  // one device-list entry each. Empty when loading failed.
  std::vector<int> ModelsInUse() const;

  // The model with this customer and model id, or null.
  const DevCfg* FindModel(uint32_t cid, uint32_t mid) const;
};

// Reads cfg.ini at `cfgIniPath` into `out` (first reset to the defaults).
// Sets LogLevel from `Debug` and runs SetupLogger() as soon as it is read.
// Problems are reported through `n` and loading goes on with the defaults;
// it fails (returns false) only on an invalid MDNUM or KM in a used model
// section. A missing file loads all defaults and succeeds.
bool LoadCatalogue(const std::string& cfgIniPath, Catalogue& out, Notifier& n);

// The process-wide catalogue that the program loads at start-up.
Catalogue& g_Catalogue();
inline const Catalogue& Cat() { return g_Catalogue(); }

}  // namespace tolvane
