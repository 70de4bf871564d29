#include "service/http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "service/radar_service.h"

namespace nimbrel {

struct RadarHttpServer::Impl {
    RadarService& service;
    httplib::Server server;
    std::thread thread;
    int port = -1;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;

    explicit Impl(RadarService& s) : service(s) {}

    void answer(const httplib::Request& req, httplib::Response& res) {
        HttpAnswer a;
        if (req.path.rfind("/_control/", 0) == 0) {
            if (req.remote_addr != "127.0.0.1" && req.remote_addr != "::1") {
                res.status = 403;
                res.set_content("loopback only", "text/plain");
                return;
            }
            a = service.control(req.path, req.params);
        } else {
            a = service.get(req.path);
        }
        if (a.stallMs > 0) {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(a.stallMs), [&] { return stopping; });
        }
        res.status = a.status;
        res.set_content(a.body, a.contentType.c_str());
    }
};

RadarHttpServer::RadarHttpServer(RadarService& service) : impl_(std::make_unique<Impl>(service)) {
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        impl_->answer(req, res);
    };
    impl_->server.Get(R"(/.*)", handler);
    impl_->server.Post(R"(/_control/.*)", handler);
    // Short keep-alive so that stopping does not wait for idle connections.
    impl_->server.set_keep_alive_timeout(1);
    // The library's default also sets SO_REUSEPORT, which lets a second
    // service bind a port that is in use and share its requests.
    impl_->server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
}

RadarHttpServer::~RadarHttpServer() {
    stop();
}

ServerStart RadarHttpServer::start(int port) {
    ServerStart result;
    if (impl_->thread.joinable()) {
        result.error = "already started";
        return result;
    }
    if (port < 0 || port > 65535) {
        result.error = "bad port";
        return result;
    }
    if (port == 0) {
        result.port = impl_->server.bind_to_any_port("127.0.0.1");
    } else {
        result.port = impl_->server.bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (result.port <= 0) {
        result.port = -1;
        result.error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        return result;
    }
    impl_->port = result.port;
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // stop() does nothing until the listening thread is running.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!impl_->server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!impl_->server.is_running()) {
        result.error = "server did not start";
        result.port = -1;
    }
    return result;
}

void RadarHttpServer::stop() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    if (impl_->thread.joinable()) {
        impl_->server.stop();
        impl_->thread.join();
    }
}

int RadarHttpServer::port() const {
    return impl_->port;
}

std::string RadarHttpServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port);
}

}  // namespace nimbrel
