#include "profile/key_env.h"

#include <gtest/gtest.h>

#include "../macro/temp_library.h"
#include "macro/macro_library.h"

namespace tolvane {
namespace {

TEST(LibraryKeyEnv, MacroButtonsMeetTheLibrary) {
  test::TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  ASSERT_TRUE(lib.Load());
  StMacro m = test::MakeMacro("Reload", 0x1A2B3C);
  m.nLoopMode = 1;
  auto added = lib.Add_Macro(m);
  ASSERT_TRUE(added);
  LibraryKeyEnv env(&lib);

  KeyInfo k;
  k.dwFunID = kFunMacro;
  k.dwMacroID = added->dwID;
  EXPECT_EQ(keyinfo_to_hardware_code(env, k), 0xFF0006);
  KeyInfo read;
  read.nMatrix = 2;
  ASSERT_TRUE(HardwareCodeToKeyInfo({}, 0xFF0106, read, env, "reload"));  // letter case ignored
  EXPECT_EQ(read.dwMacroID, added->dwID);
  ASSERT_TRUE(HardwareCodeToKeyInfo({}, 0xFF0106, read, env, ""));
  EXPECT_EQ(read.dwMacroID, 0xFFEE01u);

  LibraryKeyEnv none(nullptr);
  EXPECT_EQ(keyinfo_to_hardware_code(none, k), -1);
  EXPECT_FALSE(none.FindMacroId("Reload"));
}

}  // namespace
}  // namespace tolvane
