#include "config/catalogue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <set>

#include "app/log.h"
#include "app/notifier.h"
#include "test_files.h"

namespace tolvane {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  void TearDown() override {
    LogLevel = 0;
    SetupLogger();
    SetDebugOutput({});
  }
  bool Load(const std::string& text) {
    n_.Clear();
    cat_ = std::make_unique<Catalogue>();
    return LoadCatalogue(dir_.Write("cfg.ini", text), *cat_, n_);
  }
  // "Error: <text>" / "Warning: <text>" in the order they were shown.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& e : n_.Entries())
      out.push_back((e.caption == Caption::Error ? "Error: " : "Warning: ") + e.text);
    return out;
  }
  const DevCfg& Dev(int n) const { return cat_->dev[n - 1]; }

  static constexpr const char* kOpt = "[OPT]\nappdir=T\n";
  test::ScratchDir dir_;
  RecordingNotifier n_;
  std::unique_ptr<Catalogue> cat_;
};

using Strings = std::vector<std::string>;

TEST_F(CatalogueTest, MissingFileLoadsAllDefaults) {
  cat_ = std::make_unique<Catalogue>();
  ASSERT_TRUE(LoadCatalogue(dir_.Path("none.ini"), *cat_, n_));
  EXPECT_EQ(Messages(), Strings{"Error: APPDATA=NULL"});
  EXPECT_TRUE(cat_->bLoaded);
  EXPECT_TRUE(cat_->ModelsInUse().empty());
  EXPECT_TRUE(cat_->languages.empty());
  EXPECT_TRUE(cat_->opt.VID.empty() && cat_->opt.PID.empty() && cat_->opt.PID2.empty());
  const OptCfg& o = cat_->opt;
  EXPECT_EQ(o.MenuItems, 13u);
  EXPECT_EQ(o.Sensor, 0x3050u);
  EXPECT_EQ(o.MacroOptX, 756u);
  EXPECT_EQ(o.SpotFw, 3u);
  EXPECT_EQ(o.ScaleY, 4u);
  EXPECT_EQ(o.clrEdit, 0x141414u);
  EXPECT_EQ(o.clrMaskDialog, 0x00FF00u);
  EXPECT_EQ(o.ptDpiSpeed, (Point{626, 558}));
  EXPECT_EQ(o.rcKeyList, (Rect{401, 85, 627, 464}));
  EXPECT_EQ(o.LEDParam, (std::array<uint8_t, 6>{3, 10, 8, 255, 0, 255}));
  EXPECT_EQ(cat_->ledOpt[2].A, 8);
  EXPECT_EQ(cat_->ledOpt[2].B, 10);
  EXPECT_EQ(cat_->ledOpt[0].E, 1);
  EXPECT_EQ(cat_->ledOpt[6].clr[6], 0xFA00FAu);
  EXPECT_EQ(cat_->macro.nMinDelay, 10u);
  EXPECT_EQ(cat_->macro.nMaxEvents, 70u);
  EXPECT_EQ(cat_->sensors.Find(0x3325)->nCount, 54);
}

