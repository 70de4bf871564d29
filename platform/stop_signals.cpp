#include "platform/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace nimbrel {

namespace {

constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGINT, SIGHUP};

int pipeEnds[2] = {-1, -1};
struct sigaction previous[kStopSignals.size()];

extern "C" void onStopSignal(int signal) {
    // Only what is safe in a signal handler: one write, errno kept.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    if (pipeEnds[0] >= 0) return;  // another instance holds them
    if (::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPipe(); });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ok_ = true;
    for (size_t i = 0; i < kStopSignals.size(); ++i)
        ok_ = ::sigaction(kStopSignals[i], &action, &previous[i]) == 0 && ok_;
}

StopSignals::~StopSignals() {
    if (!notifier_) return;
    for (size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignals::readPipe() {
    unsigned char bytes[16];
    ssize_t n = 0;
    int last = 0;
    while ((n = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0) last = bytes[n - 1];
    if (last != 0 && onStop_) onStop_(last);
}

}  // namespace nimbrel
