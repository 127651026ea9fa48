#include "ui/macro_feed.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

#include <chrono>

#include "ui/key_translate.h"

namespace tolvane::ui {

namespace {

class ChangeEvent : public QEvent {
 public:
  explicit ChangeEvent(const MacroChange& c) : QEvent(Type()), change(c) {}
  static QEvent::Type Type() {
    static const auto t = QEvent::Type(QEvent::registerEventType());
    return t;
  }
  MacroChange change;
};

}  // namespace

RecordedKey RecordedKeyFromEvent(const QKeyEvent& e, uint64_t timeMs) {
  RecordedKey k;
  const VirtualKey v = TranslateKey(e);
  k.vk = v.vk;
  k.press = e.type() == QEvent::KeyPress;
  k.autoRepeat = e.isAutoRepeat();
  k.timeMs = timeMs;
  if (v.vk == VK_SHIFT || v.vk == VK_CONTROL || v.vk == VK_MENU) {
    if (SidedVk(v) != v.vk) k.side = KeySide::Right;
    else if (EvdevCode(e) > 0) k.side = KeySide::Left;
  }
  return k;
}

uint64_t KeyEventTime(const QKeyEvent& e, uint64_t previous) {
  uint64_t t = e.timestamp();
  if (t == 0) {
    t = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
                     .count());
  }
  return t < previous ? previous : t;
}

CMacroChangeRelay::CMacroChangeRelay(MacroLibrary& library,
                                     std::function<void(const MacroChange&)> onChange,
                                     QObject* parent)
    : QObject(parent), library_(library), onChange_(std::move(onChange)) {
  // postEvent is safe from any thread; the removal in the destructor waits
  // for a call in progress, so no event is posted to a dead object.
  handle_ = library_.AddChangeListener(
      [this](const MacroChange& c) { QCoreApplication::postEvent(this, new ChangeEvent(c)); });
}

CMacroChangeRelay::~CMacroChangeRelay() { library_.RemoveChangeListener(handle_); }

bool CMacroChangeRelay::event(QEvent* e) {
  if (e->type() == ChangeEvent::Type()) {
    if (onChange_) onChange_(static_cast<ChangeEvent*>(e)->change);
    return true;
  }
  return QObject::event(e);
}

}  // namespace tolvane::ui