TEST_F(CatalogueTest, OptionValuesOfEveryForm) {
  ASSERT_TRUE(Load(
      "[opt]\nAPPDIR=Tolvane\nApplyNow=1\nMinDelay=25\n3325Setp200=1\n"
      "VID=3151,0x3152,zz,3153\nPID=4011, 4012\nPID2=\n"
      "Title=" + std::string(60, 't') + "\nFontName=" + std::string(40, 'f') + "\n"
      "Txt_clr=10,20,30\nclrEdit=5\nclrMask=\nclrDpiMark=300,1\n"
      "LEDParam=1,2,3\nrcMacroList=1,2,3,4\nptKey=5, 6\n"
      "LedOpt1=9\nLedOpt3=1,2,3,4,5,10,20,30\n"));
  EXPECT_TRUE(Messages().empty());
  const OptCfg& o = cat_->opt;
  EXPECT_EQ(o.appdir, "Tolvane");
  EXPECT_EQ(o.ApplyNow, 1u);
  EXPECT_EQ(cat_->macro.nMinDelay, 25u);
  EXPECT_EQ(cat_->sensors.Find(0x3325)->nCount, 74);
  EXPECT_EQ(o.VID, (std::vector<uint16_t>{0x3151, 0x3152}));
  EXPECT_EQ(o.PID, (std::vector<uint16_t>{0x4011, 0x4012}));
  EXPECT_TRUE(o.PID2.empty());
  EXPECT_EQ(o.Title, std::string(39, 't'));
  EXPECT_EQ(o.FontName, std::string(29, 'f'));
  EXPECT_EQ(o.Txt_clr, 0x1E140Au);
  EXPECT_EQ(o.clrEdit, 5u);
  EXPECT_EQ(o.clrMask, 0u);
  EXPECT_EQ(o.clrDpiMark, 0x012Cu);  // each component is a byte
  EXPECT_EQ(o.LEDParam, (std::array<uint8_t, 6>{1, 2, 3, 0, 0, 0}));
  EXPECT_EQ(o.rcMacroList, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(o.ptKey, (Point{5, 6}));
  const LedOption& l1 = cat_->ledOpt[0];
  EXPECT_EQ(std::vector<int>({l1.A, l1.B, l1.C, l1.D, l1.E}), std::vector<int>({9, 0, 0, 0, 0}));
  EXPECT_EQ(l1.clr[0], 0x0000FFu);
  const LedOption& l3 = cat_->ledOpt[2];
  EXPECT_EQ(std::vector<int>({l3.A, l3.B, l3.C, l3.D, l3.E}), std::vector<int>({1, 2, 3, 4, 5}));
  EXPECT_EQ(l3.clr[0], 0x1E140Au);
  EXPECT_EQ(l3.clr[1], 0u);
  EXPECT_EQ(cat_->ledOpt[1].A, 6);  // untouched entries keep their defaults
}

TEST_F(CatalogueTest, WrongPointsAndRectanglesFallBackToDefaults) {
  ASSERT_TRUE(Load(std::string(kOpt) + "ptKey=1\nptPower=1,2,3\nrcKeyList=1,2,3\nrcSupprotBtn=a\n"));
  EXPECT_EQ(Messages(), (Strings{"Error: Wrong rect num", "Error: Wrong rect num",
                                 "Error: Wrong POINT num", "Error: Wrong POINT num"}));
  EXPECT_EQ(cat_->opt.ptKey, (Point{72, 77}));
  EXPECT_EQ(cat_->opt.ptPower, (Point{850, 50}));
  EXPECT_EQ(cat_->opt.rcKeyList, (Rect{401, 85, 627, 464}));
}

TEST_F(CatalogueTest, LanguageList) {
  ASSERT_TRUE(Load(std::string(kOpt) + "Lang1= English , en \nLang2=Deutsch\nLang3=Dansk,da\n"));
  EXPECT_EQ(Messages(), Strings{"Error: Lang2 is invalidate"});
  ASSERT_EQ(cat_->languages.size(), 1u);
  EXPECT_EQ(cat_->languages[0].name, "English");
  EXPECT_EQ(cat_->languages[0].folder, "en");

  ASSERT_TRUE(Load(std::string(kOpt) + "Lang1=English,\n"));
  EXPECT_EQ(Messages(), Strings{"Error: Lang1 is invalidate"});
  EXPECT_TRUE(cat_->languages.empty());

  // A folder that leaves the program folder is refused the same way.
  ASSERT_TRUE(Load(std::string(kOpt) + "Lang1=English,en\nLang2=Evil,../../etc\n"));
  EXPECT_EQ(Messages(), Strings{"Error: Lang2 is invalidate"});
  EXPECT_EQ(cat_->languages.size(), 1u);

  // A gap ends the list; at most ten are read; names are cut to 29.
  std::string many = kOpt;
  for (int i = 1; i <= 11; ++i) many += "Lang" + std::to_string(i) + "=" + std::string(40, 'a' + i) + ",l" + std::to_string(i) + "\n";
  ASSERT_TRUE(Load(many));
  ASSERT_EQ(cat_->languages.size(), 10u);
  EXPECT_EQ(cat_->languages[0].name, std::string(29, 'b'));
  ASSERT_TRUE(Load(std::string(kOpt) + "Lang1=English,en\nLang3=Dansk,da\n"));
  EXPECT_EQ(cat_->languages.size(), 1u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CatalogueTest, ModelSectionsDefaultsAndSkipping) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=13205\nCID=10\nMID=49\nFw=1\nName=" + std::string(30, 'N') +
                   "\nDPI=800,1600,3200,6400,12800,26000\n"
                   "[DEV_3]\nName=nothing here\n"
                   "[DEV_4]\nSensor=12368\nShowDpi=0\nSleepVal=5,10\nDpiLEDMode=197121\n"
                   "[DEV_26]\nSensor=12368\n"));
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(cat_->ModelsInUse(), (std::vector<int>{0, 3}));
  const DevCfg& d = Dev(1);
  EXPECT_EQ(d.Name(), std::string(19, 'N'));
  EXPECT_EQ(d.nCid, 10u);
  EXPECT_EQ(d.nMid, 49u);
  EXPECT_EQ(d.nFw, 1u);
  EXPECT_EQ(d.bWideRange, 1u);
  EXPECT_EQ(d.nRate[0], 0x125u);
  EXPECT_EQ(d.nRate[3], 0x1000u);
  EXPECT_EQ(d.nDefRate, 0x500u);
  EXPECT_EQ(d.bShowUsbRate, 1u);
  EXPECT_EQ(d.bShowLogoEffect, 0u);
  EXPECT_EQ(d.dwDpiMenuMask, 7u);
  EXPECT_EQ(d.nSleepTime, 60u);
  EXPECT_EQ(d.nSleepVal[10], 2400u);
  EXPECT_EQ(d.nSleepVal[11], 0u);
  EXPECT_EQ(d.dwDpiLEDMode, 0x30502u);
  EXPECT_EQ(d.bShowDpiLED, 1u);
  EXPECT_EQ(d.nDM, 6u);
  EXPECT_EQ(d.nDPIH, 15u);
  EXPECT_EQ(d.nKEYH, 10u);
  EXPECT_EQ(d.nMdNum, 3u);
  EXPECT_EQ(d.nKeyCount, 16u);
  EXPECT_EQ(d.ptMark, (Point{337, 65}));
  EXPECT_EQ(d.ptLedMark, (Point{525, 30}));
  EXPECT_EQ(d.dwDpi[5], 26000u);
  EXPECT_EQ(d.dwDpiColor[7], 0xFFFF00u);
  EXPECT_FALSE(Dev(3).InUse());
  EXPECT_EQ(Dev(3).Name(), "");
  const DevCfg& e = Dev(4);
  EXPECT_EQ(e.bWideRange, 0u);
  EXPECT_EQ(e.bShowDpiLED, 0u);
  EXPECT_EQ(std::vector<uint32_t>(e.nSleepVal, e.nSleepVal + 3), (std::vector<uint32_t>{5, 10, 0}));
  EXPECT_EQ(e.dwDpiLEDMode, 197121u);
  EXPECT_EQ(e.dwDpi[0], 750u);  // the sensor's default list
  EXPECT_EQ(cat_->FindModel(10, 49), &Dev(1));
  EXPECT_EQ(cat_->FindModel(10, 50), nullptr);
}

