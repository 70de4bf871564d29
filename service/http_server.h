#pragma once
// The HTTP side of the local radar service: cpp-httplib on 127.0.0.1, on a
// thread of its own, handing every request to a RadarService. Tests start
// one in-process on a free port.
#include <memory>
#include <string>

namespace nimbrel {

class RadarService;

struct ServerStart {
    int port = -1;  // the port listened on; -1 when it failed
    std::string error;
};

class RadarHttpServer {
  public:
    explicit RadarHttpServer(RadarService& service);
    ~RadarHttpServer();
    RadarHttpServer(const RadarHttpServer&) = delete;
    RadarHttpServer& operator=(const RadarHttpServer&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free one) and returns once
    // requests are being served.
    ServerStart start(int port);
    // Ends stalled answers at once and stops; safe to call twice.
    void stop();
    int port() const;
    // "http://127.0.0.1:PORT"
    std::string baseUrl() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace nimbrel
