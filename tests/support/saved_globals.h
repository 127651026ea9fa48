// The process-wide state a test of the whole program changes: the catalogue,
// the program and user data folders and the link options. Saved when the
// object is made, put back when it goes, so that one test's program leaves
// nothing behind for the next.
#pragma once

#include <string>

#include "config/catalogue.h"
#include "device/link_options.h"

namespace tolvane::test {

class SavedGlobals {
 public:
  SavedGlobals();
  ~SavedGlobals();
  SavedGlobals(const SavedGlobals&) = delete;
  SavedGlobals& operator=(const SavedGlobals&) = delete;

 private:
  Catalogue catalogue_;
  std::string programDir_, userDataDir_;
  LinkOptions link_;
};

}  // namespace tolvane::test
