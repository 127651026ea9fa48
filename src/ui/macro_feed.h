// What the macro views take from Qt: recorded keys from key events, and the
// library's changes brought to the window's thread.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

#include "macro/macro_library.h"
#include "macro/macro_recorder.h"

class QKeyEvent;

namespace tolvane::ui {

// A key event as the recorder takes it: the virtual-key code, for Ctrl,
// Shift and Alt the side-neutral code with the side read from the native
// scan code (Unknown without one), the platform's repeat mark, and
// `timeMs` (the caller keeps it from decreasing).
RecordedKey RecordedKeyFromEvent(const QKeyEvent& e, uint64_t timeMs);

// Milliseconds for a key event: its own timestamp when it has one, else the
// monotonic clock; never less than `previous`.
uint64_t KeyEventTime(const QKeyEvent& e, uint64_t previous);

// Registers with the library for as long as it lives and hands every change
// to `onChange` on the thread this object lives in (the window's thread),
// whichever thread made the change.
class CMacroChangeRelay : public QObject {
  Q_OBJECT
 public:
  CMacroChangeRelay(MacroLibrary& library, std::function<void(const MacroChange&)> onChange,
                    QObject* parent = nullptr);
  ~CMacroChangeRelay() override;

 protected:
  bool event(QEvent* e) override;

 private:
  MacroLibrary& library_;
  std::function<void(const MacroChange&)> onChange_;
  int handle_ = 0;
};

}  // namespace tolvane::ui
