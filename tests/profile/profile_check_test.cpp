// The rules an imported profile must keep for the model it goes to, and the
// import refusing a file that breaks one without touching the current
// profile, the store file or the macro library.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "app/notifier.h"
#include "config/sensor.h"
#include "macro/macro_library.h"
#include "profile/profile_check.h"
#include "store_rig.h"

namespace tolvane::test {
namespace {

class ProfileCheckTest : public ::testing::Test {
 protected:
  TempDir tmp;
  DevCfg model = TestModel();
  ProfileStore store{tmp.Dir(), TestTexts(), [] { return PointerReadings{}; }};
  ProfileFile Valid() {
    ProfileFile p = store.DefaultProfile(model, {});
    p.dwID = 0x4242;
    return p;
  }
};

TEST_F(ProfileCheckTest, DefaultProfilesPassAndEachBadFieldIsFatal) {
  EXPECT_TRUE(CheckProfileForModel(Valid(), model).findings.empty())
      << CheckProfileForModel(Valid(), model).FirstFatal();

  struct Case {
    const char* field;
    std::function<void(ProfileFile&)> spoil;
  };
  const Case cases[] = {
      {"Dpi[0].dwDpiX", [](ProfileFile& p) { p.Dpi[0].dwDpiX = 123457; }},
      {"Dpi[5].dwDpiY", [](ProfileFile& p) { p.Dpi[5].dwDpiY = 425; }},  // not a 50 step
      {"dwPollingRate", [](ProfileFile& p) { p.dwPollingRate = 0x4000; }},  // 4000 Hz on PRO
      {"nLOD", [](ProfileFile& p) { p.nLOD = 164; }},
      {"nDebounce", [](ProfileFile& p) { p.nDebounce = 80; }},
      {"nRipple", [](ProfileFile& p) { p.nRipple = 2; }},
      {"nSleepTime", [](ProfileFile& p) { p.nSleepTime = -10; }},
      {"nSensorSleep", [](ProfileFile& p) { p.nSensorSleep = 7; }},
      {"MainLight.nMode", [](ProfileFile& p) { p.MainLight.nMode = 9; }},
      {"LogoLight.nBright", [](ProfileFile& p) { p.LogoLight.nBright = 200; }},
      {"DpiLight.nSpeed", [](ProfileFile& p) { p.DpiLight.nSpeed = 5; }},
      {"SysMouse.nPointerSpeed", [](ProfileFile& p) { p.SysMouse.nPointerSpeed = 0; }},
      {"Key[2][4].dwFunID", [](ProfileFile& p) { p.Key[2][4].dwFunID = 0x0900FFFF; }},
      {"Key[0][0].dwFunID", [](ProfileFile& p) { p.Key[0][0].dwFunID = 0; }},
      {"Key[0][1].stCombo",
       [](ProfileFile& p) {
         p.Key[0][1].dwFunID = kFunComboKey;
         p.Key[0][1].stCombo.bKeys[0] = 0xFF;  // no key has it
       }},
      {"Key[0][2].dwParameter",
       [](ProfileFile& p) {
         p.Key[0][2].dwFunID = kFunRaw;
         p.Key[0][2].dwParameter = 0x77;  // no hardware function
       }},
  };
  for (const Case& c : cases) {
    ProfileFile p = Valid();
    c.spoil(p);
    ProfileCheck r = CheckProfileForModel(p, model);
    EXPECT_FALSE(r.Ok()) << c.field;
    EXPECT_EQ(r.FirstFatal().rfind(c.field, 0), 0u) << c.field << " / " << r.FirstFatal();
  }

  // A macro button whose macro the mouse cannot play.
  ProfileFile p = Valid();
  p.Key[0][3].dwFunID = kFunMacro;
  p.Key[0][3].dwMacroID = 0x31;
  StMacro bad = TestMacro("m", 0x31);
  bad.stEvents[0].dwDelay = 2729445774u;
  EXPECT_FALSE(CheckProfileForModel(p, model, [&](uint32_t id) {
                 return id == 0x31 ? &bad : nullptr;
               }).Ok());
  StMacro good = TestMacro("m", 0x31);
  EXPECT_TRUE(CheckProfileForModel(p, model, [&](uint32_t id) {
                return id == 0x31 ? &good : nullptr;
              }).Ok());
}

TEST_F(ProfileCheckTest, TablesDecideTheDpiAndMendsAreApplied) {
  SensorTables tables;
  tables.Build(false);
  ASSERT_NE(tables.Find(0x3395), nullptr);
  const int first = tables.IndexToDpi(0x3395, 0);
  EXPECT_TRUE(DpiInSensorRange(0x3395, uint32_t(first), &tables));
  EXPECT_FALSE(DpiInSensorRange(0x3395, uint32_t(first) + 1, &tables));
  EXPECT_FALSE(DpiInSensorRange(0x3395, 0xFFFFFFFFu, &tables));

  ProfileFile p = Valid();
  p.nDpiLevels = 8;      // more than the model's six
  p.nCurDpiLevel = 7;    // beyond the count
  p.dwSensor = 0x1234;   // another model's sensor
  p.nKeyTable = 9;
  p.Key[1][2].nMatrix = 1000;
  ProfileCheck r = CheckProfileForModel(p, model);
  EXPECT_TRUE(r.Ok()) << r.FirstFatal();
  EXPECT_TRUE(r.HasMends());
  EXPECT_TRUE(MendProfileForModel(p, model));
  EXPECT_EQ(p.nDpiLevels, 6);
  EXPECT_EQ(p.nCurDpiLevel, 0);
  EXPECT_EQ(p.dwSensor, model.nSensor);
  EXPECT_EQ(p.nKeyTable, 0);
  EXPECT_EQ(p.Key[1][2].nMatrix, 0u);
  EXPECT_TRUE(CheckProfileForModel(p, model).findings.empty());
  EXPECT_FALSE(MendProfileForModel(p, model));
}

// Random content behind the right magic and id never gets in; when the
// import refuses, the current profile, the store file and the library's
// files are byte for byte as before.
TEST_F(ProfileCheckTest, HostileExportFilesChangeNothing) {
  store.LoadPro(model, {});
  ASSERT_EQ(store.SavePro(model), 1);
  MacroLibrary library(tmp.Dir(), false);
  library.Load();
  ASSERT_TRUE(library.Add_Macro(TestMacro("kept", 0x50)));
  auto files = [&] {
    std::map<std::string, std::vector<uint8_t>> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(tmp.Dir()))
      if (e.is_regular_file()) out[e.path()] = ReadAll(e.path());
    return out;
  };
  const auto before = files();
  const ProfileFile current = *store.Current();
  const std::string qxa = tmp.Root() + "/in.qxa";
  RecordingNotifier notes;
  std::mt19937 rng(18);
  int refused = 0;
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> image(kExportFileSize);
    for (auto& b : image) b = uint8_t(rng());
    const uint32_t magic = kProfileMagic, id = 0x10 + uint32_t(i);
    std::memcpy(image.data(), &magic, 4);
    std::memcpy(image.data() + 4, &id, 4);
    WriteAll(qxa, image.data(), image.size());
    notes.Clear();
    refused += !ImportProfileFile(store, library, model, qxa, notes).ok;
    EXPECT_TRUE(notes.Has("Not a profile")) << i;
  }
  EXPECT_EQ(refused, 20);

