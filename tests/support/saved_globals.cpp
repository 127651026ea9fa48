#include "support/saved_globals.h"

#include "app/paths.h"

namespace tolvane::test {

SavedGlobals::SavedGlobals()
    : catalogue_(g_Catalogue()),
      programDir_(ProgramDir),
      userDataDir_(UserDataDir),
      link_(GetLinkOptions()) {}

SavedGlobals::~SavedGlobals() {
  g_Catalogue() = catalogue_;
  ProgramDir = programDir_;
  UserDataDir = userDataDir_;
  SetLinkOptions(link_);
}

}  // namespace tolvane::test
