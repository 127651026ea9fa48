#include "ui/qt_event_sink.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <deque>

#include "app/log.h"
#include "ui/msg_dlg.h"

namespace tolvane::ui {

struct QtEventSink::Shared {
  struct Event {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
  };
  QObject receiver;  // lives on the context's thread; queued calls land there
  std::mutex mutex;
  Handler handler;            // touched on the receiver's thread only
  std::deque<Event> pending;  // kept until a handler is attached
  bool closed = false;

  void Deliver(const Event& e) {
    if (handler) {
      handler(e.msg, e.wParam, e.lParam);
      return;
    }
    std::lock_guard lock(mutex);
    pending.push_back(e);
  }
};

QtEventSink::QtEventSink(QObject* context) : shared_(std::make_shared<Shared>()) {
  if (context) shared_->receiver.moveToThread(context->thread());
}

QtEventSink::~QtEventSink() {
  std::lock_guard lock(shared_->mutex);
  shared_->closed = true;
}

void QtEventSink::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  std::weak_ptr<Shared> weak = shared_;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->closed) return;
  }
  const Shared::Event e{msg, wParam, lParam};
  QMetaObject::invokeMethod(
      &shared_->receiver,
      [weak, e] {
        auto s = weak.lock();
        if (!s) return;
        {
          std::lock_guard lock(s->mutex);
          if (s->closed) return;
        }
        s->Deliver(e);
      },
      Qt::QueuedConnection);
}

void QtEventSink::SetHandler(Handler handler) {
  shared_->handler = std::move(handler);
  if (!shared_->handler) return;
  std::deque<Shared::Event> kept;
  {
    std::lock_guard lock(shared_->mutex);
    kept.swap(shared_->pending);
  }
  for (const auto& e : kept) shared_->Deliver(e);
}

// ---------------------------------------------------------------- notifier

QtNotifier::QtNotifier(QWidget* window, ShowFn show) : window_(window), show_(std::move(show)) {
  if (!show_) show_ = &QtNotifier::OpenMessageBox;
}

void QtNotifier::Message(Caption caption, const std::string& text) {
  LogPrint("%s: %s", caption == Caption::Error ? "Error" : "Warning", text.c_str());
  QWidget* w = window_.data();
  if (!w) return;
  QPointer<QWidget> target = w;
  const QString qtext = QString::fromStdString(text);
  ShowFn show = show_;
  QMetaObject::invokeMethod(
      w,
      [target, caption, qtext, show] {
        if (target) show(target, caption, qtext);
      },
      Qt::QueuedConnection);
}

void QtNotifier::OpenMessageBox(QWidget* parent, Caption caption, const QString& text) {
  OpenMessage(parent, text,
              caption == Caption::Error ? QStringLiteral("Error") : QStringLiteral("Warning"));
}

void QtNotifier::OpenMessage(QWidget* parent, const QString& text, const QString& title) {
  auto* dlg = new CMsgDlg(parent, CMsgDlg::kMessage, text, title);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  if (!dlg->Prepare()) {
    delete dlg;
    return;
  }
  if (parent) {
    const QRect pr = parent->frameGeometry();
    dlg->move(pr.center() - QPoint(dlg->width() / 2, dlg->height() / 2));
  }
  dlg->open();
}

}  // namespace tolvane::ui
