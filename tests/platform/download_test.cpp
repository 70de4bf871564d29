#include "platform/download.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "loopback_server.h"
#include "support/temp_dir.h"

namespace nimbrel {

void PrintTo(DownloadStatus status, std::ostream* os) {
    *os << downloadStatusName(status);
}

namespace {

using namespace std::chrono_literals;

const std::string kOld = "previous image";
constexpr std::int64_t kCap = 4096;

// Large bodies are shown by size and start, so failures stay readable.
std::string shown(const std::string& bytes) {
    if (bytes.size() <= 40) return bytes;
    return "<" + std::to_string(bytes.size()) + " bytes> " + bytes.substr(0, 20) + "...";
}

std::vector<std::string> folderEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& s = server_.server();
        s.Get("/ok", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("radar body", "image/png");
        });
        s.Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "image/png");
        });
        s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        s.Get("/broken", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("oops", "text/plain");
        });
        s.Get("/not-modified",
              [](const httplib::Request&, httplib::Response& res) { res.status = 304; });
        s.Get("/redirect-ok",
              [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/ok"); });
        s.Get("/redirect-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/passwd");
        });
        s.Get("/redirect-ftp", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("ftp://127.0.0.1/x.png");
        });
        s.Get("/loop",
              [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
        // /bytes/N answers N bytes with a Content-Length, /chunked/N without.
        s.Get(R"(/bytes/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'b'), "image/png");
        });
        s.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const size_t total = std::stoul(req.matches[1]);
            res.set_chunked_content_provider(
                "image/png", [total, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
                    const size_t n = std::min<size_t>(1000, total - sent);
                    if (n > 0) sink.write(std::string(n, 'c').data(), n);
                    sent += n;
                    if (sent == total) sink.done();
                    return true;
                });
        });
        // Announces 1000 bytes, sends 100 and drops the connection.
        s.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "image/png",
                                     [](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0) return false;
                                         sink.write(std::string(100, 'x').data(), 100);
                                         return true;
                                     });
        });
        // Sends the headers, then nothing, until the test ends.
        s.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "image/png", [this](size_t, size_t, httplib::DataSink&) {
                const auto end = std::chrono::steady_clock::now() + 10s;
                while (!stopping_ && std::chrono::steady_clock::now() < end)
                    std::this_thread::sleep_for(20ms);
                return false;
            });
        });
        ASSERT_TRUE(server_.start());
        target_ = dir_.file("vesk_image.png");
        writeFileBytes(target_, kOld);
    }

    void TearDown() override {
        stopping_ = true;
        server_.stop();
    }

    DownloadOptions shortOptions() const {
        DownloadOptions o;
        o.connectTimeout = 2s;
        o.totalTimeout = 5s;
        o.lowSpeedTime = 2s;
        o.maxBytes = kCap;
        return o;
    }

    LoopbackServer server_;
    TempDir dir_;
    std::string target_;
    std::atomic<bool> stopping_{false};
};

TEST_F(DownloadTest, CompleteAnswersReplaceTheFile) {
    struct Case {
        std::string path;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"/ok", "radar body"},
        {"/empty", ""},
        {"/redirect-ok", "radar body"},
        {"/bytes/4096", std::string(kCap, 'b')},  // exactly at the cap
        {"/chunked/4096", std::string(kCap, 'c')},
        {"/chunked/2500", std::string(2500, 'c')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        writeFileBytes(target_, kOld);
        const DownloadResult r = downloadToFile(server_.url(c.path), target_, shortOptions());
        EXPECT_EQ(r.status, DownloadStatus::Stored) << r.detail;
        EXPECT_EQ(r.httpStatus, 200);
        EXPECT_EQ(shown(readFileBytes(target_)), shown(c.body));
        EXPECT_EQ(folderEntries(dir_.path()), std::vector<std::string>{"vesk_image.png"});
        // The same answer into memory.
        const FetchedBytes m = fetchToMemory(server_.url(c.path), shortOptions());
        EXPECT_TRUE(m.ok()) << m.result.detail;
        EXPECT_EQ(m.result.httpStatus, 200);
        EXPECT_EQ(shown(m.bytes), shown(c.body));
    }
}

