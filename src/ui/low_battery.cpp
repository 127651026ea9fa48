#include "ui/low_battery.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <optional>

#include "app/event_sink.h"
#include "app/log.h"

namespace tolvane::ui {

CLowBatteryNotice::CLowBatteryNotice(QObject* parent, WindowBackend& backend, SendFn send)
    : QObject(parent), backend_(backend), send_(std::move(send)) {}

void CLowBatteryNotice::OnEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg != WM_BATTERY || lParam < 0) return;
  const auto dev = backend_.Device(int(wParam));
  if (!dev || !dev->wireless) return;
  const int level = int(lParam & 0xFF);
  const bool charging = (lParam >> 8) & 1;
  // The watch follows every reading, also while the notice is off, so that
  // switching it on does not announce a discharge that was already there.
  if (!watch_.Reading(dev->modelName, level, charging)) return;
  if (!backend_.Settings().lowBatteryNotice) return;
  ++given_;
  LogPrint("LowBattery: %s %d%%", dev->modelName.c_str(), level);
  if (send_)
    send_(QString::fromStdString(dev->modelName) + QStringLiteral(": battery low"),
          QStringLiteral("%1% left").arg(level));
}

CLowBatteryNotice::SendFn CLowBatteryNotice::DBusSender(const QString& address) {
  // The bus is opened at the first notice, not at start.
  auto bus = std::make_shared<std::optional<QDBusConnection>>();
  return [bus, address](const QString& summary, const QString& body) {
    if (!*bus) {
      static std::atomic<int> n{0};
      *bus = address.isEmpty() ? QDBusConnection::sessionBus()
                               : QDBusConnection::connectToBus(
                                     address, QStringLiteral("tolvane-notice-%1").arg(++n));
    }
    if (!(*bus)->isConnected()) {
      LogPrint("LowBattery: no session bus");
      return;
    }
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.tolvane.Tolvane"));
    m << QStringLiteral("Tolvane") << 0u << QStringLiteral("io.github.tolvane.Tolvane") << summary
      << body << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher((*bus)->asyncCall(m, 2000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [](QDBusPendingCallWatcher* w) {
                       QDBusPendingReply<uint> reply = *w;
                       if (reply.isError())
                         LogPrint("LowBattery: Notify: %s", qPrintable(reply.error().message()));
                       w->deleteLater();
                     });
  };
}

}  // namespace tolvane::ui
