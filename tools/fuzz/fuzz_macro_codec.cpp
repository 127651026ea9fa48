// Records read back from the device EEPROM: combination-key records, button
// hardware codes and hardware macro records, decoded and encoded again.
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "macro/hd_macro.h"
#include "profile/key_codes.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietLog();
  // Fixed layout: 4 bytes hardware code, the 512-byte combination area, then
  // a macro record (up to 384 bytes); missing bytes read as 0.
  std::vector<uint8_t> in(data, data + size);
  const size_t kComboArea = kComboRecordSize * kComboRecords;
  if (in.size() < 4 + kComboArea) in.resize(4 + kComboArea, 0);
  uint32_t code;
  std::memcpy(&code, in.data(), 4);
  std::span<const uint8_t> combos(in.data() + 4, kComboArea);
  std::span<const uint8_t> macro(in.data() + 4 + kComboArea, in.size() - 4 - kComboArea);

  KeyCodeEnv env;
  auto texts = [](std::string_view id) { return std::string(id); };
  for (int r = 0; r < kComboRecords; ++r) {
    KeyInfo key;
    if (!ComboDataToKeyInfo(combos.subspan(r * kComboRecordSize, kComboRecordSize), key)) continue;
    ComboLabel(key.stCombo, texts);
    uint8_t again[kComboRecordSize] = {};
    KeyInfoToComboData(again, key);
  }
  KeyInfo key;
  if (HardwareCodeToKeyInfo(combos, code, key, env, "m")) {
    KeyInfoLabel(key, env, texts);
    keyinfo_to_hardware_code(env, key);
  }

  if (macro.size() > kHdEventsOffset - 1) {
    StMacro st{};
    SetMacroNameFromRecord(st, macro.subspan(1, kHdNameBytes < macro.size() - 1 ? kHdNameBytes
                                                                               : macro.size() - 1));
    GetMacroName(st);
    if (HdMacro_To_StMacro(st, macro.subspan(kHdEventsOffset - 1), code & 0xFFFFFF)) {
      MacroPlayByte(st);
      HdMacro hd;
      std::memset(&hd, 0, sizeof hd);
      StMacro_To_HdMacro(st, hd);
      BuildHdMacroRecord(st, hd, 0, 1);
      StMacro back{};
      HdMacro_To_StMacro(back, std::span<const uint8_t>(hd.Bytes() + kHdEventsOffset - 1,
                                                        kHdMacroSize - kHdEventsOffset + 1),
                       st.dwID);
    }
  }
  return 0;
}
