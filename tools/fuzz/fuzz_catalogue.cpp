// cfg.ini: the INI reader's lookups and the whole catalogue loader over one file.
#include <cstdint>

#include "app/notifier.h"
#include "config/catalogue.h"
#include "config/ini_file.h"
#include "fuzz_support.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  fuzz::QuietLog();
  std::string_view text(reinterpret_cast<const char*>(data), size);

  IniFile ini;
  ini.LoadText(text);
  ini.GetString("OPT", "Title", "x", 40);
  ini.GetString("DEV_1", "Name", "", 3);
  ini.GetInt("OPT", "Debug", 7);
  ini.GetInt("DEV_1", "Sensor", 0);
  ProfileInt(text.substr(0, 64));
  ParseNumberList(text.substr(0, 512), 650, 16);
  ParseNumberList(text.substr(0, 512), 8, 10, 20);
  CutChars(text.substr(0, 64), 5);

  const auto path = scratch.Dir() / "cfg.ini";
  fuzz::Scratch::Write(path, text);
  Catalogue cat;
  RecordingNotifier notes;
  if (LoadCatalogue(path.string(), cat, notes)) {
    for (int m : cat.ModelsInUse()) {
      const DevCfg& d = cat.dev[m];
      cat.FindModel(d.nCid, d.nMid);
      for (uint32_t dpi : d.dwDpi) {
        int mode = 0;
        int code = cat.sensors.DpiToCode(d.nSensor, int(dpi), &mode);
        cat.sensors.CodeToDpi(&d, code, mode);
        cat.sensors.IndexToDpi(d.nSensor, cat.sensors.DpiToIndex(d.nSensor, int(dpi)));
      }
    }
  }
  return 0;
}
