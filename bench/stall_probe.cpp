// How long the window's thread goes without running its events while the
// cycle waits for a stalled server and pauses between attempts: the way the
// platform waits now (transfer beside the thread, events running) against
// the plain blocking wait it replaced. Prints the longest gap between turns
// of a 20 ms timer, which is what stands between two repaints.
//
//   stall_probe [pause-ms]     (default 8000, the cycle's first retry pause)
#include <httplib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/download.h"
#include "platform/real_platform.h"

namespace {

struct Gaps {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    void start() {
        clock.start();
        last = 0;
        longest = 0;
    }
    void turn() {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int pauseMs = argc > 1 ? std::atoi(argv[1]) : 8000;

    // A server that accepts and never answers.
    httplib::Server server;
    std::atomic<bool> stop{false};
    server.Get("/stall", [&](const httplib::Request&, httplib::Response&) {
        while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/stall";
    const std::string file = "/tmp/nimbrel_stall_probe.png";

    Gaps gaps;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { gaps.turn(); });
    timer.start(20);

    auto report = [&](const char* what, qint64 took) {
        std::printf("%-44s took %6lld ms, longest gap %6lld ms\n", what,
                    static_cast<long long>(took), static_cast<long long>(gaps.longest));
    };

    QElapsedTimer took;
    // Before: the transfer and the pause block the window's thread.
    gaps.start();
    took.start();
    nimbrel::downloadToFile(url, file);
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    QCoreApplication::processEvents();
    gaps.turn();
    report("blocking download + pause (before)", took.elapsed());

    // Now: the platform's own waits.
    nimbrel::RealPlatform platform;
    gaps.start();
    took.start();
    platform.download(url, file, nimbrel::Durability::Replaceable);
    platform.sleepMs(pauseMs);
    QCoreApplication::processEvents();
    gaps.turn();
    report("platform download + pause (now)", took.elapsed());

    stop = true;
    server.stop();
    serving.join();
    return 0;
}