TEST_F(CatalogueTest, DpiLimitDpiAndColourChecks) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=12368\nDpiLimit=1,2,3\nDM=2\nDPI=750,777\nDC=1,2,3,4,5\n"
                   "[DEV_2]\nSensor=12368\nDpiLimit=100,200,300,400\nDPI=500,750,1000\n"
                   "DC=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18\n"
                   "[DEV_3]\nSensor=13205\nDM=2\n"));
  EXPECT_EQ(Messages(), (Strings{"Warning: wrong DpiLimit value", "Warning: Wrong default dpi value: 777",
                                 "Warning: DC != DM.", "Warning: DPI != DM.",
                                 "Warning: Wrong default dpi value: 0", "Warning: Wrong default dpi value: 0"}));
  EXPECT_EQ(Dev(1).nDpiLimit[0][0], 0u);
  EXPECT_EQ(Dev(1).dwDpi[1], 777u);
  EXPECT_EQ(Dev(1).dwDpiColor[0], 0x0000FFu);
  EXPECT_EQ(Dev(2).nDpiLimit[0][1], 300u);
  EXPECT_EQ(Dev(2).nDpiLimit[1][1], 400u);
  EXPECT_EQ(Dev(2).dwDpi[0], 750u);  // three values for six levels: the default list
  EXPECT_EQ(Dev(2).dwDpiColor[0], 0x030201u);
  EXPECT_EQ(Dev(2).dwDpiColor[5], 0x121110u);
  EXPECT_EQ(Dev(2).dwDpiColor[6], 0xFF00FFu);

  std::string dc17;
  for (int i = 0; i < 17; ++i) dc17 += "1,";
  ASSERT_TRUE(Load(std::string(kOpt) + "[DEV_1]\nSensor=12368\nDC=" + dc17 + "\n"));
  EXPECT_EQ(Messages(), Strings{"Warning: DC != DM."});
}

