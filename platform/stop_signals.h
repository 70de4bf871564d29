#pragma once
// SIGTERM, SIGINT and SIGHUP (kill, Ctrl-C in a terminal, a desktop session
// ending) reach the program through its event loop rather than cutting it
// off mid-write: the signal handler only writes the signal's number into a
// pipe, and a socket notifier on the pipe's other end calls onStop on the
// window's thread. One instance at a time; the previous handlers come back
// when it goes.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace nimbrel {

class StopSignals : public QObject {
  public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the pipe or the handlers could not be set up; the signals
    // then keep their default action.
    bool ok() const { return ok_; }

  private:
    void readPipe();

    std::function<void(int)> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool ok_ = false;
};

}  // namespace nimbrel
