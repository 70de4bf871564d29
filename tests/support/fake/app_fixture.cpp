#include "support/fake/app_fixture.h"

#include <cmath>

#include "base/text_util.h"
#include "support/png_builder.h"

namespace nimbrel {

std::vector<TestRegion> testRegions() {
    std::vector<TestRegion> r;
    for (int i = 0; i < 11; ++i) {
        // Disjoint squares along a line of longitude; region 6 is Tokyo's.
        double west = 128.0 + i * 1.0;
        r.push_back({"r" + std::to_string(i), "地域" + std::to_string(i), 200, 150, 400, 300, west,
                     west + 1.0, 36.5, 35.0});
    }
    r[6] = {"kanto", "関東地方", 200, 150, 400, 300, 139.0, 140.5, 36.5, 35.0};
    return r;
}

std::string areaMapText(const std::vector<TestRegion>& regions) {
    auto row = [&](const std::string& label, auto value) {
        std::string s = label;
        for (const auto& r : regions) s += "," + value(r);
        return s + "\r\n";
    };
    auto num = [](double v) { return numberText(v); };
    std::string t;
    t += row("key", [](const TestRegion& r) { return r.key; });
    t += row("name", [](const TestRegion& r) { return "\"" + r.name + "\""; });
    t += row("w0", [&](const TestRegion& r) { return num(r.smallW); });
    t += row("w1", [&](const TestRegion& r) { return num(r.detailW); });
    t += row("w2", [&](const TestRegion& r) { return num(r.detailW * 2); });
    t += row("h0", [&](const TestRegion& r) { return num(r.smallH); });
    t += row("h1", [&](const TestRegion& r) { return num(r.detailH); });
    t += row("h2", [&](const TestRegion& r) { return num(r.detailH * 2); });
    t += row("west", [&](const TestRegion& r) { return num(std::round(r.westDeg * 3600)); });
    t += row("east", [&](const TestRegion& r) { return num(std::round(r.eastDeg * 3600)); });
    t += row("north", [&](const TestRegion& r) { return num(std::round(r.northDeg * 3600)); });
    t += row("south", [&](const TestRegion& r) { return num(std::round(r.southDeg * 3600)); });
    return t;
}

namespace {
std::vector<PngRgb> radarPalette() {
    std::vector<PngRgb> p(16);
    for (int i = 0; i < 16; ++i)
        p[i] = PngRgb{static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 16), 128};
    return p;
}
}  // namespace

void AppFixture::SetUp() {
    platform.screen = {1920 * 15.0, 1080 * 15.0};
    writeProgramFiles();
}

void AppFixture::TearDown() {
    form.reset();
}

void AppFixture::writeProgramFiles() {
    writeFileBytes(file("area_map.ini"), areaMapText(regions));
    writeFileBytes(file("toshi.ini"),
                   "東京,35.6895,139.6917\r\n横浜,35.4437,139.6380\r\n\"千葉\",35.6074,140."
                   "1065\r\n札幌,43.0642,141.3469\r\n");
    for (const auto& r : regions) {
        std::vector<PngRgb> pal = {{200, 220, 240}, {120, 180, 120}, {90, 90, 90}};
        std::vector<uint16_t> det(static_cast<size_t>(r.detailW) * r.detailH);
        for (size_t i = 0; i < det.size(); ++i) det[i] = static_cast<uint16_t>((i / 7) % 2);
        writePng(file(r.key + ".png"), palettePng(r.detailW, r.detailH, 8, pal, det));
        std::vector<uint16_t> sm(static_cast<size_t>(r.smallW) * r.smallH);
        for (size_t i = 0; i < sm.size(); ++i) sm[i] = static_cast<uint16_t>((i / 5) % 2);
        writePng(file(r.key + "s.png"), palettePng(r.smallW, r.smallH, 8, pal, sm));
    }
}

void AppFixture::writeSettingsFile(const std::string& bytes) {
    writeFileBytes(file("vesk.ini"), bytes);
}

void AppFixture::start() {
    form = std::make_unique<Form1>(platform, folder());
    platform.waitsEnded = false;  // a window before this one may have ended
    form->Form_Load();
    // The event loop then brings in the forecast's past images.
    platform.answerFetches();
}

void AppFixture::startQuietAt(const std::string& settings) {
    writeSettingsFile(settings);
    serveRadar(6, nullptr);
    start();
    platform.advanceSeconds(60);
}

std::string AppFixture::radarPng(int region, bool detail,
                                 const std::function<int(int, int)>& pixel) const {
    const TestRegion& r = regions[region];
    int w = detail ? r.detailW : r.smallW;
    int h = detail ? r.detailH : r.smallH;
    std::vector<uint16_t> idx(static_cast<size_t>(w) * h, 0);
    if (pixel)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                idx[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(pixel(x, y));
    return buildPng(palettePng(w, h, 8, radarPalette(), idx));
}

void AppFixture::serveRadar(int region, const std::function<int(int, int)>& detailPixel,
                            const std::function<int(int, int)>& topPixel) {
    std::string detail = radarPng(region, true, detailPixel);
    std::string top = radarPng(region, false, topPixel);
    platform.bodies.clear();
    platform.httpFallback = [detail, top](const std::string& url, const std::string& f) {
        bool isDetail = url.size() > 11 && url.compare(url.size() - 11, 11, "_detail.png") == 0;
        bool isTop = url.size() > 8 && url.compare(url.size() - 8, 8, "_top.png") == 0;
        if (!isDetail && !isTop) return false;
        writeFileBytes(f, isDetail ? detail : top);
        return true;
    };
}

void expectFullViewFrame(Form1& form) {
    EXPECT_EQ(form.Width(), 12980);
    EXPECT_EQ(form.Height(), 10149);
    EXPECT_EQ(form.Command2->left(), 1900);
    EXPECT_EQ(form.Command2->height(), 570);
    EXPECT_EQ(form.Command2->width(), 975);
    EXPECT_EQ(form.Check1->top(), 1320);
    EXPECT_EQ(form.Check1->left(), 390);
    EXPECT_EQ(form.Check1->width(), 1260);
    EXPECT_EQ(form.Check1->caption(), "拡大表示");
    EXPECT_EQ(form.Label2->top(), 120);
    EXPECT_EQ(form.Label2->left(), 10);
    EXPECT_EQ(form.Label2->width(), 2910);
    EXPECT_EQ(form.Label2->height(), 885);
}

int AppFixture::tokyoPx() const {
    const TestRegion& r = regions[6];
    double scale = r.detailW / ((r.eastDeg - r.westDeg) * 3600);
    return static_cast<int>(
        std::nearbyint((139.6917 * 3600 - std::round(r.westDeg * 3600)) * scale));
}

int AppFixture::tokyoPy() const {
    const TestRegion& r = regions[6];
    double scale = r.detailH / ((r.southDeg - r.northDeg) * 3600);
    return static_cast<int>(
        std::nearbyint((35.6895 * 3600 - std::round(r.northDeg * 3600)) * scale));
}

}  // namespace nimbrel