TEST_F(CatalogueTest, LevelCountAboveEightIsLimited) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=12368\nDM=12\nDEFLEVEL=40\nDPI=500,750,1000,1250,1500,1750,2000,2500\n"
                   "DC=" + [] { std::string s; for (int i = 0; i < 24; ++i) s += "9,"; return s; }() + "\n"));
  EXPECT_EQ(Messages(), (Strings{"Warning: DPI != DM.", "Warning: DC != DM."}));
  EXPECT_EQ(Dev(1).nDM, 12u);
  EXPECT_EQ(Dev(1).DpiLevels(), 8);
  EXPECT_EQ(Dev(1).DefaultLevel(), 7);
  EXPECT_EQ(Dev(1).dwDpi[7], 4000u);
}

TEST_F(CatalogueTest, SensorWithoutTableWarnsAndLeavesTablesAlone) {
  ASSERT_TRUE(Load(std::string(kOpt) + "[DEV_1]\nSensor=4660\nDM=2\nDPI=1,2\nDPISET=1,2,3\nDPIRANGE=1\n"));
  EXPECT_EQ(Messages(), Strings{"Warning: Can't find sensor"});
  auto fresh = std::make_unique<SensorTables>();
  fresh->Build(false);
  for (int i = 0; i < kMaxSensorTables; ++i) {
    EXPECT_EQ(cat_->sensors.Tables()[i].nSensor, fresh->Tables()[i].nSensor);
    EXPECT_EQ(cat_->sensors.Tables()[i].nCount, fresh->Tables()[i].nCount);
  }
  EXPECT_EQ(Dev(1).dwDpi[1], 2u);
  EXPECT_EQ(cat_->sensors.CodeToDpi(&Dev(1), 1, 0), 0);
}

TEST_F(CatalogueTest, OverridesApplyBeforeTheDefaultCheck) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=12368\nDM=3\nDPISET=400,800,1600\nDPI=400,800,1600\n"
                   "[DEV_2]\nSensor=12368\nDM=2\nDPIRANGE=100,1000,100,1200,1600,200\n"
                   "DPIRANGEALIAS=1600,1650\nDPI=1650,1600\n"));
  EXPECT_EQ(Messages(), Strings{"Warning: Wrong default dpi value: 1600"});
  EXPECT_EQ(cat_->sensors.Find(0x3050)->nCount, 13);
  EXPECT_EQ(cat_->sensors.DpiToIndex(0x3050, 1650), 12);
}

TEST_F(CatalogueTest, MdnumAndKmValidation) {
  ASSERT_TRUE(Load(std::string(kOpt) + "[DEV_1]\nSensor=12368\nMDNUM=6\nKM=2\n[DEV_2]\nSensor=12368\nMDNUM=3\n"));
  EXPECT_EQ(Dev(1).nMdNum, 2u);
  EXPECT_EQ(Dev(1).nKeyCount, 1u);
  EXPECT_EQ(Dev(2).nMdNum, 1u);

  for (const char* bad : {"MDNUM=4", "MDNUM=0", "KM=34", "KM=7", "KM=0", "KM=-2"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Load(std::string(kOpt) + "[DEV_1]\nSensor=12368\nName=First\n[DEV_2]\nSensor=12368\n" + bad +
                      "\n[DEV_3]\nSensor=12368\nName=Third\n"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(cat_->bLoaded);
    EXPECT_TRUE(cat_->ModelsInUse().empty());  // no device entries
    EXPECT_EQ(Dev(1).Name(), "First");       // entries already read stay
    EXPECT_FALSE(Dev(3).InUse());
  }
}

TEST_F(CatalogueTest, DefaultKeyTables) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=12368\nKM=12\n"
                   "K1_1=1,11,0,1\nK2_1=2,1041,3,2\nK3_1=8,A4,0,3\nK4_1=8,a6,5,4\nK5_1=8,A8,7,105\n"
                   "K6_1=1,12,0\n"
                   "K1_2=1,13,0,1\n"
                   "[DEV_2]\nSensor=12368\nKM=4\nK1_1=8,A4,0F02,1\nK2_1=8,AD,1234,2\nK1_3=1,11,0,1\nK2_3=1,13,0,2\n"));
  EXPECT_EQ(Messages(), (Strings{"Error: Key num to small", "Error: Key num to small"}));
  const auto& t = Dev(1).keys;
  EXPECT_EQ(t[0][0].dwFunID, 0x01000011u);
  EXPECT_EQ(t[0][0].nMatrix, 1u);
  EXPECT_EQ(t[0][1].dwFunID, 0x020000A1u);
  EXPECT_EQ(t[0][1].stCombo.bModifiers, 0x03);
  EXPECT_EQ(t[0][1].stCombo.bKeys[0], 0x41);
  EXPECT_EQ(t[0][1].stCombo.bKeys[1], 0x10);
  EXPECT_EQ(t[0][1].dwParameter, 0u);
  EXPECT_EQ(t[0][2].dwFunID, 0x080000A4u);
  EXPECT_EQ(t[0][2].dwParameter, 0xA03u);
  EXPECT_EQ(t[0][3].dwParameter, 5u);
  EXPECT_EQ(t[0][4].dwFunID, 0x080000A8u);
  EXPECT_EQ(t[0][4].dwParameter, 0u);
  EXPECT_EQ(t[0][4].nMatrix, 5u);  // matrix & 0xFF
  EXPECT_EQ(t[0][5].dwFunID, 0u);  // three numbers: skipped
  EXPECT_EQ(t[1][0].dwFunID, 0x01000013u);
  EXPECT_EQ(t[1][1].dwFunID, 0u);
  EXPECT_EQ(t[2][0].dwFunID, 0x01000011u);  // empty table 3 copies table 1
  EXPECT_EQ(t[2][1].stCombo.bKeys[0], 0x41);
  const auto& u = Dev(2).keys;
  EXPECT_EQ(u[0][0].dwParameter, 0x0F02u);
  EXPECT_EQ(u[0][1].dwParameter, 0x1234u);
  EXPECT_EQ(u[1][1].dwFunID, 0x080000ADu);  // copy of table 1
  EXPECT_EQ(u[2][1].dwFunID, 0x01000013u);
}

