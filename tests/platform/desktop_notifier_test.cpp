#include "platform/desktop_notifier.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QEventLoop>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

#include "support/temp_dir.h"

namespace nimbrel {
namespace {

void ensureApp() {
    static int argc = 1;
    static char arg0[] = "test_platform";
    static char* argv[] = {arg0, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QCoreApplication::instance()) new QApplication(argc, argv);  // kept to the end
}

struct NotifyCall {
    QString appName;
    uint replacesId = 0;
    QString summary;
    QString body;
    int urgency = -1;
    bool urgencyIsByte = false;
    bool suppressSound = false;
};

// A notification service for tests: records each Notify call and answers
// with increasing ids, as a real service gives each new notification one.
class TestNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    std::vector<NotifyCall> calls() {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    // A service that takes this long to answer (it blocks its own thread).
    std::atomic<int> answerAfterMs{0};

  public slots:
    uint Notify(const QString& appName, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        if (answerAfterMs > 0) QThread::msleep(static_cast<unsigned long>(answerAfterMs.load()));
        NotifyCall c{appName, replacesId, summary, body};
        const QVariant urgency = hints.value(QStringLiteral("urgency"));
        c.urgency = urgency.isValid() ? urgency.toInt() : -1;
        c.urgencyIsByte = urgency.metaType().id() == QMetaType::UChar;
        c.suppressSound = hints.value(QStringLiteral("suppress-sound")).toBool();
        QMutexLocker lock(&mutex_);
        calls_.push_back(c);
        return nextId_++;
    }
    void CloseNotification(uint id) {
        QMutexLocker lock(&mutex_);
        closed_.push_back(id);
    }

  public:
    std::vector<uint> closed() {
        QMutexLocker lock(&mutex_);
        return closed_;
    }

