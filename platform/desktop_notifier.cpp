#include "platform/desktop_notifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace nimbrel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

DesktopNotifier::DesktopNotifier() : connection_(QDBusConnection::sessionBus()) {}

DesktopNotifier::DesktopNotifier(QDBusConnection connection) : connection_(std::move(connection)) {}

NotifyResult DesktopNotifier::notify(const std::string& summary, const std::string& body,
                                     bool critical) {
    NotifyResult r;
    if (!connection_.isConnected()) {
        r.status = NotifyStatus::NoBus;
        r.detail = connection_.lastError().message().toStdString();
        lastResult_ = r;
        return r;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    // The hint is a byte on the wire; an int would be refused by strict
    // services.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(critical ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("nimbrel"));
    call << QStringLiteral("nimbrel") << static_cast<uint>(lastId_) << QStringLiteral("nimbrel")
         << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList()
         << hints << static_cast<int>(-1);
    const QDBusMessage reply = connection_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        r.status = NotifyStatus::Shown;
        r.id = reply.arguments().first().toUInt();
        lastId_ = r.id;
    } else {
        r.status = NotifyStatus::NoService;
        r.detail = (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
    }
    lastResult_ = r;
    return r;
}

}  // namespace nimbrel
