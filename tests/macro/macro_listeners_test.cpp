#include "macro/macro_listeners.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "macro/macro_library.h"
#include "temp_library.h"

namespace tolvane {
namespace {

using namespace std::chrono_literals;

TEST(MacroListeners, EveryViewHearsEveryChangeUntilRemoved) {
  MacroListeners hub;
  std::vector<int> a, b;
  const int ha = hub.Add([&](const MacroChange& c) { a.push_back(int(c.id)); });
  const int hb = hub.Add([&](const MacroChange& c) { b.push_back(int(c.id)); });
  EXPECT_NE(ha, hb);
  hub.Emit({{MacroChange::NodeAdded, 1, 7}, {MacroChange::NodeRenamed, 1, 8}});
  hub.Remove(ha);
  hub.Remove(ha);  // twice is harmless
  hub.Emit({{MacroChange::NodeRemoved, 1, 9}});
  EXPECT_EQ(a, (std::vector<int>{7, 8}));
  EXPECT_EQ(b, (std::vector<int>{7, 8, 9}));
  EXPECT_EQ(hub.Size(), 1u);
}

TEST(MacroListeners, ListenerRemovingItselfStopsAtOnceWithoutDeadlock) {
  MacroListeners hub;
  int calls = 0;
  int self = 0;
  self = hub.Add([&](const MacroChange&) {
    ++calls;
    hub.Remove(self);
  });
  hub.Emit({{MacroChange::NodeAdded, 1, 1}, {MacroChange::NodeAdded, 2, 2}});
  hub.Emit({{MacroChange::NodeAdded, 3, 3}});
  EXPECT_EQ(calls, 1);
}

// A change merged on the read thread while the window removes its view: the
// removal waits for the call in progress, and nothing is called afterwards.
TEST(MacroListeners, RemoveWaitsForACallOnAnotherThread) {
  MacroListeners hub;
  std::atomic<bool> inside{false}, release{false}, finished{false};
  std::atomic<int> callsAfterRemove{0};
  std::atomic<bool> removed{false};
  const int h = hub.Add([&](const MacroChange&) {
    if (removed) ++callsAfterRemove;
    inside = true;
    while (!release) std::this_thread::sleep_for(1ms);
    finished = true;
  });
  std::thread reader([&] { hub.Emit({{MacroChange::RecordReplaced, 1, 5}}); });
  while (!inside) std::this_thread::sleep_for(1ms);
  std::thread remover([&] {
    hub.Remove(h);
    removed = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(removed) << "Remove returned while the listener was still running";
  release = true;
  remover.join();
  reader.join();
  EXPECT_TRUE(finished);
  hub.Emit({{MacroChange::RecordReplaced, 1, 6}});
  EXPECT_EQ(callsAfterRemove, 0);
}

TEST(MacroListeners, LibraryReportsToTheOwnerAndToEveryView) {
  test::TempUserDir dir;
  MacroLibrary library(dir.Dir(), false);
  library.Load();
  int owner = 0, page = 0, picker = 0;
  library.SetChangeListener([&](const MacroChange&) { ++owner; });
  const int hp = library.AddChangeListener([&](const MacroChange& c) {
    page += c.kind == MacroChange::NodeAdded;
  });
  library.AddChangeListener([&](const MacroChange& c) { picker += c.kind == MacroChange::NodeAdded; });
  ASSERT_TRUE(library.NewMacro("one").ok);
  library.RemoveChangeListener(hp);
  ASSERT_TRUE(library.NewMacro("two").ok);
  EXPECT_EQ(page, 1);
  EXPECT_EQ(picker, 2);
  EXPECT_GE(owner, 2);
}

}  // namespace
}  // namespace tolvane
