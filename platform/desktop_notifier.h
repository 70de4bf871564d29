#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). One notification at a
// time: each new one replaces the previous one instead of piling up. With no
// service there is nothing to show; the program carries on.
#include <QDBusConnection>
#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace nimbrel {

enum class NotifyStatus {
    Sent,       // on its way; the answer comes through the event loop
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
    // this notification. Nobody waits for it: the call is asynchronous.
    static constexpr int kCallTimeoutMs = 1500;

    // The session bus of the desktop.
    DesktopNotifier();
    // A given bus (tests use a private one).
    explicit DesktopNotifier(QDBusConnection connection);

    // One attempt; never retried. critical sends urgency 2, else 1. Returns
    // at once: NoBus, or Sent; the service's answer (Shown with its id, or
    // NoService) becomes lastResult() through the event loop. While an
    // answer is awaited, a newer notification waits for it (only the newest
    // is kept), so that it replaces the one shown.
    NotifyResult notify(const std::string& summary, const std::string& body, bool critical);
    // Asks the service to close the notification shown (CloseNotification),
    // also one whose answer is still awaited; the next one is new.
    void close();

    // The id the next notification replaces; 0 when none was shown yet.
    uint32_t lastId() const { return lastId_; }
    const NotifyResult& lastResult() const { return lastResult_; }
    // Whether an answer is still awaited.
    bool waiting() const { return waiting_; }

  private:
    struct Request {
        std::string summary, body;
        bool critical = false;
    };
    void send(const Request& request);

    QDBusConnection connection_;
    uint32_t lastId_ = 0;
    NotifyResult lastResult_;
    bool waiting_ = false;
    std::optional<Request> next_;
    bool closeWhenAnswered_ = false;
    std::unique_ptr<QObject> calls_ = std::make_unique<QObject>();  // parent of the calls under way
};

}  // namespace nimbrel
