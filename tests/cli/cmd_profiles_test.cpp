// tolvanectl profiles, export, import and restore, run as the built program
// on a virtual mouse whose EEPROM lives in an image file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <vector>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "records/st_macro.h"
#include "profile/profile_file.h"
#include "cli/ctl_fixture.h"

namespace {

namespace fs = std::filesystem;

using Outcome = tolvane::test::CtlOutcome;

class ProfilesCli : public tolvane::test::CtlFixture {
 protected:
  std::string Mouse() { return "--simulate pro:cid=10,mid=01,eeprom=" + (dir_ / "m.bin").string() + " "; }
};

TEST_F(ProfilesCli, OfflineListAndExport) {
  Outcome r = Exec("--offline profiles --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"model\":\"Tolvane Kestrel\",\"cid\":\"10\",\"mid\":\"01\",\"profiles\":[", 0),
            0u)
      << r.out;
  size_t current = 0, entries = 0;
  for (size_t at = 0; (at = r.out.find("\"position\":", at)) != std::string::npos; ++at) ++entries;
  for (size_t at = 0; (at = r.out.find("\"current\":true", at)) != std::string::npos; ++at) ++current;
  EXPECT_EQ(entries, 4u);
  EXPECT_EQ(current, 1u);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "PRO_1001.dct"), 8484u);

  r = Exec("--offline export '" + (dir_ / "p").string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(dir_ / "p.qxa"), 10460u);
  r = Exec("--offline import '" + (dir_ / "missing.qxa").string() + "'");
  EXPECT_EQ(r.status, 1);
  r = Exec("--offline --device 99 profiles");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ProfilesCli, ImportWritesTheDeviceAndRestoreBringsBackItsDefaults) {
  Outcome r = Exec(Mouse() + "profiles");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string factory = Slurp(dir_ / "m.bin");
  ASSERT_FALSE(factory.empty());

  const std::string qxa = (dir_ / "p.qxa").string();
  r = Exec(Mouse() + "export '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string image = Slurp(qxa);
  ASSERT_EQ(image.size(), 10460u);
  tolvane::ProfileFile p;
  std::memcpy(static_cast<void*>(&p), image.data(), sizeof(p));
  ASSERT_NE(p.Dpi[1].dwDpiX, p.Dpi[2].dwDpiX);
  std::swap(p.Dpi[1], p.Dpi[2]);
  std::memcpy(image.data(), &p, sizeof(p));
  std::ofstream(qxa, std::ios::binary | std::ios::trunc).write(image.data(), std::streamsize(image.size()));

  r = Exec(Mouse() + "import '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("written to the device"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('%'), std::string::npos) << "no progress bar off a terminal";
  const std::string written = Slurp(dir_ / "m.bin");
  ASSERT_EQ(written.size(), factory.size());
  // DPI levels 1 and 2 (0x10, 0x14) changed places on the device.
  EXPECT_EQ(written.substr(0x10, 4), factory.substr(0x14, 4));
  EXPECT_EQ(written.substr(0x14, 4), factory.substr(0x10, 4));

  r = Exec(Mouse() + "restore", "n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Slurp(dir_ / "m.bin"), written);
  r = Exec(Mouse() + "restore --yes");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(dir_ / "m.bin"), factory);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "PRO_1001.dct"), 8484u);
  EXPECT_EQ(fs::file_size(dir_ / "user" / "gSetting.dct"), 8u);
}

