#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). One notification at a
// time: each new one replaces the previous one instead of piling up. With no
// service there is nothing to show; the program carries on.
#include <QDBusConnection>
#include <cstdint>
#include <string>

namespace nimbrel {

enum class NotifyStatus {
    Shown,      // the service took it and gave its id
    NoBus,      // no session bus to talk to
    NoService,  // the bus answered with an error (name not owned, refused, timed out)
};

struct NotifyResult {
    NotifyStatus status = NotifyStatus::NoBus;
    uint32_t id = 0;     // the service's id when shown
    std::string detail;  // the bus's error name and message otherwise
};

class DesktopNotifier {
  public:
    // A service that does not answer within this time is given up on for
    // this notification; the window's thread waits no longer than that.
    static constexpr int kCallTimeoutMs = 1500;

    // The session bus of the desktop.
    DesktopNotifier();
    // A given bus (tests use a private one).
    explicit DesktopNotifier(QDBusConnection connection);

    // One attempt; never retried. critical sends urgency 2, else 1.
    NotifyResult notify(const std::string& summary, const std::string& body, bool critical);

    // The id the next notification replaces; 0 when none was shown yet.
    uint32_t lastId() const { return lastId_; }
    const NotifyResult& lastResult() const { return lastResult_; }

  private:
    QDBusConnection connection_;
    uint32_t lastId_ = 0;
    NotifyResult lastResult_;
};

}  // namespace nimbrel
