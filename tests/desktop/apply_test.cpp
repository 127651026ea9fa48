// A profile applied with its pointer group sets the desktop's values through
// the desktop's backend; a desktop without a backend is left alone, and so
// is the profile.
#include <gtest/gtest.h>

#include <cstring>

#include "../macro/temp_library.h"
#include "../profile/profile_rig.h"
#include "fake_sway.h"
#include "platform/desktop/desktop_pointer.h"
#include "platform/desktop/sway_pointer.h"

namespace tolvane::test {
namespace {

struct UsePointer {
  explicit UsePointer(PointerSettings* p) { SetPointerSettings(p); }
  ~UsePointer() { SetPointerSettings(nullptr); }
};

TEST(DesktopApply, ProfileApplySetsTheDesktopsValues) {
  NoPacing np;
  TempUserDir dir;
  FakeSway sway(dir.Dir() + "sway.sock");
  platform::SwayPointerSettings backend(dir.Dir() + "sway.sock");
  UsePointer use(&backend);
  ProfileRig rig(0);
  ProfileFile f = rig.Read();
  f.SysMouse.nPointerSpeed = 20;
  f.SysMouse.bEnhancePrecision = 0;
  f.SysMouse.nScrollLines = 6;
  f.SysMouse.nDoubleClickTime = 270;  // sway has no double-click time
  ASSERT_EQ(ApplySetting(*rig.dev, &f, nullptr, 0, kApplyPointer, 0, nullptr), 1);
  EXPECT_EQ(sway.Commands(), (std::vector<std::string>{
                                 "input type:pointer scroll_factor 2",
                                 "input type:pointer accel_profile flat",
                                 "input type:pointer pointer_accel 1",
                             }));
  // Applied again: every value already matches, nothing is sent.
  ASSERT_EQ(ApplySetting(*rig.dev, &f, nullptr, 0, kApplyPointer, 0, nullptr), 1);
  EXPECT_EQ(sway.Commands().size(), 3u);
}

TEST(DesktopApply, NoBackendLeavesDesktopAndProfileUntouched) {
  NoPacing np;
  platform::NoPointerSettings none;
  UsePointer use(&none);
  ProfileRig rig(0);
  ProfileFile f = rig.Read();
  f.SysMouse.nPointerSpeed = 3;
  f.SysMouse.nScrollLines = -1;
  const ProfileFile before = f;
  EventRecorder progress;
  ASSERT_EQ(ApplySetting(*rig.dev, &f, &progress, WM_PROGRESS, kApplyPointer | kApplyDebounce, 0,
                                  nullptr),
            1);
  EXPECT_EQ(std::memcmp(&before, &f, sizeof f), 0);
  EXPECT_EQ(rig.Writes(), (std::vector<Write>{{0xA9, 2}}));  // the rest still applies
  EXPECT_EQ(progress.Params(WM_PROGRESS), (std::vector<uintptr_t>{20, 80, 90, 100}));
}

}  // namespace
}  // namespace tolvane::test
