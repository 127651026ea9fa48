#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>

#include "app/log.h"
#include "app/notifier.h"
#include "macro/macro_library.h"
#include "store_rig.h"
#include "support/log_capture.h"

namespace tolvane::test {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  TempDir tmp;
  DevCfg model = TestModel();
  ProfileDefaults defaults;
  ProfileStore store{tmp.Dir(), TestTexts(), [] {
                       PointerReadings r;
                       r.doubleClickTime = 400;
                       r.speed = 14;
                       return r;
                     }};
  RecordingNotifier notes;

  std::string StorePath() { return tmp.Dir() + "PRO_0a31.dct"; }
};

TEST_F(StoreTest, DamagedOrMissingStoreGivesFourNamedDefaults) {
  for (size_t size : {size_t(0), size_t(8483), size_t(8485)}) {
    if (size == 0) {
      std::filesystem::remove(StorePath());
    } else {
      std::vector<uint8_t> junk(size, 0x5A);
      WriteAll(StorePath(), junk.data(), junk.size());
    }
    store.LoadPro(model, defaults);
    ASSERT_EQ(store.Count(), 4u) << size;
    EXPECT_EQ(store.CurrentIndex(), 0) << size;
    std::vector<uint32_t> ids;
    for (int i = 0; i < 4; ++i) {
      ProfileFile p = *store.GetProfileAt(i);
      EXPECT_EQ(p.dwMagic, kProfileMagic);
      EXPECT_NE(p.dwID, 0u);
      EXPECT_EQ(GetProfileName(p), "Profile " + std::to_string(i + 1));
      for (uint32_t other : ids) EXPECT_NE(other, p.dwID);
      ids.push_back(p.dwID);
    }
    EXPECT_FALSE(store.GetProfileAt(4));
    EXPECT_FALSE(store.GetProfileAt(-1));
  }
}

TEST_F(StoreTest, SaveAndLoadKeepTheBytesAndTheCurrentProfile) {
  store.LoadPro(model, defaults);
  ASSERT_TRUE(store.SetCurrentIndex(2));
  store.Edit([](ProfileFile& p) {
    SetProfileName(p, "Ünïcode name that is too long");
    p.Dpi[3].dwDpiX = 12345;
  });
  ASSERT_EQ(store.SavePro(model), 1);
  std::vector<uint8_t> file = ReadAll(StorePath());
  ASSERT_EQ(file.size(), 8484u);
  ProfileFile at2 = *store.GetProfileAt(2);
  uint32_t curId;
  std::memcpy(&curId, file.data(), 4);
  EXPECT_EQ(curId, at2.dwID);
  EXPECT_EQ(std::memcmp(file.data() + 4 + 2 * 2120, &at2, 2120), 0);
  EXPECT_EQ(GetProfileName(at2), "Ünïcode name that i");  // 19 units

  ProfileStore again(tmp.Dir(), TestTexts());
  again.LoadPro(model, defaults);
  EXPECT_EQ(again.CurrentIndex(), 2);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameBytes(*again.GetProfileAt(i), *store.GetProfileAt(i)));

  // A current id that matches none of the records selects the first.
  uint32_t none = 0xABCDEF;
  std::memcpy(file.data(), &none, 4);
  WriteAll(StorePath(), file.data(), file.size());
  again.LoadPro(model, defaults);
  EXPECT_EQ(again.CurrentIndex(), 0);
  EXPECT_EQ(again.GetProfileAt(2)->Dpi[3].dwDpiX, 12345u);
}

TEST_F(StoreTest, DamagedRecordsAreBroughtBackInRange) {
  store.LoadPro(model, defaults);
  store.Edit([](ProfileFile& p) {
    p.nKeyTable = 7;
    p.Key[0][0].nMatrix = 99;
    for (auto& u : p.szName) u = 'x';
  });
  ASSERT_EQ(store.SavePro(model), 1);
  ProfileStore again(tmp.Dir(), TestTexts());
  again.LoadPro(model, defaults);
  ProfileFile p = *again.Current();
  EXPECT_EQ(p.nKeyTable, 0);
  EXPECT_EQ(p.Key[0][0].nMatrix, 0u);
  EXPECT_EQ(p.Key[0][1].nMatrix, 2u);
  EXPECT_EQ(GetProfileName(p), std::string(19, 'x'));
}

