// The views that follow the macro library: the macro page, the picker and
// the button page each register a listener; every change reaches all of
// them, on the thread that made the change (the window's thread, or the read
// thread when a device macro is merged). A view that lives on another thread
// only queues a note to itself in its listener.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "macro/macro_tree.h"

namespace tolvane {

// What changed in the library.
struct MacroChange {
  enum Kind { NodeAdded, NodeRemoved, NodeRenamed, RecordReplaced, TreeReloaded, KeysReset };
  Kind kind;
  NodeId node = 0;
  uint32_t id = 0;
};

class MacroListeners {
 public:
  using Fn = std::function<void(const MacroChange&)>;

  // Registers `fn`; returns its handle (never 0).
  int Add(Fn fn);
  // Unregisters a listener. When Remove returns, the listener is not running
  // on any other thread and is never called again. Called from inside the
  // listener itself, it only stops later calls. A listener must therefore
  // never wait for a thread that may be removing it.
  void Remove(int handle);
  size_t Size() const;

  // Calls every listener with each change, in registration order.
  void Emit(const std::vector<MacroChange>& changes) const;

 private:
  struct Entry {
    int handle = 0;
    Fn fn;
    std::recursive_mutex calling;  // held while fn runs
    bool removed = false;          // guarded by `calling`
  };
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Entry>> entries_;
  int next_ = 1;
};

}  // namespace tolvane