TEST_F(DownloadTest, FailuresKeepThePreviousFileAndLeaveNoTemporaryFile) {
    struct Case {
        std::string url;  // a path on the test server, or a whole address
        DownloadStatus status;
        long httpStatus;
    };
    const std::vector<Case> cases = {
        {"/missing", DownloadStatus::HttpError, 404},
        {"/broken", DownloadStatus::HttpError, 500},
        {"/not-modified", DownloadStatus::HttpError, 304},
        {"/cut", DownloadStatus::Truncated, 200},
        {"/bytes/4097", DownloadStatus::TooLarge, 200},
        {"/chunked/4097", DownloadStatus::TooLarge, 200},
        {"/chunked/100000", DownloadStatus::TooLarge, 200},
        {"/redirect-file", DownloadStatus::UnsupportedProtocol, 302},
        {"/redirect-ftp", DownloadStatus::UnsupportedProtocol, 302},
        {"/loop", DownloadStatus::TooManyRedirects, 302},
        {"file:///etc/passwd", DownloadStatus::UnsupportedProtocol, 0},
        {"ftp://127.0.0.1/x.png", DownloadStatus::UnsupportedProtocol, 0},
        {"", DownloadStatus::InvalidArgument, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        writeFileBytes(target_, kOld);
        const std::string url = c.url.starts_with("/") ? server_.url(c.url) : c.url;
        const DownloadResult r = downloadToFile(url, target_, shortOptions());
        EXPECT_EQ(r.status, c.status) << downloadStatusName(r.status) << ": " << r.detail;
        EXPECT_EQ(r.httpStatus, c.httpStatus);
        EXPECT_EQ(shown(readFileBytes(target_)), kOld);
        EXPECT_EQ(folderEntries(dir_.path()), std::vector<std::string>{"vesk_image.png"});
        // Into memory: the same reason, and no half answer.
        const FetchedBytes m = fetchToMemory(url, shortOptions());
        EXPECT_EQ(m.result.status, c.status) << m.result.detail;
        EXPECT_EQ(m.result.httpStatus, c.httpStatus);
        EXPECT_TRUE(m.bytes.empty());
    }
}

TEST_F(DownloadTest, AStalledServerIsGivenUpWithinTheConfiguredLimitOrOnCancel) {
    struct Case {
        const char* name;
        std::chrono::milliseconds total;
        std::chrono::seconds lowSpeedTime;
        bool cancel;  // raised 300 ms into the transfer
        DownloadStatus status;
    };
    const std::vector<Case> cases = {
        {"overall time-out", 1500ms, 0s, false, DownloadStatus::TimedOut},
        {"low-speed limit", 20s, 1s, false, DownloadStatus::TimedOut},
        {"cancelled", 20s, 0s, true, DownloadStatus::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadOptions o = shortOptions();
        o.totalTimeout = c.total;
        o.lowSpeedTime = c.lowSpeedTime;
        std::atomic<bool> cancel{false};
        if (c.cancel) o.cancel = &cancel;
        std::thread raise([&] {
            std::this_thread::sleep_for(300ms);
            cancel = true;
        });
        const auto start = std::chrono::steady_clock::now();
        const DownloadResult r = downloadToFile(server_.url("/stall"), target_, o);
        const auto took = std::chrono::steady_clock::now() - start;
        raise.join();
        EXPECT_EQ(r.status, c.status) << r.detail;
        EXPECT_LT(took, 4s);
        if (!c.cancel) {
            const FetchedBytes m = fetchToMemory(server_.url("/stall"), o);
            EXPECT_EQ(m.result.status, c.status) << m.result.detail;
            EXPECT_TRUE(m.bytes.empty());
        }
        EXPECT_EQ(shown(readFileBytes(target_)), kOld);
        EXPECT_EQ(folderEntries(dir_.path()), std::vector<std::string>{"vesk_image.png"});
    }
}

TEST_F(DownloadTest, ANewFileGetsTheUsualPermissions) {
    const mode_t mask = ::umask(022);
    const std::string fresh = dir_.file("vesk_image_s.png");
    const DownloadResult r = downloadToFile(server_.url("/ok"), fresh, shortOptions());
    ::umask(mask);
    ASSERT_EQ(r.status, DownloadStatus::Stored) << r.detail;
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(DownloadTest, AFolderThatCannotHoldTheFileFails) {
    // A regular file stands where the folder should be.
    const std::string underFile = target_ + "/vesk_image.png";
    DownloadResult r = downloadToFile(server_.url("/ok"), underFile, shortOptions());
    EXPECT_EQ(r.status, DownloadStatus::CannotCreateFile);
    EXPECT_EQ(shown(readFileBytes(target_)), kOld);

    r = downloadToFile(server_.url("/ok"), dir_.folder(), shortOptions());
    EXPECT_EQ(r.status, DownloadStatus::InvalidArgument);
}

TEST(DownloadConnectTest, NoServerListeningFailsAtOnce) {
    // Take a free port and let it go again, so nothing listens there.
    LoopbackServer gone;
    ASSERT_TRUE(gone.start());
    const std::string url = gone.url("/ok");
    gone.stop();

    TempDir dir;
    const std::string target = dir.file("vesk_image.png");
    writeFileBytes(target, kOld);
    DownloadOptions o;
    o.connectTimeout = 2s;
    const DownloadResult r = downloadToFile(url, target, o);
    EXPECT_EQ(r.status, DownloadStatus::ConnectFailed) << r.detail;
    EXPECT_EQ(readFileBytes(target), kOld);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"vesk_image.png"});
}

}  // namespace
}  // namespace nimbrel