  // One bad field in an otherwise good export, and a good profile whose
  // button plays a macro slot with a delay no mouse can wait.
  ProfileFile p = Valid();
  p.nDebounce = 80;
  std::vector<uint8_t> image(kExportFileSize, 0);
  std::memcpy(image.data(), &p, sizeof p);
  WriteAll(qxa, image.data(), image.size());
  EXPECT_FALSE(ImportProfileFile(store, library, model, qxa, notes).ok);
  p = Valid();
  p.Key[0][3].dwFunID = kFunMacro;
  p.Key[0][3].dwMacroID = 0x777;
  StMacro slow = TestMacro("slow", 0x777);
  slow.stEvents[0].dwDelay = 2729445774u;
  slow.wRepeat = 47396;
  std::memcpy(image.data(), &p, sizeof p);
  std::memcpy(image.data() + sizeof p, &slow, sizeof slow);
  WriteAll(qxa, image.data(), image.size());
  EXPECT_FALSE(ImportProfileFile(store, library, model, qxa, notes).ok);

  EXPECT_TRUE(SameBytes(*store.Current(), current));
  EXPECT_EQ(library.Count(), 1u);
  EXPECT_TRUE(files() == before);
}

TEST_F(ProfileCheckTest, ImportingOneFileFourTimesKeepsOneMacro) {
  store.LoadPro(model, {});
  MacroLibrary library(tmp.Dir(), false);
  library.Load();
  ProfileFile p = Valid();
  p.Key[0][3].dwFunID = kFunMacro;
  p.Key[0][3].dwMacroID = 0x777;
  StMacro m1 = TestMacro("a rather long macro name", 0x777);
  std::vector<uint8_t> image(kExportFileSize, 0);
  std::memcpy(image.data(), &p, sizeof p);
  std::memcpy(image.data() + sizeof p, &m1, sizeof m1);
  const std::string qxa = tmp.Root() + "/in.qxa";
  WriteAll(qxa, image.data(), image.size());
  RecordingNotifier notes;
  std::set<uint32_t> ids;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(ImportProfileFile(store, library, model, qxa, notes).ok) << i;
    ids.insert(store.Current()->Key[0][3].dwMacroID);
  }
  EXPECT_EQ(library.Count(), 1u);
  EXPECT_EQ(ids.size(), 1u);
  // Named as the mouse keeps it (15 units), so a read finds it again.
  const std::string name = GetMacroName(*library.FindById(*ids.begin()));
  EXPECT_EQ(name, "a rather long m");
  EXPECT_EQ(library.FindByName("a rather long m")->dwID, *ids.begin());
  EXPECT_TRUE(std::filesystem::exists(tmp.Dir() + "Mac/a rather long m.qxm"));
}

}  // namespace
}  // namespace tolvane::test