TEST_F(StoreTest, FailedSaveIsReportedAndKeepsTheOldFile) {
  store.LoadPro(model, defaults);
  EXPECT_EQ(store.SavePro(model), 1);
  std::vector<uint8_t> before = ReadAll(StorePath());
  store.Edit([](ProfileFile& p) { p.nLOD = 3; });
  auto log = std::make_unique<LogCapture>();
  // A disk that fills up in the middle of the write.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4000;
  setrlimit(RLIMIT_FSIZE, &small);
  int r = store.SavePro(model);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(ReadAll(StorePath()), before);
  EXPECT_TRUE(log->Mentions("SavePro: WriteFile err=27"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Dir()),
                          std::filesystem::directory_iterator()),
            1);

  // A folder that cannot hold files.
  WriteAll(tmp.Root() + "/plain", "x", 1);
  ProfileStore blocked(tmp.Root() + "/plain/", TestTexts());
  blocked.LoadPro(model, defaults);
  EXPECT_EQ(blocked.SavePro(model), 0);
  EXPECT_TRUE(log->Mentions("SavePro: CreateFile err=20"));
  log.reset();

  // Nothing is written without a current profile.
  ProfileStore empty(tmp.Dir(), TestTexts());
  EXPECT_EQ(empty.SavePro(TestModel(0x0b, 0x01)), 0);
  EXPECT_FALSE(std::filesystem::exists(tmp.Dir() + "PRO_0b01.dct"));
}

TEST_F(StoreTest, DefaultProfileFromTheCatalogue) {
  ProfileFile p;
  ZeroProfile(p);
  p.dwMagic = 0x11111111;
  p.dwID = 0x222222;
  p.bReserved0[7] = 9;
  p.bReserved2[3] = 9;
  model.nDebounce = 0;
  model.nDpiUILevels = 0;
  defaults.debounce = 8;
  defaults.enhancePrecision = 0;
  defaults.ledParam = {6, 7, 9, 0x10, 0x20, 0x30};
  PointerReadings r;
  r.scrollLines = 5;
  r.trails = 2;
  MakeDefaultProfile(p, model, defaults, r, TestTexts());
  EXPECT_EQ(p.dwMagic, 0x11111111u);
  EXPECT_EQ(p.dwID, 0x222222u);
  EXPECT_EQ(p.bReserved0[7], 0);
  EXPECT_EQ(p.bReserved2[3], 0);
  EXPECT_EQ(GetProfileName(p), "Default");
  EXPECT_EQ(std::memcmp(p.Key, model.keys, sizeof(p.Key)), 0);
  EXPECT_EQ(p.dwPollingRate, 0x1000u);
  EXPECT_EQ(p.nDebounce, 8);
  EXPECT_EQ(p.nSleepTime, 30);
  EXPECT_EQ(p.bLightOffOnMove, 1);
  EXPECT_EQ(p.nLOD, 1);
  EXPECT_EQ(p.bButtonOption, 1);
  EXPECT_EQ(p.nSensorSleep, 6);
  EXPECT_EQ(p.DpiLight.nMode, 2);
  EXPECT_EQ(p.DpiLight.nBright, 4);
  EXPECT_EQ(p.DpiLight.nSpeed, 2);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(p.Dpi[i].bAbsent, i < 6 ? 0u : 1u) << i;
    EXPECT_EQ(p.Dpi[i].dwDpiX, i < 6 ? 400u * (i + 1) : 0u);
    EXPECT_EQ(p.Dpi[i].dwDpiY, p.Dpi[i].dwDpiX);
  }
  EXPECT_EQ(p.Dpi[5].dwColor, 0x60u);
  EXPECT_EQ(p.dwSensor, 0x3395u);
  EXPECT_EQ(p.nDpiLevels, 6);
  EXPECT_EQ(p.SysMouse.nScrollLines, 5);
  EXPECT_EQ(p.SysMouse.nDoubleClickTime, 550);
  EXPECT_EQ(p.SysMouse.nPointerSpeed, 10);
  EXPECT_EQ(p.SysMouse.nTrails, 2);
  EXPECT_EQ(p.SysMouse.bEnhancePrecision, 0);
  EXPECT_EQ(p.MainLight.nMode, 6);
  EXPECT_EQ(p.MainLight.nBright, 7);
  EXPECT_EQ(p.MainLight.nSpeed, 9);
  EXPECT_EQ(p.MainLight.dwColor, 0x302010u);
  EXPECT_EQ(p.LogoLight.nMode, 1);
  EXPECT_EQ(p.LogoLight.nSpeed, 5);
  EXPECT_EQ(p.LogoLight.dwColor, 0x302010u);

  // The UI level count wins over DM; a DPI light byte of 0 stays at index 0.
  model.nDpiUILevels = 4;
  model.dwDpiLEDMode = 0;
  MakeDefaultProfile(p, model, defaults, {}, TestTexts());
  EXPECT_EQ(p.nDpiLevels, 4);
  EXPECT_EQ(p.DpiLight.nBright, 0);
  EXPECT_EQ(p.DpiLight.nSpeed, 0);

  // Pointer values come from the store's query.
  ProfileFile q = store.DefaultProfile(model, defaults);
  EXPECT_EQ(q.SysMouse.nDoubleClickTime, 400);
  EXPECT_EQ(q.SysMouse.nPointerSpeed, 14);
  EXPECT_EQ(q.SysMouse.nScrollLines, 3);
}

