#include "profile/key_env.h"

#include "app/log.h"
#include "macro/macro_library.h"

namespace tolvane {

std::optional<StMacro> LibraryKeyEnv::FindMacro(uint32_t id) const {
  if (!library_) return std::nullopt;
  // A damaged macro goes to no button until it is fixed or deleted.
  if (library_->IsDamaged(id)) {
    LogPrint("FindMacro: macro 0x%x is damaged", id);
    return std::nullopt;
  }
  return library_->FindById(id);
}

std::optional<uint32_t> LibraryKeyEnv::FindMacroId(std::string_view name) const {
  if (!library_) return std::nullopt;
  const auto m = library_->FindByName(name);
  if (!m) return std::nullopt;
  return m->dwID;
}

}  // namespace tolvane
