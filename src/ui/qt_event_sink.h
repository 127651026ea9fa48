// The core's events and messages, delivered on the window's thread.
//
// QtEventSink::Post may be called from any thread; it queues the event for
// the thread of its context object and returns at once. Events posted before
// a handler is attached are kept and delivered when it is attached; after the
// sink is destroyed nothing more is delivered.
//
// QtNotifier::Message may be called from any thread too: it queues a skinned
// message box (CMsgDlg) for the window's thread and returns without waiting
// for the user.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/event_sink.h"
#include "app/notifier.h"

namespace tolvane::ui {

class QtEventSink : public EventSink {
 public:
  using Handler = std::function<void(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

  // Events are delivered on `context`'s thread (created there).
  explicit QtEventSink(QObject* context = nullptr);
  ~QtEventSink() override;

  void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  // Attaches (or, with an empty handler, detaches) the receiver. Call on the
  // context's thread.
  void SetHandler(Handler handler);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

class QtNotifier : public Notifier {
 public:
  // Message boxes are shown over `window` (on its thread). `show` replaces
  // the box (tests); it runs on the window's thread.
  using ShowFn = std::function<void(QWidget* parent, Caption caption, const QString& text)>;
  explicit QtNotifier(QWidget* window, ShowFn show = {});
  void Message(Caption caption, const std::string& text) override;

  // The skinned box, opened without waiting for it to close.
  static void OpenMessageBox(QWidget* parent, Caption caption, const QString& text);
  // The same with the pages' title (the text tc_tips).
  static void OpenMessage(QWidget* parent, const QString& text, const QString& title = QString());

 private:
  QPointer<QWidget> window_;
  ShowFn show_;
};

}  // namespace tolvane::ui
