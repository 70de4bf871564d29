// The service over real HTTP on 127.0.0.1: in-process, and as the
// radar_service program.
#include "service/http_server.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "service/png_codec.h"
#include "service/radar_service.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

const std::string kAreaMap = std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini";

std::vector<ServiceRegion> regions() {
    return loadServiceRegions(kAreaMap).regions;
}

ServiceOptions anyMinute() {
    ServiceOptions o;
    o.noDelay = true;
    return o;
}

// Exit code and what the command wrote to both streams.
std::pair<int, std::string> run(const std::string& command) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    return {WEXITSTATUS(pclose(p)), text};
}

}  // namespace

TEST(RadarHttpServer, ServesImagesAndSwitchesFaultsOverLoopback) {
    RadarService svc(regions(), anyMinute());
    RadarHttpServer server(svc);
    const ServerStart started = server.start(0);
    ASSERT_GT(started.port, 0) << started.error;
    httplib::Client client("127.0.0.1", started.port);

    auto map = client.Get("/xbandradar/map/kanto/2/basemap1.png");
    ASSERT_TRUE(map);
    EXPECT_EQ(map->status, 200);
    EXPECT_EQ(map->get_header_value("Content-Type"), "image/png");
    const PngDecodeResult png = decodePalettePng(map->body);
    ASSERT_EQ(png.error, PngError::None);
    EXPECT_EQ(png.image.width, svc.findRegion("kanto")->detailWidth);

    const std::string image =
        radarImagePath("kanto", minuteIndex({2030, 1, 1, 0, 0}), ImageKind::Small);
    EXPECT_EQ(client.Get(image.c_str())->status, 200);
    EXPECT_EQ(client.Get("/xbandradar/map/nowhere/2/basemap1.png")->status, 404);

    auto set = client.Post("/_control/fault?mode=fail&count=1", "", "text/plain");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->status, 200);
    EXPECT_EQ(client.Get(image.c_str())->status, 404);
    EXPECT_EQ(client.Get(image.c_str())->status, 200);
    auto log = client.Get("/_control/log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->body.find("404 " + image), std::string::npos);
    server.stop();
    EXPECT_FALSE(client.Get("/_control/log"));
}

TEST(RadarHttpServer, AStalledAnswerTimesTheClientOutAndDoesNotHoldUpStopping) {
    RadarService svc(regions(), anyMinute());
    svc.setFault({FaultMode::Stall, 1, 60, ""});
    auto server = std::make_unique<RadarHttpServer>(svc);
    const ServerStart started = server->start(0);
    ASSERT_GT(started.port, 0);
    httplib::Client client("127.0.0.1", started.port);
    client.set_read_timeout(1, 0);
    const auto t0 = std::chrono::steady_clock::now();
    auto res = client.Get("/xbandradar/map/kinki/1/basemap1.png");
    EXPECT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::Read);
    server.reset();  // stops while the stalled handler still waits
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
}

TEST(RadarHttpServer, RefusesAPortInUse) {
    RadarService svc(regions(), anyMinute());
    RadarHttpServer first(svc), second(svc);
    const ServerStart a = first.start(0);
    ASSERT_GT(a.port, 0);
    const ServerStart b = second.start(a.port);
    EXPECT_EQ(b.port, -1);
    EXPECT_FALSE(b.error.empty());
}

TEST(RadarServiceProgram, PrintsItsPortServesAndEndsOnTerm) {
    const std::string exe = std::string(NIMBREL_BIN_DIR) + "/radar_service";
    if (!std::filesystem::exists(exe)) GTEST_SKIP() << exe << " is not built";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(exe.c_str(), exe.c_str(), "--port", "0", "--area-map", kAreaMap.c_str(), "--no-delay",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[64] = {};
    const bool gotLine = std::fgets(line, sizeof line, f) != nullptr;
    int port = 0;
    EXPECT_TRUE(gotLine && std::sscanf(line, "listening on %d", &port) == 1) << line;
    if (port > 0) {
        httplib::Client client("127.0.0.1", port);
        auto res =
            client.Get("/xbandradar/rdimg/okinawa/20240505/1200/okinawa20240505T1437_detail.png");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(decodePalettePng(res->body).image.width, 1320);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    fclose(f);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RadarServiceProgram, RefusesBadOptionsAndAMissingTable) {
    const std::string exe = std::string(NIMBREL_BIN_DIR) + "/radar_service";
    if (!std::filesystem::exists(exe)) GTEST_SKIP() << exe << " is not built";
    struct Case {
        std::string args;
        int exitCode;
    } cases[] = {
        {"--port 70000", 2},
        {"--port", 2},
        {"--scenario-lat north", 2},
        {"--frobnicate", 2},
        {"--area-map /nonexistent/area_map.ini --port 0", 1},
    };
    for (const Case& c : cases) {
        const int status = std::system((exe + " " + c.args + " >/dev/null 2>&1").c_str());
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.args;
    }
}

// Copied into usr/bin of a folder, the program reads usr/share/nimbrel's
// table unless both tables lie beside it; --area-map wins over either.
TEST(RadarServiceProgram, FindsTheDeliveredTableAsTheProgramDoes) {
    const std::string built = std::string(NIMBREL_BIN_DIR) + "/radar_service";
    if (!std::filesystem::exists(built)) GTEST_SKIP() << built << " is not built";
    namespace fs = std::filesystem;
    TempDir root("nimbrel-service-install");
    const std::string bin = root.file("usr/bin") + "/",
                      share = root.file("usr/share/nimbrel") + "/";
    fs::create_directories(bin);
    fs::create_directories(share);
    const std::string exe = bin + "radar_service";
    fs::copy_file(built, exe);
    const std::string data = std::string(NIMBREL_SOURCE_DIR) + "/data/";

    auto [code, text] = run(exe + " --port 0");
    EXPECT_EQ(code, 1);
    EXPECT_NE(text.find(share + "area_map.ini"), std::string::npos) << text;
    EXPECT_NE(text.find("--area-map PATH"), std::string::npos) << text;

    for (const char* f : {"area_map.ini", "toshi.ini"}) fs::copy_file(data + f, share + f);
    std::tie(code, text) = run(exe + " --help");
    EXPECT_EQ(code, 0);
    EXPECT_NE(text.find(share + "area_map.ini"), std::string::npos) << text;
    EXPECT_EQ(run(exe + " --port 0 --area-map " + root.file("none.ini")).first, 1);

    fs::copy_file(data + "area_map.ini", bin + "area_map.ini");
    EXPECT_NE(run(exe + " --help").second.find(share + "area_map.ini"), std::string::npos);
    fs::copy_file(data + "toshi.ini", bin + "toshi.ini");
    EXPECT_NE(run(exe + " --help").second.find(bin + "area_map.ini"), std::string::npos);
}