TEST_F(StoreTest, GlobalSettings) {
  GlobalSettings s = LoadGlobalSettings(tmp.Dir());
  EXPECT_EQ(s.bStartHidden, 0u);
  EXPECT_EQ(SaveGlobalSettings(tmp.Dir(), {1, 0x01020304}), 1);
  std::vector<uint8_t> file = ReadAll(tmp.Dir() + "gSetting.dct");
  EXPECT_EQ(file, (std::vector<uint8_t>{1, 0, 0, 0, 4, 3, 2, 1}));
  s = LoadGlobalSettings(tmp.Dir());
  EXPECT_EQ(s.bStartHidden, 1u);
  EXPECT_EQ(s.bRunAtLogon, 0x01020304u);
  file.resize(4);
  WriteAll(tmp.Dir() + "gSetting.dct", file.data(), file.size());
  s = LoadGlobalSettings(tmp.Dir());
  EXPECT_EQ(s.bStartHidden, 0u);
  EXPECT_EQ(s.bRunAtLogon, 0u);
  EXPECT_EQ(SaveGlobalSettings(tmp.Dir() + "missing/", {1, 1}), 1);  // folder made
  EXPECT_EQ(SaveGlobalSettings("/proc/", {1, 1}), 0);
}

class TransferTest : public StoreTest {
 protected:
  void SetUp() override {
    store.LoadPro(model, defaults);
    library.Load();
  }
  MacroLibrary library{tmp.Dir(), false};
  std::string Qxa() { return tmp.Root() + "/out.qxa"; }
  void SetMacroKey(ProfileFile& p, int t, int b, uint32_t id) {
    p.Key[t][b].dwFunID = kFunMacro;
    p.Key[t][b].dwMacroID = id;
  }
};