  private:
    QMutex mutex_;
    std::vector<NotifyCall> calls_;
    std::vector<uint> closed_;
    uint nextId_ = 41;
};

// A private session bus of its own, so the test neither needs nor disturbs
// the desktop's. Its configuration names no service folders: nothing is
// started on demand.
class PrivateBus {
  public:
    PrivateBus() {
        writeFileBytes(dir_.file("bus.conf"),
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                       "busconfig.dtd\">\n<busconfig><type>session</type>"
                       "<listen>unix:dir=" +
                           dir_.path().string() +
                           "</listen><auth>EXTERNAL</auth>"
                           "<policy context=\"default\"><allow send_destination=\"*\" "
                           "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                           "</policy></busconfig>\n");
        const std::string cmd = "dbus-daemon --config-file=" + dir_.file("bus.conf") +
                                " --print-address=1 --print-pid=1 --fork";
        FILE* out = ::popen(cmd.c_str(), "r");
        if (!out) return;
        char line[512];
        if (std::fgets(line, sizeof line, out)) address_ = QString::fromUtf8(line).trimmed();
        if (std::fgets(line, sizeof line, out)) pid_ = std::atoi(line);
        ::pclose(out);
    }
    ~PrivateBus() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    bool running() const { return pid_ > 0 && !address_.isEmpty(); }
    QDBusConnection connect(const QString& name) {
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    TempDir dir_{"nimbrel-bus"};
    QString address_;
    int pid_ = 0;
};

// The service answers on a thread of its own: the notifier blocks the
// calling thread until the reply comes, as it does the window's.
class ServiceThread {
  public:
    explicit ServiceThread(PrivateBus& bus) : connection_(bus.connect(QStringLiteral("service"))) {
        thread_.start();
        service_.moveToThread(&thread_);
        registered_ =
            connection_.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
            connection_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service_,
                                       QDBusConnection::ExportAllSlots);
    }
    ~ServiceThread() {
        connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        thread_.quit();
        thread_.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    }
    bool registered() const { return registered_; }
    std::vector<NotifyCall> calls() { return service_.calls(); }
    std::vector<uint> closed() { return service_.closed(); }
    void answerAfter(int ms) { service_.answerAfterMs = ms; }

  private:
    QDBusConnection connection_;
    QThread thread_;
    TestNotificationService service_;
    bool registered_ = false;
};

// Lets the event loop bring the answer in, for at most the call's time-out
// and a little more.
void awaitAnswer(const DesktopNotifier& notifier) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(DesktopNotifier::kCallTimeoutMs + 1000);
    while (notifier.waiting() && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

TEST(DesktopNotifier, ShowsAndReplacesOnTheNotificationService) {
    ensureApp();
    PrivateBus bus;
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    ServiceThread service(bus);
    ASSERT_TRUE(service.registered());
    DesktopNotifier notifier(bus.connect(QStringLiteral("client-shows")));

    struct Step {
        const char* summary;
        const char* body;
        bool critical;
        uint expectedReplaces;
        int expectedUrgency;
    };
    const Step steps[] = {
        {"雨 接近中", "雨 接近中\n弱い雨 降雨", false, 0, 1},
        {"猛烈な雨 降雨", "猛烈な雨 降雨", true, 41, 2},
        {"強い雨 注意", "強い雨 注意\n到達予想 15:10 頃", false, 42, 1},
    };
    uint expectedId = 41;
    for (const Step& s : steps) {
        EXPECT_EQ(notifier.notify(s.summary, s.body, s.critical).status, NotifyStatus::Sent);
        awaitAnswer(notifier);
        const NotifyResult& r = notifier.lastResult();
        EXPECT_EQ(r.status, NotifyStatus::Shown) << r.detail;
        EXPECT_EQ(r.id, expectedId);
        EXPECT_EQ(notifier.lastId(), expectedId);
        ++expectedId;
    }
    const std::vector<NotifyCall> calls = service.calls();
    ASSERT_EQ(calls.size(), std::size(steps));
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].appName, QStringLiteral("nimbrel"));
        EXPECT_EQ(calls[i].summary, QString::fromUtf8(steps[i].summary));
        EXPECT_EQ(calls[i].body, QString::fromUtf8(steps[i].body));
        EXPECT_EQ(calls[i].replacesId, steps[i].expectedReplaces);
        EXPECT_EQ(calls[i].urgency, steps[i].expectedUrgency);
        EXPECT_TRUE(calls[i].urgencyIsByte);
        EXPECT_TRUE(calls[i].suppressSound);  // the program plays its own sounds
    }
    // The all-clear takes the last one down; the next is a new one.
    notifier.close();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (service.closed().empty() && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(service.closed(), std::vector<uint>{43});
    EXPECT_EQ(notifier.lastId(), 0u);
    QDBusConnection::disconnectFromBus(QStringLiteral("client-shows"));
}

TEST(DesktopNotifier, WithoutAServiceNothingBreaksAndNothingWaitsLong) {
    ensureApp();
    PrivateBus bus;
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    struct Case {
        const char* name;
        QDBusConnection connection;
        NotifyStatus expected;
    };
    const Case cases[] = {
        {"bus without the service", bus.connect(QStringLiteral("client-none")),
         NotifyStatus::NoService},
        {"no bus at all",
         QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/nimbrel-bus"),
                                       QStringLiteral("client-nobus")),
         NotifyStatus::NoBus},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DesktopNotifier notifier(c.connection);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 3; ++i) {
            notifier.notify("雨 接近中", "雨 接近中", i == 1);
            awaitAnswer(notifier);
            const NotifyResult& r = notifier.lastResult();
            EXPECT_EQ(r.status, c.expected);
            EXPECT_FALSE(r.detail.empty());
        }
        // Each attempt fails at once; none waits out the call timeout.
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(DesktopNotifier::kCallTimeoutMs));
        EXPECT_EQ(notifier.lastId(), 0u);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("client-none"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client-nobus"));
}

TEST(DesktopNotifier, ASlowServiceNeverHoldsTheCallerAndOnlyTheNewestWaitsForIt) {
    ensureApp();
    PrivateBus bus;
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    ServiceThread service(bus);
    ASSERT_TRUE(service.registered());
    DesktopNotifier notifier(bus.connect(QStringLiteral("client-slow")));
    // Past the call's time-out: the first is given up on, not waited for.
    service.answerAfter(DesktopNotifier::kCallTimeoutMs + 500);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(notifier.notify("雨 接近中", "first", false).status, NotifyStatus::Sent);
    EXPECT_EQ(notifier.notify("雨 接近中", "second", false).status, NotifyStatus::Sent);
    EXPECT_EQ(notifier.notify("強い雨 接近中", "third", false).status, NotifyStatus::Sent);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    // The first is given up on at the time-out; the newest then goes out
    // (the second is never sent) and is given up on in its turn.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    while (std::chrono::steady_clock::now() < end &&
           (notifier.waiting() || service.calls().size() < 2))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const std::vector<NotifyCall> calls = service.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].body, QStringLiteral("first"));
    EXPECT_EQ(calls[1].body, QStringLiteral("third"));
    EXPECT_EQ(calls[1].replacesId, 0u);  // the first never got an id
    EXPECT_EQ(notifier.lastResult().status, NotifyStatus::NoService);
    QDBusConnection::disconnectFromBus(QStringLiteral("client-slow"));
}

}  // namespace nimbrel

#include "desktop_notifier_test.moc"
