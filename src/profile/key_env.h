// The macro library behind the key-code conversions: macro buttons find their
// macro by id when written and by the name the device stores when read.
#pragma once

#include "profile/key_codes.h"

namespace tolvane {

class MacroLibrary;

// Sniper positions keep the defaults (no sensor table) unless a subclass
// adds them; a null library is an empty one.
class LibraryKeyEnv : public KeyCodeEnv {
 public:
  explicit LibraryKeyEnv(const MacroLibrary* library) : library_(library) {}
  std::optional<StMacro> FindMacro(uint32_t id) const override;
  std::optional<uint32_t> FindMacroId(std::string_view name) const override;

 protected:
  const MacroLibrary* library_;
};

}  // namespace tolvane
