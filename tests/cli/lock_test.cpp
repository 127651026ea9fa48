// Two tolvanectl processes changing the same virtual mouse (one EEPROM image
// file) at the same time: every write that reported success is in the image
// at the end. TOLVANE_LOCK_TEST_SECONDS sets how long both run (default 60).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "support/ctl_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class LockTwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "user"); }

  // Runs tolvanectl on the shared mouse; the exit status.
  int Ctl(const std::string& args, const std::string& tag) {
    const fs::path err = dir_ / ("err" + tag);
    const std::string cmd =
        tolvane::test::CtlCommand(TOLVANE_BINARY_DIR, TOLVANE_SOURCE_DATA_DIR,
                                  (dir_ / "user").string()) +
        " --simulate pro:cid=10,mid=01,eeprom=" + (dir_ / "m.bin").string() + " " + args +
        " >/dev/null 2>>'" + err.string() + "' </dev/null";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  static int Seconds() {
    const char* s = std::getenv("TOLVANE_LOCK_TEST_SECONDS");
    const int v = s ? std::atoi(s) : 60;
    return v > 0 ? v : 60;
  }
  const tolvane::test::TempFolder folder_{"lock"};
  const fs::path dir_{folder_.Root()};
};

struct Writer {
  std::map<int, int> lastOk;  // address -> value of its last write that succeeded
  int ok = 0, failed = 0;
};

TEST_F(LockTwoProcesses, EveryReportedWriteStays) {
  ASSERT_EQ(Ctl("list", "0"), 0);  // creates the image
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds());
  Writer w[2];
  auto loop = [&](int who) {
    const int base = who == 0 ? 0x1800 : 0x1880;  // each process its own addresses
    for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
      const int addr = base + i % 32;
      const int value = (i * 7 + who * 101 + 1) & 0xFF;
      char args[64];
      std::snprintf(args, sizeof args, "eeprom write %x %02x", addr, value);
      if (Ctl(args, std::to_string(who + 1)) == 0) {
        w[who].lastOk[addr] = value;
        ++w[who].ok;
      } else {
        ++w[who].failed;
      }
    }
  };
  std::thread a(loop, 0), b(loop, 1);
  a.join();
  b.join();

  std::ifstream in(dir_ / "m.bin", std::ios::binary);
  std::string image((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(image.size(), size_t(0x1900));
  int lost = 0;
  for (const Writer& each : w) {
    EXPECT_GT(each.ok, 0);
    for (const auto& [addr, value] : each.lastOk) {
      if (uint8_t(image[size_t(addr)]) != value) ++lost;
    }
  }
  EXPECT_EQ(lost, 0) << "writes " << w[0].ok << " + " << w[1].ok << ", failed " << w[0].failed
                     << " + " << w[1].failed;
  std::ifstream e1(dir_ / "err1"), e2(dir_ / "err2");
  std::stringstream errs;
  errs << e1.rdbuf() << e2.rdbuf();
  // A failure says why in one line.
  EXPECT_EQ(w[0].failed + w[1].failed,
            int(std::count(std::istreambuf_iterator<char>(errs), {}, '\n')));
  std::printf("two processes, %d s: %d + %d writes succeeded, %d + %d failed, %d lost\n", Seconds(),
              w[0].ok, w[1].ok, w[0].failed, w[1].failed, lost);
}

// While another process keeps the mouse's lock past the bounded wait, every
// command that talks to the device fails with the same one line, and the
// EEPROM image is unchanged.
TEST_F(LockTwoProcesses, HeldLockMakesEveryDeviceCommandSayBusy) {
  ASSERT_EQ(Ctl("show", "0"), 0);  // creates the image and the store
  const int fd = ::open((dir_ / "m.bin.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  const std::string image = slurp(dir_ / "m.bin");
  const std::string store = slurp(dir_ / "user" / "PRO_1001.dct");
  int n = 0;
  for (const char* args : {"show", "set dpi 1 800", "list", "eeprom read 0 4", "eeprom write 1800 01",
                           "battery", "profile set 1"}) {
    const std::string tag = "busy" + std::to_string(++n);
    EXPECT_EQ(Ctl(args, tag), 1) << args;
    EXPECT_EQ(slurp(dir_ / ("err" + tag)), "tolvanectl: the device is busy: another program is using it\n")
        << args;
  }
  EXPECT_EQ(slurp(dir_ / "m.bin"), image);
  EXPECT_EQ(slurp(dir_ / "user" / "PRO_1001.dct"), store);
  ASSERT_EQ(::flock(fd, LOCK_UN), 0);
  ::close(fd);
  EXPECT_EQ(Ctl("set dpi 1 800", "free"), 0);
}

}  // namespace
