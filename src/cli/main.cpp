#include "cli/cli.h"
#include "platform/desktop/desktop_pointer.h"

int main(int argc, char** argv) {
  // A profile applied with its pointer settings changes this desktop's.
  auto pointer = tolvane::platform::MakeDesktopPointerSettings();
  tolvane::SetPointerSettings(pointer.get());
  const int rc = tolvane::cli::RunCli(argc, argv);
  tolvane::SetPointerSettings(nullptr);
  return rc;
}