TEST_F(TransferTest, ExportFillsTenSlotsAndStoresTheLevel) {
  std::optional<StMacro> m = library.Add_Macro(TestMacro("Burst", 0x123456));
  ASSERT_TRUE(m);
  store.Edit([&](ProfileFile& p) {
    for (int b = 0; b < 16; ++b) SetMacroKey(p, 0, b, m->dwID);
    SetMacroKey(p, 1, 0, 0x777777);  // not in the library
  });
  ASSERT_TRUE(ExportProfile(store, library, 3, tmp.Root() + "/out", notes));
  std::vector<uint8_t> file = ReadAll(Qxa());  // extension added
  ASSERT_EQ(file.size(), 10460u);
  ProfileFile head;
  std::memcpy(static_cast<void*>(&head), file.data(), 2120);
  EXPECT_EQ(head.nCurDpiLevel, 3);
  EXPECT_EQ(store.Current()->nCurDpiLevel, 3);
  for (int s = 0; s < 10; ++s)
    EXPECT_EQ(std::memcmp(file.data() + 2120 + s * 834, &*m, 834), 0) << s;

  // A profile without macros leaves every slot zero.
  store.Edit([&](ProfileFile& p) { std::memcpy(p.Key, model.keys, sizeof(p.Key)); });
  std::vector<uint8_t> image = BuildExportImage(*store.Current(), library);
  EXPECT_TRUE(std::all_of(image.begin() + 2120, image.end(), [](uint8_t b) { return b == 0; }));

  EXPECT_FALSE(ExportProfile(store, library, 0, "/proc/nowhere/x.qxa", notes));
  EXPECT_TRUE(notes.Has("Create profile failed."));
}

TEST_F(TransferTest, ImportOfAProfileOnlyFile) {
  ProfileFile p = store.DefaultProfile(model, defaults);
  p.dwID = 0x424242;
  p.nCurDpiLevel = 7;  // the model has 6 levels
  p.nLOD = 2;
  SetMacroKey(p, 0, 3, 0x313131);
  WriteAll(Qxa(), &p, sizeof(p));
  uint32_t keepId = store.Current()->dwID;
  ImportOutcome r = ImportProfileFile(store, library, model, Qxa(), notes);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nCurDpiLevel, 0);
  EXPECT_EQ(r.nFlag, 0x7Fu + 0x80 + 0x40000 + 0x2000 + 0x200);
  ProfileFile cur = *store.Current();
  EXPECT_EQ(cur.dwID, keepId);
  EXPECT_EQ(cur.nLOD, 2);
  EXPECT_EQ(cur.Key[0][3].dwMacroID, 0x313131u);  // no slot: keeps its id
  EXPECT_EQ(library.Count(), 0u);
  EXPECT_TRUE(notes.Entries().empty());

  p.nCurDpiLevel = 5;
  WriteAll(Qxa(), &p, sizeof(p));
  EXPECT_EQ(ImportProfileFile(store, library, model, Qxa(), notes).nCurDpiLevel, 5);
  p.nCurDpiLevel = -1;
  WriteAll(Qxa(), &p, sizeof(p));
  EXPECT_EQ(ImportProfileFile(store, library, model, Qxa(), notes).nCurDpiLevel, 0);

  DevCfg all = model;
  all.bShowDebounce = all.bShowSleep = all.bShowFixLine = all.bShowRipple = 1;
  all.bWideRange = all.bShowLOD = 0;
  EXPECT_EQ(ImportApplyFlags(all), 0x7Fu + 0x80 + 0x40000 + 0x1000 + 0x4000 + 0x400 + 0x800);

  // The level count goes to the device too, within the levels the model has.
  for (auto [levels, expect] : {std::pair{8, 6}, {0, 1}, {-3, 1}, {4, 4}}) {
    p.nDpiLevels = levels;
    WriteAll(Qxa(), &p, sizeof(p));
    ASSERT_TRUE(ImportProfileFile(store, library, model, Qxa(), notes).ok);
    EXPECT_EQ(store.Current()->nDpiLevels, expect) << levels;
  }
}

