#include "platform/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

#include "base/diagnostics.h"

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
    r.status = NotifyStatus::Sent;
    if (waiting_) {
        next_ = Request{summary, body, critical};
        closeWhenAnswered_ = false;
        return r;
    }
    send({summary, body, critical});
    return r;
}

void DesktopNotifier::close() {
    if (waiting_) {
        // The id comes with the answer.
        next_.reset();
        closeWhenAnswered_ = true;
        return;
    }
    if (lastId_ == 0 || !connection_.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << static_cast<uint>(lastId_);
    lastId_ = 0;
    // Nothing waits for the answer; a service that has closed it already
    // says so, which changes nothing.
    connection_.asyncCall(call, kCallTimeoutMs);
}

void DesktopNotifier::send(const Request& request) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    // The hint is a byte on the wire; an int would be refused by strict
    // services.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(request.critical ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("nimbrel"));
    // The program plays its own warning sounds; an update in place has none.
    hints.insert(QStringLiteral("suppress-sound"), true);
    call << QStringLiteral("nimbrel") << static_cast<uint>(lastId_) << QStringLiteral("nimbrel")
         << QString::fromStdString(request.summary) << QString::fromStdString(request.body)
         << QStringList() << hints << static_cast<int>(-1);
    waiting_ = true;
    // The watcher belongs to the notifier: an answer after it is gone is
    // dropped with it.
    auto* watcher =
        new QDBusPendingCallWatcher(connection_.asyncCall(call, kCallTimeoutMs), calls_.get());
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusMessage reply = w->reply();
            NotifyResult r;
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                r.status = NotifyStatus::Shown;
                r.id = reply.arguments().first().toUInt();
                lastId_ = r.id;
            } else {
                r.status = NotifyStatus::NoService;
                r.detail =
                    (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
                diagnose("desktop notification", r.detail);
            }
            lastResult_ = r;
            waiting_ = false;
            if (closeWhenAnswered_) {
                closeWhenAnswered_ = false;
                close();
                return;
            }
            if (next_) {
                const Request n = *next_;
                next_.reset();
                send(n);
            }
        });
}

}  // namespace nimbrel
