#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace tolvane::platform {
namespace {

TEST(SingleInstanceTest, SecondCopyIsRefusedAndItsMessageReachesTheFirst) {
  const test::TempFolder tmp("si");
  const std::string dir = tmp.Root();
  std::mutex m;
  std::condition_variable cv;
  std::vector<InstanceMessage> got;
  SingleInstance first("MUTEX_QX_WIRELESS", dir);
  ASSERT_TRUE(first.Acquire([&](const InstanceMessage& msg) {
    std::lock_guard<std::mutex> lock(m);
    got.push_back(msg);
    cv.notify_all();
  }));
  EXPECT_TRUE(std::filesystem::exists(dir + "/MUTEX_QX_WIRELESS.lock"));

  SingleInstance second("MUTEX_QX_WIRELESS", dir);
  EXPECT_FALSE(second.Acquire({}));
  EXPECT_TRUE(second.SendToFirst({0x046C, 0, 514}));

  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return !got.empty(); }));
  EXPECT_EQ(got[0].msg, 0x046Cu);
  EXPECT_EQ(got[0].wParam, 0u);
  EXPECT_EQ(got[0].lParam, 514);
}

TEST(SingleInstanceTest, ReleaseLetsTheNextCopyInAndNobodyListensAfter) {
  const test::TempFolder tmp("si");
  const std::string dir = tmp.Root();
  {
    SingleInstance first("X", dir);
    ASSERT_TRUE(first.Acquire({}));
  }
  SingleInstance later("X", dir);
  EXPECT_FALSE(later.SendToFirst({1, 2, 3}));  // socket gone with its owner
  EXPECT_TRUE(later.Acquire({}));
}

TEST(SingleInstanceTest, LockOfAKilledProcessDoesNotBlock) {
  const test::TempFolder tmp("si");
  const std::string dir = tmp.Root();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstance holder("X", dir);
    char ok = holder.Acquire({}) ? 1 : 0;
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    pause();
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 1);
  {
    SingleInstance blocked("X", dir);
    EXPECT_FALSE(blocked.Acquire({}));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  // The killed copy left its lock and socket files behind.
  EXPECT_TRUE(std::filesystem::exists(dir + "/X.sock"));
  SingleInstance next("X", dir);
  EXPECT_TRUE(next.Acquire({}));
  SingleInstance probe("X", dir);
  EXPECT_TRUE(probe.SendToFirst({7, 0, 0}));
}

TEST(SingleInstanceTest, GarbageOnTheSocketIsIgnored) {
  const test::TempFolder tmp("si");
  const std::string dir = tmp.Root();
  int calls = 0;
  SingleInstance first("X", dir);
  ASSERT_TRUE(first.Acquire([&](const InstanceMessage&) { ++calls; }));
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", first.socketPath().c_str());
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(write(s, "\x01\x02junk", 6), 6);
  close(s);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  first.Release();
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace tolvane::platform