TEST_F(CatalogueTest, KeyRectangles) {
  ASSERT_TRUE(Load(std::string(kOpt) +
                   "[DEV_1]\nSensor=12368\nrcKey1=10,20,30,40\nrcKey2=1,2,3\nrcKey3=5,5,5,5,5\n"
                   "rcKey4=-5,0,10,10\nrcKey6=1,1,1,1\n"));
  EXPECT_EQ(Messages(), (Strings{"Error: rcKey value error", "Error: rcKey value error"}));
  const DevCfg& d = Dev(1);
  EXPECT_EQ(d.rcKey[0], (Rect{10, 20, 40, 60}));
  EXPECT_EQ(d.rcKey[1], (Rect{}));
  EXPECT_EQ(d.rcKey[2], (Rect{}));
  EXPECT_EQ(d.rcKey[3], (Rect{-5, 0, 5, 10}));
  EXPECT_EQ(d.rcKey[5], (Rect{}));  // after the missing rcKey5
}

TEST_F(CatalogueTest, DebugLevelSetsUpTheLogger) {
  std::vector<std::string> out;
  SetDebugOutput([&](std::string_view t) { out.emplace_back(t); });
  ASSERT_TRUE(Load(std::string(kOpt) + "Debug=1\n[DEV_1]\nSensor=12368\nDpiLimit=1\n"));
  EXPECT_EQ(LogLevel, 1);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0].rfind("BY: LoadCatalogue: [DEV_1] DpiLimit", 0), 0u) << out[0];
  out.clear();
  ASSERT_TRUE(Load(std::string(kOpt) + "Debug=0\n[DEV_1]\nSensor=12368\nDpiLimit=1\n"));
  EXPECT_EQ(LogLevel, 0);
  EXPECT_TRUE(out.empty());
}

TEST_F(CatalogueTest, HostileFilesLoadInBoundedTime) {
  auto t0 = std::chrono::steady_clock::now();
  std::mt19937 rng(11);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = char(rng() % 256);
  EXPECT_TRUE(Load(junk));

  // Every section at its worst: long values, steps of 0, huge ranges, values
  // no table holds.
  std::string text = std::string(kOpt) + "VID=" + std::string(100000, '9') + "\nLang1=" + std::string(100000, ',') + "\n";
  for (int i = 1; i <= 25; ++i) {
    text += "[DEV_" + std::to_string(i) + "]\nSensor=" + std::to_string(i % 2 ? 0x3050 : 0x3395) +
            "\nName=" + std::string(100000, 'n') + "\nDM=4294967295\nDEFLEVEL=4294967295\n"
            "DPIRANGE=" + (i % 3 ? "0,99999999999,0" : "0,99999999999,1") + "\nDPISET=" + std::string(5000, '1') +
            "\nDPI=" + std::string(100000, '8') + "\nrcKey1=" + std::string(100000, '1') + ",1,1,1\n"
            "K1_1=ffffffffffffffffff,ffffffff,ffffffff,ffffffff\n";
  }
  Load(text);
  for (const DevCfg& d : cat_->dev) {
    EXPECT_LE(d.DpiLevels(), 8);
    EXPECT_LT(d.Name().size(), 80u);
  }
  for (const SensorCfg& s : cat_->sensors.Tables()) EXPECT_LE(s.nCount, kMaxSensorDpi);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 3000);
}

