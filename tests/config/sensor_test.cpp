#include "config/sensor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/notifier.h"
#include "config/dev_cfg.h"
#include "config/ini_file.h"

namespace tolvane {
namespace {

struct Conv {
  int code;
  int mode;
  bool operator==(const Conv&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Conv& c) {
  return os << "{code " << c.code << ", mode " << c.mode << "}";
}

class SensorTest : public ::testing::Test {
 protected:
  void Build(bool step200 = false) { t_->Build(step200); }
  Conv ToCode(uint32_t s, int dpi) {
    Conv c{0, -7};
    c.code = t_->DpiToCode(s, dpi, &c.mode);
    return c;
  }
  int ToDpi(uint32_t s, int code, int mode) {
    DevCfg d;
    d.nSensor = s;
    return t_->CodeToDpi(&d, code, mode);
  }
  // Applies the override keys of a one-section file to the sensor's table.
  const SensorCfg& Override(uint32_t s, const std::string& keys) {
    IniFile ini;
    ini.LoadText("[DEV_1]\n" + keys);
    SensorCfg* t = t_->Find(s);
    EXPECT_NE(t, nullptr);
    SensorTables::ApplySensorKeys(ini, "DEV_1", *t, n_);
    return *t;
  }
  std::unique_ptr<SensorTables> t_ = std::make_unique<SensorTables>();
  RecordingNotifier n_;
};

TEST_F(SensorTest, BuiltInTablesHaveTheirSizesAndOrder) {
  Build();
  const uint32_t ids[] = {0x3050, 0x3330, 0x3104, 0x3212, 0x3325, 0x3335, 0x4090, 0x3336, 0x3370, 0x3395};
  const int counts[] = {11, 192, 35, 19, 54, 160, 74, 192, 385, 520};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(t_->Tables()[i].nSensor, ids[i]);
    EXPECT_EQ(t_->Tables()[i].nCount, counts[i]) << std::hex << ids[i];
  }
  EXPECT_EQ(t_->Tables()[10].nSensor, 0u);
  const SensorCfg& t3050 = *t_->Find(0x3050);
  EXPECT_EQ(t3050.nDpi[0], 500);
  EXPECT_EQ(t3050.bCode[0], 1);
  EXPECT_EQ(t3050.nDpi[10], 4000);
  EXPECT_EQ(t3050.bCode[10], 11);
  EXPECT_EQ(t_->Find(0x3330)->nDpi[191], 12000);
  EXPECT_EQ(t_->Find(0x3212)->bCode[18], 63);  // 2400: the 19th code of 0x3104
  EXPECT_EQ(t_->Find(0x3335)->bCode[159], 189);
  EXPECT_EQ(t_->Find(0x3370)->nDpi[384], 38000);
  // 0x3336 doubled range: 7300 takes the code of 3650 (position 72).
  EXPECT_EQ(t_->Find(0x3336)->nDpi[144], 7300);
  EXPECT_EQ(t_->Find(0x3336)->bCode[144], 72);
  EXPECT_EQ(t_->Find(0x1234), nullptr);
  EXPECT_EQ(t_->Find(0), nullptr);
}

TEST_F(SensorTest, Table3325WithAndWithoutStep200) {
  Build(false);
  const SensorCfg* t = t_->Find(0x3325);
  ASSERT_EQ(t->nCount, 54);
  EXPECT_EQ(std::vector<int>(t->nDpi + 49, t->nDpi + 54), (std::vector<int>{6000, 7000, 8000, 9000, 10000}));
  EXPECT_EQ(ToCode(0x3325, 8000), (Conv{92, 1}));
  EXPECT_EQ(ToCode(0x3325, 4000), (Conv{92, 0}));
  EXPECT_EQ(ToCode(0x3325, 5200), (Conv{0, 0}));  // not in this table
  EXPECT_EQ(ToDpi(0x3325, 92, 1), 8000);
  EXPECT_EQ(ToDpi(0x3325, 92, 0), 4000);
  EXPECT_EQ(ToDpi(0x3325, 5, 0), 0);  // not a listed code

  Build(true);
  t = t_->Find(0x3325);
  ASSERT_EQ(t->nCount, 74);
  EXPECT_EQ(t->nDpi[49], 5200);
  EXPECT_EQ(t->nDpi[73], 10000);
  EXPECT_EQ(ToCode(0x3325, 5200), (Conv{59, 1}));
  EXPECT_EQ(ToCode(0x3325, 10000), (Conv{115, 1}));
  EXPECT_EQ(ToDpi(0x3325, 59, 1), 5200);
}

TEST_F(SensorTest, FormulaSensors3330_3370_3395) {
  Build();
  EXPECT_EQ(ToCode(0x3330, 7200), (Conv{143, 0}));
  EXPECT_EQ(ToCode(0x3330, 7300), (Conv{72, 1}));
  EXPECT_EQ(ToDpi(0x3330, 72, 1), 7300);
  EXPECT_EQ(ToDpi(0x3330, 143, 0), 7200);

  EXPECT_EQ(ToCode(0x3370, 50), (Conv{0, 0}));
  EXPECT_EQ(ToCode(0x3370, 10000), (Conv{199, 0}));
  EXPECT_EQ(ToCode(0x3370, 12000), (Conv{119, 2}));
  EXPECT_EQ(ToCode(0x3370, 19000), (Conv{189, 2}));
  EXPECT_EQ(ToCode(0x3370, 20000), (Conv{199, 1}));
  EXPECT_EQ(ToCode(0x3370, 38000), (Conv{189, 3}));
  EXPECT_EQ(ToCode(0x3370, 38200), (Conv{0, 0}));
  EXPECT_EQ(ToDpi(0x3370, 119, 2), 12000);
  EXPECT_EQ(ToDpi(0x3370, 199, 1), 20000);
  EXPECT_EQ(ToDpi(0x3370, 189, 3), 38000);
  EXPECT_EQ(ToDpi(0x3370, 199, 0), 10000);

  EXPECT_EQ(ToCode(0x3395, 26000), (Conv{519, 0}));
  // Doubled: (26200 / 2) / 50 - 1, which reads back as 26200.
  EXPECT_EQ(ToCode(0x3395, 26200), (Conv{261, 1}));
  EXPECT_EQ(ToDpi(0x3395, 519, 0), 26000);
  EXPECT_EQ(ToDpi(0x3395, 261, 1), 26200);

  // Every value of the 0x3370 and 0x3395 tables survives the round trip.
  for (uint32_t s : {0x3370u, 0x3395u, 0x3330u}) {
    const SensorCfg* t = t_->Find(s);
    for (int i = 0; i < t->nCount; ++i) {
      Conv c = ToCode(s, t->nDpi[i]);
      EXPECT_EQ(ToDpi(s, c.code, c.mode), t->nDpi[i]) << std::hex << s << std::dec << " " << t->nDpi[i];
    }
  }
}

TEST_F(SensorTest, TableSensorsAndTheirModes) {
  Build();
  EXPECT_EQ(ToCode(0x3050, 4000), (Conv{11, 0}));
  EXPECT_EQ(ToCode(0x3050, 4100), (Conv{0, 0}));
  EXPECT_EQ(ToDpi(0x3050, 11, 5), 4000);  // mode ignored
  EXPECT_EQ(ToCode(0x3104, 4000), (Conv{105, 0}));
  EXPECT_EQ(ToDpi(0x3104, 105, 1), 8000);
  EXPECT_EQ(ToDpi(0x3104, 1, 0), 0);
  EXPECT_EQ(ToCode(0x3336, 7300), (Conv{72, 1}));
  EXPECT_EQ(ToDpi(0x3336, 72, 1), 7300);
  EXPECT_EQ(ToDpi(0x3336, 144, 0), 0);
  EXPECT_EQ(ToCode(0x4090, 5200), (Conv{59, 1}));
  // No table, no entry, hostile values.
  EXPECT_EQ(ToCode(0x1234, 800), (Conv{0, 0}));
  EXPECT_EQ(ToCode(0x3395, 0), (Conv{0, 0}));
  EXPECT_EQ(ToCode(0x3395, -500), (Conv{0, 0}));
  EXPECT_EQ(ToCode(0x3395, 20), (Conv{0, 0}));
  EXPECT_EQ(t_->CodeToDpi(nullptr, 3, 0), 0);
  EXPECT_EQ(ToDpi(0, 3, 0), 0);
  EXPECT_EQ(ToDpi(0x1234, 3, 0), 0);
  EXPECT_EQ(ToDpi(0x3370, -1, 0), 0);
  EXPECT_EQ(ToDpi(0x3370, 1 << 30, 3), 0);
}

TEST_F(SensorTest, IndexConversionsAndDefaultLists) {
  Build();
  EXPECT_EQ(t_->DpiToIndex(0x3050, 4000), 10);
  EXPECT_EQ(t_->DpiToIndex(0x3050, 4100), -1);
  EXPECT_EQ(t_->DpiToIndex(0x1234, 4000), -1);
  EXPECT_EQ(t_->IndexToDpi(0x3050, 10), 4000);
  EXPECT_EQ(t_->IndexToDpi(0x3050, 11), -1);
  EXPECT_EQ(t_->IndexToDpi(0x3050, -1), -1);
  EXPECT_EQ(t_->IndexToDpi(0x1234, 0), -1);
  ASSERT_NE(DefaultDpiList(0x3325), nullptr);
  EXPECT_EQ((*DefaultDpiList(0x3325))[7], 8000);
  EXPECT_EQ((*DefaultDpiList(0x3370))[0], 750);
  EXPECT_EQ((*DefaultDpiList(0x9800))[7], 8200);
  EXPECT_EQ(DefaultDpiList(0x3395), nullptr);
}

TEST_F(SensorTest, DpiRangeRegeneratesValuesWithAliases) {
  Build();
  const SensorCfg& a = Override(0x3050, "DPIRANGE=100,1000,100\n");
  ASSERT_EQ(a.nCount, 10);
  EXPECT_EQ(a.nDpi[0], 100);
  EXPECT_EQ(a.nDpi[9], 1000);
  EXPECT_EQ(a.nDpi[10], 0);
  EXPECT_EQ(a.bCode[10], 11);  // codes stay as they were
  EXPECT_EQ(t_->DpiToIndex(0x3050, 4000), -1);

  Build();
  const SensorCfg& b =
      Override(0x3050, "DPIRANGEALIAS=500,-1,1600,1650,1600,1700\nDPIRANGE=100,1000,100,1200,1600,200\n");
  ASSERT_EQ(b.nCount, 13);
  EXPECT_EQ(b.nDpi[10], 1200);
  EXPECT_EQ(b.nDpi[11], 1400);
  EXPECT_EQ(b.nDpi[12], 1650);  // the first pair for 1600 decides
  EXPECT_EQ(b.nDpi[4], 500);    // alias -1 keeps the value
  EXPECT_TRUE(n_.Entries().empty());

  // DPIRANGE wins over DPISET and DPIHW.
  Build();
  const SensorCfg& c = Override(0x3050, "DPIRANGE=200,400,100\nDPISET=1,2\nDPIHW=5\n");
  EXPECT_EQ(c.nCount, 3);
  EXPECT_EQ(c.bCode[0], 1);
  EXPECT_TRUE(n_.Entries().empty());
}

TEST_F(SensorTest, DpiRangeIsBoundedOnHostileNumbers) {
  Build();
  // A step of 0 or below stores the start only.
  EXPECT_EQ(Override(0x3050, "DPIRANGE=400,1000,0\n").nCount, 1);
  EXPECT_EQ(Override(0x3050, "DPIRANGE=400,1000,-50\n").nCount, 1);
  // A huge range stops at 650 values; huge numbers do not overflow.
  const SensorCfg& t = Override(0x3050, "DPIRANGE=1,4000000000,1\n");
  EXPECT_EQ(t.nCount, 650);
  EXPECT_EQ(t.nDpi[649], 650);
  const SensorCfg& big = Override(0x3050, "DPIRANGE=2147483000,99999999999999,1000000\n");
  EXPECT_EQ(big.nCount, 650);
  EXPECT_EQ(big.nDpi[649], 2147483647);
  // The second run shares the 650 values with the first.
  EXPECT_EQ(Override(0x3050, "DPIRANGE=1,600,1,1,600,1\n").nCount, 650);
  // Four numbers: the second run stores its start only.
  const SensorCfg& four = Override(0x3050, "DPIRANGE=100,300,100,900\n");
  ASSERT_EQ(four.nCount, 4);
  EXPECT_EQ(four.nDpi[3], 900);
  EXPECT_TRUE(n_.Entries().empty());
  // Fewer than three numbers: warning, the table stays.
  Build();
  const SensorCfg& bad = Override(0x3050, "DPIRANGE=100,200\n");
  EXPECT_TRUE(n_.Has("Wrong DPIRANGE"));
  EXPECT_EQ(n_.Entries()[0].caption, Caption::Warning);
  EXPECT_EQ(bad.nCount, 11);
  EXPECT_EQ(bad.nDpi[10], 4000);
}

TEST_F(SensorTest, DpiSetAndDpiHw) {
  Build();
  const SensorCfg& t = Override(0x3050, "DPISET=400,800,1600\n");
  ASSERT_EQ(t.nCount, 3);
  EXPECT_EQ(t.nDpi[3], 0);
  EXPECT_EQ(std::vector<int>(t.bCode, t.bCode + 3), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ToCode(0x3050, 1600), (Conv{3, 0}));
  EXPECT_TRUE(n_.Entries().empty());

  const SensorCfg& h = Override(0x3050, "DPISET=400,800,1600\nDPIHW=10,1FF,0x22\n");
  EXPECT_EQ(std::vector<int>(h.bCode, h.bCode + 4), (std::vector<int>{0x10, 0xFF, 0x22, 0}));
  EXPECT_TRUE(n_.Entries().empty());

  Override(0x3050, "DPISET=400,800,1600\nDPIHW=10,20\n");
  EXPECT_TRUE(n_.Has("DPISET Num != DPIHW Num"));

  // Only the raw buffer of 779 characters is read: 389 two-character numbers.
  std::string many;
  for (int i = 0; i < 700; ++i) many += "5,";
  EXPECT_EQ(Override(0x3050, "DPISET=" + many + "\n").nCount, 389);
  // DPIHW alone replaces the codes of the existing values.
  Build();
  const SensorCfg& only = Override(0x3050, "DPIHW=" + many + "\n");
  EXPECT_EQ(only.nCount, 11);
  EXPECT_EQ(only.bCode[0], 5);
  EXPECT_EQ(only.bCode[300], 0);
}

}  // namespace
}  // namespace tolvane