TEST_F(TransferTest, RejectedFilesChangeNothing) {
  ProfileFile before = *store.Current();
  ProfileFile p = store.DefaultProfile(model, defaults);
  p.dwID = 0x10;
  p.nLOD = 2;
  std::vector<uint8_t> image(10460, 0);
  std::memcpy(image.data(), &p, sizeof(p));

  auto tryImport = [&](const std::vector<uint8_t>& bytes) {
    WriteAll(Qxa(), bytes.data(), bytes.size());
    notes.Clear();
    return ImportProfileFile(store, library, model, Qxa(), notes);
  };
  std::vector<uint8_t> bad = image;
  bad[0] ^= 1;  // magic
  EXPECT_FALSE(tryImport(bad).ok);
  EXPECT_TRUE(notes.Has("Not a profile"));
  bad = image;
  std::memset(bad.data() + 4, 0, 4);  // id 0
  EXPECT_FALSE(tryImport(bad).ok);
  EXPECT_FALSE(tryImport(std::vector<uint8_t>(image.begin(), image.begin() + 100)).ok);
  EXPECT_TRUE(notes.Has("Not a profile"));
  EXPECT_FALSE(tryImport({}).ok);
  EXPECT_TRUE(notes.Has("Read profile failed."));

  // A macro slot a button needs that is not a macro record: the library and
  // the profile stay as they were.
  library.Add_Macro(TestMacro("Kept", 0x50));
  size_t count = library.Count();
  SetMacroKey(p, 0, 0, 0x50);  // in the library: would be replaced
  SetMacroKey(p, 0, 1, 0x60);  // new, slot 1 has a wrong magic
  std::memcpy(image.data(), &p, sizeof(p));
  StMacro s0 = TestMacro("Kept2", 0x50, 0x42);
  StMacro s1 = TestMacro("New", 0x60);
  s1.dwMagicNumber = 0x12345678;
  std::memcpy(image.data() + 2120, &s0, 834);
  std::memcpy(image.data() + 2120 + 834, &s1, 834);
  EXPECT_FALSE(tryImport(image).ok);
  EXPECT_EQ(library.Count(), count);
  EXPECT_EQ(library.FindById(0x50)->stEvents[0].wCode, 0x41);

  // The default fallback texts, and a folder in place of the file.
  TextFn none = [](std::string_view) { return std::string(); };
  ProfileStore bare(tmp.Dir(), none);
  bare.LoadPro(model, defaults);
  notes.Clear();
  std::filesystem::create_directories(tmp.Root() + "/dir.qxa");
  EXPECT_FALSE(ImportProfileFile(bare, library, model, tmp.Root() + "/dir.qxa", notes).ok);
  EXPECT_TRUE(notes.Has("Open Profile Err = 22"));
  EXPECT_FALSE(ImportProfileFile(bare, library, model, tmp.Root() + "/none.qxa", notes).ok);
  EXPECT_TRUE(notes.Has("Open Profile Err = 2"));
  EXPECT_FALSE(ImportProfileFile(store, library, model, tmp.Root() + "/none.qxa", notes).ok);
  EXPECT_TRUE(notes.Has("Cannot open 2"));
  WriteAll(Qxa(), bad.data(), 10460);
  EXPECT_FALSE(ImportProfileFile(bare, library, model, Qxa(), notes).ok);
  EXPECT_TRUE(notes.Has("This is not a valid profile"));

  EXPECT_TRUE(SameBytes(*store.Current(), before));
}