TEST_F(CatalogueTest, BundledCatalogueLoadsWithoutAnyMessage) {
  cat_ = std::make_unique<Catalogue>();
  ASSERT_TRUE(LoadCatalogue(std::string(TOLVANE_SOURCE_DATA_DIR) + "cfg.ini", *cat_, n_));
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  const OptCfg& o = cat_->opt;
  EXPECT_EQ(o.appdir, "Tolvane");
  EXPECT_EQ(o.Title, "Tolvane");
  EXPECT_EQ(o.Debug, 0u);
  EXPECT_FALSE(o.VID.empty());
  EXPECT_FALSE(o.PID.empty());
  EXPECT_FALSE(o.PID2.empty());
  for (uint16_t p : o.PID)  // wired and wireless ids are distinct
    EXPECT_EQ(std::count(o.PID2.begin(), o.PID2.end(), p), 0);
  ASSERT_GE(cat_->languages.size(), 2u);
  EXPECT_EQ(cat_->languages[0].folder, "en");
  EXPECT_EQ(cat_->languages[1].folder, "de");

  std::vector<int> used = cat_->ModelsInUse();
  ASSERT_GE(used.size(), 6u);
  std::set<uint32_t> sensors, families;
  std::set<std::pair<uint32_t, uint32_t>> ids;
  bool logo = false, noLogo = false, dpiLed = false, noDpiLed = false;
  bool mouse = false, dpiFn = false, combo = false, fire = false;
  for (int i : used) {
    const DevCfg& d = cat_->dev[i];
    SCOPED_TRACE(d.Name());
    EXPECT_FALSE(d.Name().empty());
    EXPECT_TRUE(ids.insert({d.nCid, d.nMid}).second) << "duplicate cid/mid";
    EXPECT_LE(d.nCid, 0xFFu);
    EXPECT_LE(d.nMid, 0xFFu);
    sensors.insert(d.nSensor);
    families.insert(d.nFw);
    (d.bShowLogoEffect ? logo : noLogo) = true;
    (d.bShowDpiLED ? dpiLed : noDpiLed) = true;
    EXPECT_LE(d.nDM, 8u);
    EXPECT_LT(d.nDefLevel, d.nDM);
    for (int k = 0; k < d.KeyCount(); ++k) {
      const Rect& r = d.rcKey[k];
      EXPECT_TRUE(r.left < r.right && r.top < r.bottom && r.left >= 0 && r.top >= 0 && r.right <= 400 &&
                  r.bottom <= 400)
          << "rcKey" << k + 1;
      for (int j = 0; j < k; ++j) {  // hot areas do not overlap
        const Rect& q = d.rcKey[j];
        EXPECT_FALSE(r.left < q.right && q.left < r.right && r.top < q.bottom && q.top < r.bottom)
            << "rcKey" << k + 1 << " overlaps rcKey" << j + 1;
      }
      for (int t = 0; t < kKeyModes; ++t) {
        const KeyInfo& ki = d.keys[t][k];
        EXPECT_NE(ki.dwFunID, 0u) << "K" << k + 1 << "_" << t + 1;
        EXPECT_EQ(ki.nMatrix, uint32_t(k + 1));
        mouse |= ki.dwFunID >> 24 == 1;
        dpiFn |= ki.dwFunID == 0x080000A8 || ki.dwFunID == 0x080000A9 || ki.dwFunID == 0x080000AA;
        combo |= ki.dwFunID == 0x020000A1;
        fire |= ki.dwFunID == 0x080000A4;
      }
    }
  }
  for (uint32_t s : {0x3395u, 0x3325u, 0x3370u, 0x3050u}) EXPECT_TRUE(sensors.count(s)) << std::hex << s;
  EXPECT_TRUE(families.count(0) && families.count(1));
  EXPECT_TRUE(logo && noLogo && dpiLed && noDpiLed);
  EXPECT_TRUE(mouse && dpiFn && combo && fire);
}

}  // namespace
}  // namespace tolvane