// Crafted export files of each kind the mouse must never see: every one is
// refused with one line, and the mouse's EEPROM image, the store and the
// macro library stay byte for byte as they were.
TEST_F(ProfilesCli, HostileImportsLeaveMouseStoreAndLibraryAlone) {
  Outcome r = Exec(Mouse() + "macro new kept");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string qxa = (dir_ / "p.qxa").string();
  r = Exec(Mouse() + "export '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string good = Slurp(qxa);
  ASSERT_EQ(good.size(), 10460u);
  tolvane::ProfileFile base;
  std::memcpy(static_cast<void*>(&base), good.data(), sizeof(base));

  auto state = [&] {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(dir_ / "user"))
      if (e.is_regular_file()) files[e.path().string()] = Slurp(e.path());
    files["mouse"] = Slurp(dir_ / "m.bin");
    return files;
  };
  std::vector<std::pair<std::string, std::string>> crafted;
  auto withProfile = [&](const char* what, const std::function<void(tolvane::ProfileFile&)>& spoil,
                         const std::string& slot0 = {}) {
    tolvane::ProfileFile p = base;
    spoil(p);
    std::string image = good;
    std::memcpy(image.data(), &p, sizeof(p));
    if (!slot0.empty()) image.replace(sizeof(p), slot0.size(), slot0);
    crafted.emplace_back(what, image);
  };
  withProfile("DPI beyond the table", [](auto& p) { p.Dpi[0].dwDpiX = 987654; });
  withProfile("unknown function", [](auto& p) { p.Key[0][0].dwFunID = 0x0900FFFF; });
  withProfile("lift-off 164", [](auto& p) { p.nLOD = 164; });
  withProfile("debounce 80", [](auto& p) { p.nDebounce = 80; });
  withProfile("every button disabled, rate 0", [](auto& p) {
    for (auto& k : p.Key[0]) k.dwFunID = 0x7A7A7A7A;
    p.dwPollingRate = 0;
  });
  tolvane::StMacro slow{};
  slow.dwMagicNumber = tolvane::kMacroMagic;
  slow.dwID = 0x777;
  slow.wRepeat = 47396;
  slow.stEvents[0] = {0x41, 1, 2729445774u};
  slow.stEvents[1] = {0x41, 0, 0};
  withProfile("macro that cannot play",
              [](auto& p) {
                p.Key[0][2].dwFunID = 0x05000000;
                p.Key[0][2].dwMacroID = 0x777;
              },
              std::string(reinterpret_cast<const char*>(&slow), sizeof slow));
  std::mt19937 rng(75);
  for (int i = 0; i < 5; ++i) {
    std::string image(10460, '\0');
    for (char& c : image) c = char(rng());
    const uint32_t magic = tolvane::kProfileMagic, id = 0x100 + uint32_t(i);
    std::memcpy(image.data(), &magic, 4);
    std::memcpy(image.data() + 4, &id, 4);
    crafted.emplace_back("random " + std::to_string(i), image);
  }

  const auto before = state();
  for (const auto& [what, image] : crafted) {
    std::ofstream(qxa, std::ios::binary | std::ios::trunc).write(image.data(), std::streamsize(image.size()));
    r = Exec(Mouse() + "import '" + qxa + "'");
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
    EXPECT_TRUE(state() == before) << what;
  }

  // Export: never into a folder's name, never making folders.
  fs::create_directories(dir_ / "folder");
  r = Exec(Mouse() + "export '" + (dir_ / "folder").string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("exported"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "folder.qxa"));
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
  r = Exec(Mouse() + "export '" + (dir_ / "folder").string() + "/'");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
  r = Exec(Mouse() + "export '" + (dir_ / "no" / "such" / "p.qxa").string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "no"));
  EXPECT_TRUE(state() == before);
}

// One file imported four times: its macro enters the library once.
TEST_F(ProfilesCli, ImportingOneFileAgainReusesItsMacro) {
  const std::string qxa = (dir_ / "p.qxa").string();
  Outcome r = Exec(Mouse() + "export '" + qxa + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string image = Slurp(qxa);
  tolvane::ProfileFile p;
  std::memcpy(static_cast<void*>(&p), image.data(), sizeof(p));
  p.Key[0][2].dwFunID = 0x05000000;
  p.Key[0][2].dwMacroID = 0x777;
  tolvane::StMacro m1{};
  m1.dwMagicNumber = tolvane::kMacroMagic;
  m1.dwID = 0x777;
  m1.wRepeat = 1;
  m1.szName[0] = 'm';
  m1.szName[1] = '1';
  m1.stEvents[0] = {0x41, 1, 10};
  m1.stEvents[1] = {0x41, 0, 0};
  std::memcpy(image.data(), &p, sizeof(p));
  std::memcpy(image.data() + sizeof(p), &m1, sizeof(m1));
  std::ofstream(qxa, std::ios::binary | std::ios::trunc).write(image.data(), std::streamsize(image.size()));
  for (int i = 0; i < 4; ++i) {
    r = Exec(Mouse() + "import '" + qxa + "'");
    ASSERT_EQ(r.status, 0) << i << ": " << r.err;
  }
  std::vector<std::string> macros;
  for (auto& e : fs::directory_iterator(dir_ / "user" / "Mac")) macros.push_back(e.path().filename());
  EXPECT_EQ(macros, std::vector<std::string>{"m1.qxm"});
}

}  // namespace