TEST_F(TransferTest, ImportReplacesLibraryMacrosAndAddsNewOnes) {
  std::optional<StMacro> a = library.Add_Macro(TestMacro("Alpha", 0));
  std::optional<StMacro> b = library.Add_Macro(TestMacro("Beta", 0));
  ASSERT_TRUE(a && b);
  store.Edit([&](ProfileFile& p) {
    SetMacroKey(p, 0, 0, a->dwID);
    SetMacroKey(p, 0, 1, b->dwID);
    SetMacroKey(p, 2, 5, b->dwID);
  });
  ASSERT_TRUE(ExportProfile(store, library, 1, Qxa(), notes));

  // Same installation: the library's macros take the exported content.
  library.Update(a->dwID, [](StMacro& m) { m.stEvents[0].wCode = 0x5A; });
  ImportOutcome r = ImportProfileFile(store, library, model, Qxa(), notes);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nCurDpiLevel, 1);
  EXPECT_EQ(library.Count(), 2u);
  EXPECT_EQ(library.FindById(a->dwID)->stEvents[0].wCode, 0x41);
  EXPECT_EQ(store.Current()->Key[0][0].dwMacroID, a->dwID);

  // Another installation: the macros arrive under new ids, one per macro,
  // and their files stay inside the library even with path-like names.
  std::vector<uint8_t> image = ReadAll(Qxa());
  StMacro evil = TestMacro("../../../escape", b->dwID);
  std::memcpy(image.data() + 2120 + 834, &evil, 834);
  TempDir other;
  MacroLibrary lib2(other.Dir(), false);
  lib2.Load();
  ProfileStore store2(other.Dir(), TestTexts());
  store2.LoadPro(model, defaults);
  WriteAll(Qxa(), image.data(), image.size());
  r = ImportProfileFile(store2, lib2, model, Qxa(), notes);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lib2.Count(), 2u);
  ProfileFile cur = *store2.Current();
  uint32_t na = cur.Key[0][0].dwMacroID, nb = cur.Key[0][1].dwMacroID;
  EXPECT_NE(na, nb);
  EXPECT_EQ(cur.Key[2][5].dwMacroID, nb);
  ASSERT_TRUE(lib2.FindById(na));
  ASSERT_TRUE(lib2.FindById(nb));
  EXPECT_EQ(GetMacroName(*lib2.FindById(na)), "Alpha");
  for (auto& e : std::filesystem::recursive_directory_iterator(other.Root())) {
    if (e.is_regular_file()) {
      EXPECT_EQ(e.path().string().rfind(other.Dir() + "Mac/", 0), 0u) << e.path();
    }
  }
}

// A button of the file whose macro the file does not carry plays the
// library's macro of that id: a damaged one refuses the whole file.
TEST_F(TransferTest, ImportRefusesAButtonOnADamagedLibraryMacro) {
  std::optional<StMacro> m = library.Add_Macro(TestMacro("Broken", 0));
  ASSERT_TRUE(m);
  ASSERT_TRUE(library.Update(m->dwID, [](StMacro& r) { r.wRepeat = 251; }));
  ASSERT_TRUE(library.IsDamaged(m->dwID));
  ProfileFile p = store.DefaultProfile(model, defaults);
  p.dwID = 0x424242;
  SetMacroKey(p, 1, 2, m->dwID);
  WriteAll(Qxa(), &p, sizeof(p));
  const ProfileFile before = *store.Current();
  EXPECT_FALSE(ImportProfileFile(store, library, model, Qxa(), notes).ok);
  const ProfileFile after = *store.Current();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  EXPECT_EQ(library.Count(), 1u);
  ASSERT_TRUE(library.Update(m->dwID, [](StMacro& r) { r.wRepeat = 250; }));
  ImportOutcome r = ImportProfileFile(store, library, model, Qxa(), notes);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(store.Current()->Key[1][2].dwMacroID, m->dwID);
}

// A slot that carries the id of a library macro but is no macro record (its
// magic is wrong, its events garbage) leaves the library's macro as it was:
// the button keeps the checked library macro.
TEST_F(TransferTest, ADamagedSlotNeverReplacesTheLibrarysMacro) {
  std::optional<StMacro> m = library.Add_Macro(TestMacro("Kept", 0, 0x41));
  ASSERT_TRUE(m);
  ProfileFile p = store.DefaultProfile(model, defaults);
  p.dwID = 0x424242;
  SetMacroKey(p, 0, 2, m->dwID);
  std::vector<uint8_t> image(10460, 0);
  std::memcpy(image.data(), &p, sizeof(p));
  StMacro slot = TestMacro("Damaged", m->dwID, 0x42);
  slot.dwMagicNumber = 0x12345678;
  slot.wRepeat = 251;
  slot.nLoopMode = 7;
  std::memcpy(image.data() + 2120, &slot, 834);
  WriteAll(Qxa(), image.data(), image.size());

  ASSERT_TRUE(ImportProfileFile(store, library, model, Qxa(), notes).ok);
  EXPECT_EQ(store.Current()->Key[0][2].dwMacroID, m->dwID);
  ASSERT_TRUE(library.FindById(m->dwID));
  EXPECT_EQ(library.FindById(m->dwID)->stEvents[0].wCode, 0x41);
  EXPECT_FALSE(library.IsDamaged(m->dwID));
  EXPECT_EQ(library.Count(), 1u);
}

