// The real program, ended by a real signal, ends as closing its window does.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "service/http_server.h"
#include "service/radar_service.h"
#include "support/fake/delivered_service.h"
#include "support/settings_text.h"
#include "support/temp_dir.h"

extern char** environ;

using namespace nimbrel;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(StopSignals, EachStopSignalEndsTheProgramAsItsCloseBoxWritingNothingAndLeavingNothing) {
    const fs::path program = fs::path(NIMBREL_BIN_DIR) / "nimbrel";
    if (!fs::exists(program)) GTEST_SKIP() << program << " is not built";
    struct Case {
        const char* name;
        int signal;
        bool stalled;  // the detail image never comes: a transfer is under way
    };
    const Case cases[] = {
        {"SIGTERM after the first cycle", SIGTERM, false},
        {"SIGINT after the first cycle", SIGINT, false},
        {"SIGHUP after the first cycle", SIGHUP, false},
        {"SIGTERM during a stalled download", SIGTERM, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<RadarService> service = deliveredRadarService();
        ASSERT_TRUE(service);
        if (c.stalled) service->setFault({FaultMode::Stall, kMaxFaultCount, 60, "_detail.png"});
        RadarHttpServer server(*service);
        ASSERT_GT(server.start(0).port, 0);

        TempDir dir;
        copyDeliveredTables(dir);
        std::error_code ec;
        fs::copy_file(program, dir.file("nimbrel"), ec);
        ASSERT_FALSE(ec) << ec.message();
        const ServiceRegion& kanto = *service->findRegion("kanto");
        writeFileBytes(dir.file("vesk.ini"), tokyoSettings(1));
        writeFileBytes(dir.file("server.ini"), server.baseUrl() + "\r\n");
        writeFileBytes(dir.file(kanto.key + ".png"),
                       *service->baseMapPng(kanto, ImageKind::Detail));
        writeFileBytes(dir.file(kanto.key + "s.png"),
                       *service->baseMapPng(kanto, ImageKind::Small));
        const fs::path tmp = dir.path() / "tmp";
        fs::create_directory(tmp);
        const fs::path run = dir.path() / "run";
        fs::create_directory(run);
        fs::permissions(run, fs::perms::owner_all);

        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "TMPDIR=" + tmp.string(),
                                        "XDG_RUNTIME_DIR=" + run.string(), "HOME=" + dir.folder()};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "PATH=", 5) == 0 || std::strncmp(*e, "LANG=", 5) == 0)
                env.push_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string exe = dir.file("nimbrel");
        char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
        const std::string before = readFileBytes(dir.file("vesk.ini"));
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()), 0);

        // After the first cycle's top image (or, stalled, its first detail
        // request), and a moment for the window to settle.
        const std::string waitFor = c.stalled ? "_detail.png" : "_top.png";
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            for (const std::string& line : service->requestLog())
                seen = seen || line.find(waitFor) != std::string::npos;
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_TRUE(seen);
        std::this_thread::sleep_for(c.stalled ? 300ms : 1000ms);
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(::kill(pid, c.signal), 0);
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() - sent < 5s)
            std::this_thread::sleep_for(10ms);
        if (done == 0) {
            ::kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "still running 5 s after the signal";
        }
        // Ended by itself, not by the signal, at once.
        EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 3s);
        // The close box writes no settings; no half-written or temporary file.
        EXPECT_EQ(readFileBytes(dir.file("vesk.ini")), before);
        std::vector<std::string> stray;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename();
            if (name.find(".part") != std::string::npos || name.find("tmp-") != std::string::npos)
                stray.push_back(name);
        }
        EXPECT_EQ(stray, std::vector<std::string>{});
        EXPECT_TRUE(fs::is_empty(tmp));
        server.stop();
    }
}