TEST_F(TransferTest, OversizedAndOddFilesGoThroughTheChecks) {
  ProfileFile p = store.DefaultProfile(model, defaults);
  p.dwID = 0x99;
  p.nKeyTable = 55;
  p.Key[1][2].nMatrix = 1000;
  std::vector<uint8_t> big(20000, 0xEE);
  std::memcpy(big.data(), &p, sizeof(p));
  std::memset(big.data() + 2120, 0, 10 * 834);
  WriteAll(Qxa(), big.data(), big.size());
  ImportOutcome r = ImportProfileFile(store, library, model, Qxa(), notes);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(store.Current()->nKeyTable, 0);
  EXPECT_EQ(store.Current()->Key[1][2].nMatrix, 0u);

  // Random bytes never crash and never touch the profile unless accepted.
  std::mt19937 rng(7);
  for (int i = 0; i < 50; ++i) {
    std::vector<uint8_t> junk(rng() % 12000);
    for (auto& c : junk) c = uint8_t(rng());
    if (junk.size() >= 8 && i % 2 == 0) {
      uint32_t magic = kProfileMagic;
      std::memcpy(junk.data(), &magic, 4);
    }
    WriteAll(Qxa(), junk.data(), junk.size());
    ProfileFile before = *store.Current();
    r = ImportProfileFile(store, library, model, Qxa(), notes);
    if (!r.ok) {
      EXPECT_TRUE(SameBytes(*store.Current(), before));
    } else {
      EXPECT_GE(store.Current()->nKeyTable, 0);
      EXPECT_LT(store.Current()->nKeyTable, 3);
    }
  }
}

// A store save killed at any point leaves a file that loads to either the
// old or the new profiles.
TEST(StoreCrashTest, KilledSaveKeepsOldOrNew) {
  TempDir tmp;
  DevCfg model = TestModel();
  ProfileStore store(tmp.Dir(), TestTexts());
  store.LoadPro(model, {});
  auto variant = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      ProfileFile p = *store.GetProfileAt(i);
      for (int l = 0; l < 8; ++l) p.Dpi[l].dwDpiX = v;
      std::memset(p.bReserved0, int(v & 0xFF), sizeof(p.bReserved0));
      store.SetProfileAt(i, p);
    }
  };
  variant(1);
  ASSERT_EQ(store.SavePro(model), 1);
  const std::string path = store.StorePath(model);
  std::mt19937 rng(12345);
  int oldSeen = 0, newSeen = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves the two variants in turn until killed.
      for (uint32_t v = 2;; v = v == 2 ? 1 : 2) {
        variant(v);
        store.SavePro(model);
      }
    }
    usleep(useconds_t(rng() % 4000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::vector<uint8_t> file = ReadAll(path);
    ASSERT_EQ(file.size(), 8484u) << round;
    ProfileStore check(tmp.Dir(), TestTexts());
    check.LoadPro(model, {});
    uint32_t v = check.GetProfileAt(0)->Dpi[0].dwDpiX;
    ASSERT_TRUE(v == 1 || v == 2) << round;
    for (int i = 0; i < 4; ++i) {
      ProfileFile p = *check.GetProfileAt(i);
      for (int l = 0; l < 8; ++l) ASSERT_EQ(p.Dpi[l].dwDpiX, v) << round;
      ASSERT_EQ(p.bReserved0[519], v) << round;
    }
    (v == 1 ? oldSeen : newSeen)++;
  }
  // The next load clears away the temporary files of the killed saves.
  store.LoadPro(model, {});
  for (auto& e : std::filesystem::directory_iterator(tmp.Dir()))
    EXPECT_EQ(e.path().filename(), "PRO_0a31.dct");
  RecordProperty("old", oldSeen);
  RecordProperty("new", newSeen);
}

}  // namespace
}  // namespace tolvane::test
